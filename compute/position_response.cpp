#include "compute/position_response.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

std::vector<double> PredictPositionResponse(const PositionLoopModel& model, const SpeedLoopModel& speed,
                                            const std::vector<double>& reference16) {
  std::vector<double> position;
  position.reserve(reference16.size());
  SpeedLoopRun inner(speed);
  FilterChain outputFilters(model.outputFilters);
  double previousError = 0.0, derivative = 0.0, integral = 0.0, previousTarget = 0.0;
  for (const double r16 : reference16) {
    position.push_back(inner.Counter());
    const double target = std::floor(r16 / 65536.0);
    const double error = target - inner.Counter();
    derivative += model.derivativeShare * (error - previousError - derivative);
    previousError = error;
    integral = std::clamp(integral + model.ki * error, -model.integralLimit, model.integralLimit);
    const double feedForward = model.kffs * (target - previousTarget);
    previousTarget = target;
    const double out = std::clamp(model.kp * error + integral + model.kd * derivative + feedForward,
                                  -model.outputLimit, model.outputLimit);
    // The drive's output is a whole count: the speed reference of the cascade, or the current.
    const double filtered = std::floor(outputFilters.Step(out));
    if (model.cascade) {
      inner.Step(filtered * 65536.0);
    } else {
      inner.Drive(filtered);
    }
  }
  return position;
}

}  // namespace kestrel
