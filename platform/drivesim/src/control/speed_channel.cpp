#include "control/speed_channel.h"

#include <span>
#include <stdexcept>
#include <string>
#include <utility>

#include "control/fixed_point.h"

namespace drivesim::control {

SpeedChannel::SpeedChannel(SpeedLoopGains gains, BiquadBank filters, std::int32_t feedbackCounter,
                           std::int64_t reference16)
    : gains_(gains),
      filters_(std::move(filters)),
      filterStates_(filters_.slots.size()),
      controller_{0, reference16},
      previousCounter_(feedbackCounter) {
  const BiquadSlotCounts& c = filters_.counts;
  if (filters_.slots.size() != c.positionOutput + c.currentReference + c.measuredSpeed) {
    throw std::invalid_argument("speed loop: " + std::to_string(filters_.slots.size()) +
                                " filter slots do not match the counts SPDREF_BQ_INI, IQREF_BQ_INI, ASPD_BQ_INI");
  }
}

std::int32_t SpeedChannel::Filter(BiquadPlace place, std::int32_t x) {
  const SlotRange range = SlotsOf(filters_.counts, place);
  return StepBiquadChain(std::span(filters_.slots).subspan(range.first, range.count),
                         std::span(filterStates_).subspan(range.first, range.count), x);
}

std::int32_t SpeedChannel::Step(std::int64_t reference16, std::int32_t feedbackCounter) {
  const std::int32_t rawSpeed = CounterDelta(feedbackCounter, previousCounter_);
  previousCounter_ = feedbackCounter;
  const std::int32_t speed = Filter(BiquadPlace::MeasuredSpeed, rawSpeed);
  return Filter(BiquadPlace::CurrentReference, StepSpeedLoop(gains_, controller_, reference16, speed));
}

}  // namespace drivesim::control
