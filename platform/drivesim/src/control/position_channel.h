// The position loop as the drive wires it: the position controller, whose output passes the
// position-output filters on its way to the speed reference (cascade) or the current reference
// (direct position control). One Step per slow sample.
#pragma once

#include <cstdint>

#include "control/biquad.h"
#include "control/position_loop.h"

namespace drivesim::control {

class PositionChannel {
 public:
  // Starts at axis-on. Throws std::invalid_argument when the filter slots do not match their counts.
  PositionChannel(PositionLoopGains gains, BiquadBank filters, std::int32_t target, std::int32_t position);

  //   out = SPDREF filters(position controller(target, position))
  std::int32_t Step(std::int32_t target, std::int32_t position);
  void SetGains(const PositionLoopGains& gains) { gains_ = gains; }
  void SetFilters(const BiquadBank& filters) { filters_.SetBank(filters); }

 private:
  PositionLoopGains gains_;
  BiquadFilters filters_;
  PositionLoopState controller_;
};

}  // namespace drivesim::control
