// Incremental encoder: raw count from the true position; the state of a feedback input's
// 32-bit counter and index capture (advanced in feedback.h).
#pragma once

#include <algorithm>
#include <cstdint>

#include "drivesim/motor_model.h"

namespace drivesim::sensors {

struct EncoderParams {
  double countsPerUnit = 0.0;   // s·4·L/2π per rad (rotary) or s/Res per m (linear), s = −1 if reversed

  static EncoderParams From(const SensorModel& sensor, MotorKind kind);
};

struct EncoderState {
  std::int64_t lastRaw = 0;     // reading at the previous update
  std::uint32_t counter = 0;    // the input's counter (APOS), wraps at 32 bits
  bool captureArmed = false;
  std::int32_t capture = 0;     // CAPPOS of the input
};

// Raw count floor(countsPerUnit·position), without a library call: truncate, then step down for
// negative fractions; the clamp keeps the conversion defined for a runaway position.
inline std::int64_t RawCount(const EncoderParams& p, double position) {
  constexpr double kLimit = 4.0e18;
  const double counts = std::clamp(p.countsPerUnit * position, -kLimit, kLimit);
  const auto truncated = static_cast<std::int64_t>(counts);
  return static_cast<double>(truncated) > counts ? truncated - 1 : truncated;
}

}  // namespace drivesim::sensors
