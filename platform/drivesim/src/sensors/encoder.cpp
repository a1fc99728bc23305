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
    p.hasIndex = true;
    p.indexAngle_rad = sensor.index_deg * kTwoPi / 360.0;
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

void UpdateEncoder(const EncoderParams& p, EncoderState& s, double previousPosition, double position,
                   int countingDirection) {
  if (p.dead) return;
  const std::int64_t raw = RawCount(p, position);
  const std::int64_t delta = raw - s.lastRaw;
  s.lastRaw = raw;
  const std::int64_t signedDelta = countingDirection == 1 ? -delta : delta;
  s.counter += static_cast<std::uint32_t>(signedDelta);
  if (!s.captureArmed || !p.hasIndex) return;
  // Index edges lie at indexAngle + 2π·n; one is crossed when the turn number changes.
  const double before = std::floor((previousPosition - p.indexAngle_rad) / kTwoPi);
  const double after = std::floor((position - p.indexAngle_rad) / kTwoPi);
  if (before == after) return;
  s.capture = static_cast<std::int32_t>(s.counter);
  s.captureArmed = false;
}

}  // namespace drivesim::sensors
