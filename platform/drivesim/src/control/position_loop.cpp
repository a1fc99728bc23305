#include "control/position_loop.h"

#include "control/fixed_point.h"

namespace drivesim::control {

PositionLoopState StartPositionLoop(std::int32_t target, std::int32_t position) {
  return {0, 0, CounterDelta(target, position), target};
}

std::int32_t StepPositionLoop(const PositionLoopGains& g, PositionLoopState& s, std::int32_t target,
                              std::int32_t position) {
  const std::int32_t error = CounterDelta(target, position);
  const std::int64_t errorChange = static_cast<std::int64_t>(error) - s.previousError;
  const std::int64_t targetChange = CounterDelta(target, s.previousTarget);
  s.previousError = error;
  s.previousTarget = target;

  if (g.kdfp >= 32767) {
    s.derivative = errorChange;
  } else {
    s.derivative += (static_cast<std::int64_t>(g.kdfp) * (errorChange - s.derivative)) >> 15;
  }
  const std::int64_t integralLimit = static_cast<std::int64_t>(g.integralLimit) << 15;
  s.integral = Clamp(s.integral + MulShift(g.kip, g.sftkip + 15, error), -integralLimit, integralLimit);
  std::int64_t out = MulShift(g.kpp, g.sftkpp, error) + (s.integral >> 15) + MulShift(g.kdp, g.sftkdp, s.derivative);
  if (g.speedFeedForward) out += MulShift(g.kffs, g.sftsffw, targetChange);
  return static_cast<std::int32_t>(Clamp(out, -g.outputLimit, g.outputLimit));
}

}  // namespace drivesim::control
