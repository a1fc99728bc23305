#include "compute/speed_response.h"

#include <algorithm>
#include <cmath>

#include "compute/setup_access.h"
#include "compute/tuning.h"

namespace kestrel {
namespace {

constexpr double kFullScale = 32767.0;

double Internal(const CMC_Setup* setup, const char* name) {
  const CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  return parameter != nullptr ? parameter->GetValueInInternalUnit() : 0.0;
}

// A gain as the drive holds it: mantissa · 2^shift / 32767.
double HeldGain(const CMC_Setup* setup, const char* mantissa, double shift) {
  return Internal(setup, mantissa) * std::ldexp(1.0, static_cast<int>(shift)) / kFullScale;
}

}  // namespace

SpeedLoopModel SpeedLoopModelOf(CMC_Setup* setup) {
  SpeedLoopModel model;
  model.kp = HeldGain(setup, "KPS", Internal(setup, "SFTKPS"));
  model.ki = HeldGain(setup, "KIS", Internal(setup, "SFTKIS"));
  model.kffa = HeldGain(setup, "KFFA", Internal(setup, "SFTAFFW") + Internal(setup, "SFTKFF"));
  // The test program limits the output to the test's current limit, and the integral below it.
  model.outputLimit = std::trunc(Internal(setup, "TestLimitCurrent"));
  model.integralLimit = std::min(kFullScale - Internal(setup, "IMAXS"), model.outputLimit);
  model.plantGain = SpeedLoopPlantGain(setup);
  return model;
}

std::vector<double> ProfileReference16(const ReferenceProfile& profile) {
  std::vector<double> reference;
  double reference16 = 0.0;
  for (const ProfileSegment& segment : profile.segments) {
    for (std::int64_t k = 0; k < segment.count; ++k) {
      reference16 += static_cast<double>(segment.slope);
      reference.push_back(reference16);
    }
  }
  return reference;
}

std::vector<double> PredictSpeedResponse(const SpeedLoopModel& model, const std::vector<double>& reference16) {
  std::vector<double> speed;
  speed.reserve(reference16.size());
  double y = 0.0, integral = 0.0, previous16 = 0.0;
  for (const double r16 : reference16) {
    speed.push_back(y);
    const double error = r16 / 65536.0 - y;
    integral = std::clamp(integral + model.ki * error, -model.integralLimit, model.integralLimit);
    const double feedForward = model.kffa * (r16 - previous16) / 65536.0;
    previous16 = r16;
    const double u = std::clamp(model.kp * error + integral + feedForward, -model.outputLimit, model.outputLimit);
    y += model.plantGain * u;
  }
  return speed;
}

}  // namespace kestrel
