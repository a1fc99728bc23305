// Incremental encoder on a feedback input: raw count from the true position, a 32-bit counter
// with its counting direction, and the index capture.
#pragma once

#include <cstdint>

#include "drivesim/motor_model.h"

namespace drivesim::sensors {

struct EncoderParams {
  double countsPerUnit = 0.0;   // s·4·L/2π per rad (rotary) or s/Res per m (linear), s = −1 if reversed
  bool hasIndex = false;        // rotary encoders give one index pulse per revolution
  double indexAngle_rad = 0.0;  // mechanical angle of the index
  bool dead = false;            // no signals: the counter is frozen

  static EncoderParams From(const SensorModel& sensor, MotorKind kind);
};

struct EncoderState {
  std::int64_t lastRaw = 0;     // raw count at the previous update
  std::uint32_t counter = 0;    // the input's counter (APOS), wraps at 32 bits
  bool captureArmed = false;
  std::int32_t capture = 0;     // CAPPOS of the input
};

// Raw count floor(countsPerUnit·position).
std::int64_t RawCount(const EncoderParams& p, double position);

// Advances the counter to the raw count of `position`, negated when countingDirection is 1, and
// stores the counter at the first index edge crossed while armed.
void UpdateEncoder(const EncoderParams& p, EncoderState& s, double previousPosition, double position,
                   int countingDirection);

}  // namespace drivesim::sensors
