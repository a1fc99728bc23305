// A position sensor on a feedback input, as the drive decodes it into the input's 32-bit
// counter: incremental encoder, sin/cos with interpolation, linear Halls, resolver (its emulated
// encoder), SSI/BiSS (absolute word, Gray or binary, multi-turn).
#pragma once

#include <cstdint>
#include <optional>

#include "drivesim/motor_model.h"
#include "drivesim/scenario.h"
#include "sensors/encoder.h"
#include "sensors/resolver.h"

namespace drivesim::sensors {

// The drive's registers and options that decode a sensor.
struct DecodeSettings {
  int sincosFract = 0;       // SINCOS_fract of the sensor's side
  int dbtth = 0;             // DBTTH: 2^(16 − DBTTH) counts per electrical period of linear Halls
  std::int32_t mecresl = 0;  // MECRESL: counts per revolution of the resolver's emulated encoder
  int ssiRev = 0;            // SSIREV: single-turn bits B
  int ssiTurns = 0;          // SSITURNS: turn bits T
  bool ssiGray = false;      // SSITYPE ≠ 0
  int ssiSense = 1;          // SSISENSE: −1 reverses
  int countingDirection = 0; // COUNTINGDIR of the input (encoder-type sensors)
  // Counts per rad (or m) of an incremental-type reading of the input's sensor, kept by the drive
  // with the settings it derives from (worked out at each reading when absent).
  std::optional<double> countsPerUnit;
  double demodulationPhase_rad = 0.0;  // the R/D converter's, 0 until a resolver setup tunes it
};

// The sensor on one side of the transmission.
struct FeedbackSensor {
  SensorModel model;
  MotorKind kind = MotorKind::rotary;
  double electricalPerUnit = 0.0;  // rad electrical per rad (p) or per m (2π/pole pitch); motor side only
  ResolverSignals resolver;        // a resolver's signals, and their amplitude relative to nominal
  double signalAmplitude = 1.0;
};

// What the sensor delivers at a true position (rad or m of its side), as the drive decodes it:
// an unbounded raw count, or an absolute word modulo `modulus` (SSI/BiSS).
struct SensorReading {
  std::int64_t value = 0;
  std::int64_t modulus = 0;   // 0: incremental
  bool valid = true;          // false: the drive cannot decode it (no bits configured)
};
// A resolver's reading is that of the converter, which tracks the demodulated angle over h_s.
SensorReading ReadSensor(const FeedbackSensor& sensor, const DecodeSettings& settings, double position,
                         ResolverTracker& converter, double h_s);
// Counts per rad (rotary) or per m (linear) of the incremental-type readings (incremental, sin/cos,
// linear Halls); 0 for the others (absolute sensors, and the resolver, whose converter counts).
double IncrementalCountsPerUnit(const FeedbackSensor& sensor, const DecodeSettings& settings);

// A resolver at `position` (θ of its shaft): its angle φ = s·p_r·θ and what the converter
// demodulates there.
struct ResolverSample {
  double phi = 0.0;
  Demodulated signals;
};
ResolverSample SampleResolver(const FeedbackSensor& sensor, const DecodeSettings& settings, double position);

// Gray code of a binary word, and back.
std::uint64_t ToGray(std::uint64_t binary);
std::uint64_t FromGray(std::uint64_t gray);

struct FeedbackInputState {
  bool started = false;       // the first reading initialises the counter
  EncoderState encoder;       // counter, last reading, index capture
  ResolverTracker converter;  // a resolver's R/D converter
};

// Advances the input's counter to the reading at `position`: incremental readings add their
// increments (negated by the counting direction), absolute readings their shortest wrap-around
// difference; an absolute sensor's first reading sets the counter. The index (incremental and
// sin/cos, rotary) stores the counter in the armed capture. h_s is the time since the last update.
void UpdateFeedbackInput(const FeedbackSensor& sensor, const DecodeSettings& settings, FeedbackInputState& state,
                         double previousPosition, double position, double h_s = 0.0);

}  // namespace drivesim::sensors
