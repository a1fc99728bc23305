// The speed loop as the drive wires it: the feedback counter's change per sample, through the
// measured-speed filters, into the speed controller, whose output passes the current-reference
// filters on its way to the current loop. One Step per speed sample.
#pragma once

#include <cstdint>

#include "control/loop_registers.h"

namespace drivesim::control {

class SpeedChannel {
 public:
  // Starts at axis-on: controller and filters empty, speed and acceleration measured from here.
  // Throws std::invalid_argument when the filter slots do not match their counts.
  SpeedChannel(SpeedLoopGains gains, BiquadBank filters, std::int32_t feedbackCounter, std::int64_t reference16);

  //   v     = ASPD filters(counter − counter_prev)
  //   i_ref = IQREF filters(speed controller(v_ref, v))
  std::int32_t Step(std::int64_t reference16, std::int32_t feedbackCounter);

  const SpeedLoopState& Controller() const { return controller_; }
  std::int32_t Speed() const { return speed_; }   // the filtered speed of the last sample
  void SetGains(const SpeedLoopGains& gains) { gains_ = gains; }
  void SetFilters(const BiquadBank& filters) { filters_.SetBank(filters); }

 private:
  SpeedLoopGains gains_;
  BiquadFilters filters_;
  SpeedLoopState controller_;
  std::int32_t previousCounter_;
  std::int32_t speed_ = 0;
};

}  // namespace drivesim::control
