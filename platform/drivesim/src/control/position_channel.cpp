#include "control/position_channel.h"

#include <utility>

namespace drivesim::control {

PositionChannel::PositionChannel(PositionLoopGains gains, BiquadBank filters, std::int32_t target,
                                 std::int32_t position)
    : gains_(gains), filters_(std::move(filters)), controller_(StartPositionLoop(target, position)) {}

std::int32_t PositionChannel::Step(std::int32_t target, std::int32_t position) {
  return filters_.Step(BiquadPlace::PositionOutput, StepPositionLoop(gains_, controller_, target, position));
}

}  // namespace drivesim::control
