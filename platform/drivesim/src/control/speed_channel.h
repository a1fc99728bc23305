// The speed loop as the drive wires it: the feedback counter's change per sample, through the
// measured-speed filters, into the speed controller, whose output passes the current-reference
// filters on its way to the current loop. One Step per speed sample.
#pragma once

#include <cstdint>
#include <vector>

#include "control/loop_registers.h"

namespace drivesim::control {

class SpeedChannel {
 public:
  // Starts at axis-on: controller and filters empty, speed and acceleration measured from here.
  SpeedChannel(SpeedLoopGains gains, BiquadBank filters, std::int32_t feedbackCounter, std::int64_t reference16);

  //   v     = ASPD filters(counter − counter_prev)
  //   i_ref = IQREF filters(speed controller(v_ref, v))
  std::int32_t Step(std::int64_t reference16, std::int32_t feedbackCounter);

  const SpeedLoopState& Controller() const { return controller_; }

 private:
  std::int32_t Filter(BiquadPlace place, std::int32_t x);

  SpeedLoopGains gains_;
  BiquadBank filters_;
  std::vector<BiquadState> filterStates_;
  SpeedLoopState controller_;
  std::int32_t previousCounter_;
};

}  // namespace drivesim::control
