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

}  // namespace drivesim::sensors
