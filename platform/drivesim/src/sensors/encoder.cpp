#include "sensors/encoder.h"

#include <algorithm>
#include <cmath>

namespace drivesim::sensors {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

EncoderParams EncoderParams::From(const SensorModel& sensor, MotorKind kind) {
  EncoderParams p;
  const double direction = sensor.reversed ? -1.0 : 1.0;
  if (kind == MotorKind::rotary) {
    p.countsPerUnit = direction * 4.0 * sensor.lines / kTwoPi;
  } else {
    p.countsPerUnit = direction / sensor.resolution_m;
  }
  return p;
}

std::int64_t RawCount(const EncoderParams& p, double position) {
  // floor without a library call: truncate, then step down for negative fractions.
  constexpr double kLimit = 4.0e18;  // keeps the conversion defined for a runaway position
  const double counts = std::clamp(p.countsPerUnit * position, -kLimit, kLimit);
  const auto truncated = static_cast<std::int64_t>(counts);
  return static_cast<double>(truncated) > counts ? truncated - 1 : truncated;
}

}  // namespace drivesim::sensors
