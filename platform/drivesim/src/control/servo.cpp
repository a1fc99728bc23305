#include "control/servo.h"

#include <algorithm>

#include "control/fixed_point.h"

namespace drivesim::control {

Servo::Servo(const ServoConfig& config, const SpeedLoopGains& speedGains, const PositionLoopGains& positionGains,
             const BiquadBank& filters, ServoFeedback start)
    : config_(config),
      cascade_(config.cascade.value()),
      speedChannel_(Limited(speedGains), filters, start.speedCounter, 0),
      positionChannel_(Limited(positionGains), filters, start.positionCounter, start.positionCounter),
      previousSpeedCounter_(start.speedCounter),
      target_(start.positionCounter),
      position_(start.positionCounter) {}

// The program's current limit replaces the speed controller's output limit and caps its
// integral; in direct position control it limits the position controller's output, in the
// cascade the program's speed limit does.
SpeedLoopGains Servo::Limited(SpeedLoopGains gains) const {
  if (config_.currentLimit) {
    gains.outputLimit = *config_.currentLimit;
    gains.integralLimit = std::min(gains.integralLimit, *config_.currentLimit);
  }
  return gains;
}

PositionLoopGains Servo::Limited(PositionLoopGains gains) const {
  const std::optional<std::int32_t>& limit = cascade_ ? config_.speedLimit : config_.currentLimit;
  if (limit) gains.outputLimit = *limit;
  return gains;
}

void Servo::SetGains(const SpeedLoopGains& speedGains, const PositionLoopGains& positionGains) {
  speedChannel_.SetGains(Limited(speedGains));
  positionChannel_.SetGains(Limited(positionGains));
}

bool Servo::SpeedLoopClosed() const {
  return config_.mode == ServoMode::speed || (config_.mode == ServoMode::position && cascade_);
}

std::int32_t Servo::PositionError() const { return CounterDelta(target_, position_); }

void Servo::Step(ServoFeedback feedback) {
  const std::int32_t rawSpeed = CounterDelta(feedback.speedCounter, previousSpeedCounter_);
  previousSpeedCounter_ = feedback.speedCounter;
  position_ = feedback.positionCounter;
  speed_ = rawSpeed;
  if (config_.mode == ServoMode::position) {
    const std::int32_t out = positionChannel_.Step(target_, position_);
    if (!cascade_) {
      currentReference_ = out;
      return;
    }
    speedReference16_ = static_cast<std::int64_t>(out) << 16;
  }
  if (!SpeedLoopClosed()) return;
  currentReference_ = speedChannel_.Step(speedReference16_, feedback.speedCounter);
  speed_ = speedChannel_.Speed();
}

}  // namespace drivesim::control
