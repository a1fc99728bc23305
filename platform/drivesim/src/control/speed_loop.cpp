#include "control/speed_loop.h"

#include "control/fixed_point.h"

namespace drivesim::control {

SpeedLoopState StartSpeedLoop(std::int32_t feedbackCounter, std::int64_t reference16) {
  return {0, feedbackCounter, reference16};
}

std::int32_t CounterDelta(std::int32_t counter, std::int32_t previous) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) - static_cast<std::uint32_t>(previous));
}

std::int32_t StepSpeedLoop(const SpeedLoopGains& g, SpeedLoopState& s, std::int64_t reference16,
                           std::int32_t feedbackCounter) {
  const std::int64_t speed = CounterDelta(feedbackCounter, s.previousCounter);
  const std::int64_t error = (reference16 >> 16) - speed;
  const std::int64_t acceleration16 = reference16 - s.previousReference;
  s.previousCounter = feedbackCounter;
  s.previousReference = reference16;

  const std::int64_t integralLimit = static_cast<std::int64_t>(g.integralLimit) << 15;
  s.integral = Clamp(s.integral + MulShift(g.kis, g.sftkis + 15, error), -integralLimit, integralLimit);
  const std::int64_t feedForward = MulShift(g.kffa, g.sftaffw + g.sftkff - 16, acceleration16);
  const std::int64_t out = MulShift(g.kps, g.sftkps, error) + (s.integral >> 15) + feedForward;
  return static_cast<std::int32_t>(Clamp(out, -g.outputLimit, g.outputLimit));
}

}  // namespace drivesim::control
