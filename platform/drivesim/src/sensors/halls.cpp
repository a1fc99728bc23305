#include "sensors/halls.h"

#include <algorithm>
#include <cmath>

namespace drivesim::sensors {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegree = kTwoPi / 360.0;
constexpr double kHysteresis = 0.5 * kDegree;

double Wrap(double angle) {
  const double wrapped = std::fmod(angle, kTwoPi);
  return wrapped < 0.0 ? wrapped + kTwoPi : wrapped;
}

// Angle measured from the start of sensor j's high window, in [0, 2π), from the angle measured
// from the start of sensor 1's window.
double WindowPhase(double fromFirst, int j) {
  const double phase = fromFirst - 120.0 * j * kDegree;
  return phase < 0.0 ? phase + kTwoPi : phase;
}
}  // namespace

int UpdateHalls(const HallModel& halls, HallState& s, double theta_e) {
  if (s.initialised && theta_e > s.quietFrom && theta_e < s.quietTo) return s.code;
  const double shift = halls.shift_deg * kDegree;
  constexpr double kHighWidth = 180.0 * kDegree;
  const double fromFirst = Wrap(theta_e - (-30.0 * kDegree + shift));
  for (int j = 0; j < 3; ++j) {
    const double phase = WindowPhase(fromFirst, j);
    const bool inside = phase < kHighWidth;
    auto& level = s.sensorHigh[static_cast<std::size_t>(j)];
    if (!s.initialised) {
      level = inside;
      continue;
    }
    // Change only once the angle is more than the hysteresis past an edge.
    const double distanceToEdge = std::min({phase, std::abs(phase - kHighWidth), kTwoPi - phase});
    if (inside != level && distanceToEdge > kHysteresis) level = inside;
  }
  s.initialised = true;
  // Edges lie every 60° (from −30° + δ) and a level changes only at an edge ± 0.5°: nothing can
  // change while θ_e stays closer to this angle than the nearest of those change points.
  const double sinceEdge = std::fmod(fromFirst, 60.0 * kDegree);
  const double margin = std::min(std::abs(sinceEdge - kHysteresis), std::abs(60.0 * kDegree - sinceEdge - kHysteresis));
  s.quietFrom = theta_e - margin;
  s.quietTo = theta_e + margin;
  int code = 0;
  for (int input = 0; input < 3; ++input) {
    const int sensor = halls.order[static_cast<std::size_t>(input)];
    bool high = sensor >= 1 && sensor <= 3 ? s.sensorHigh[static_cast<std::size_t>(sensor - 1)] : true;
    if (halls.inverted) high = !high;
    code = code * 2 + (high ? 1 : 0);
  }
  s.code = code;
  return code;
}

}  // namespace drivesim::sensors
