#include "control/speed_channel.h"

#include <utility>

#include "control/fixed_point.h"

namespace drivesim::control {

SpeedChannel::SpeedChannel(SpeedLoopGains gains, BiquadBank filters, std::int32_t feedbackCounter,
                           std::int64_t reference16)
    : gains_(gains), filters_(std::move(filters)), controller_{0, reference16}, previousCounter_(feedbackCounter) {}

std::int32_t SpeedChannel::Step(std::int64_t reference16, std::int32_t feedbackCounter) {
  const std::int32_t rawSpeed = CounterDelta(feedbackCounter, previousCounter_);
  previousCounter_ = feedbackCounter;
  speed_ = filters_.Step(BiquadPlace::MeasuredSpeed, rawSpeed);
  return filters_.Step(BiquadPlace::CurrentReference, StepSpeedLoop(gains_, controller_, reference16, speed_));
}

}  // namespace drivesim::control
