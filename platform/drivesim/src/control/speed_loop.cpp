#include "control/speed_loop.h"

#include "control/fixed_point.h"

namespace drivesim::control {

std::int32_t StepSpeedLoop(const SpeedLoopGains& g, SpeedLoopState& s, std::int64_t reference16,
                           std::int32_t speed) {
  const std::int64_t error = (reference16 >> 16) - speed;
  const std::int64_t acceleration16 = reference16 - s.previousReference;
  s.previousReference = reference16;

  const std::int64_t integralLimit = static_cast<std::int64_t>(g.integralLimit) << 15;
  s.integral = Clamp(s.integral + MulShift(g.kis, g.sftkis + 15, error), -integralLimit, integralLimit);
  const std::int64_t feedForward = MulShift(g.kffa, g.sftaffw + g.sftkff - 16, acceleration16);
  const std::int64_t out = MulShift(g.kps, g.sftkps, error) + (s.integral >> 15) + feedForward;
  return static_cast<std::int32_t>(Clamp(out, -g.outputLimit, g.outputLimit));
}

}  // namespace drivesim::control
