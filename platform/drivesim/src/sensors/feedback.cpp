#include "sensors/feedback.h"

#include <cmath>

#include "sensors/resolver.h"

namespace drivesim::sensors {

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::int64_t FloorCount(double countsPerUnit, double position) {
  EncoderParams p;
  p.countsPerUnit = countsPerUnit;
  return RawCount(p, position);
}

double Direction(const SensorModel& m) { return m.reversed ? -1.0 : 1.0; }

}  // namespace

double IncrementalCountsPerUnit(const FeedbackSensor& sensor, const DecodeSettings& settings) {
  const SensorModel& m = sensor.model;
  const bool rotary = sensor.kind == MotorKind::rotary;
  switch (m.type) {
    case SensorType::incremental: return EncoderParams::From(m, sensor.kind).countsPerUnit;
    case SensorType::sincos: {
      const double perPeriod = 4.0 * static_cast<double>(std::int64_t{1} << settings.sincosFract);
      return Direction(m) * perPeriod * (rotary ? m.lines / kTwoPi : 1.0 / m.period_m);
    }
    case SensorType::linear_hall: {
      const double perPeriod = static_cast<double>(std::int64_t{1} << (16 - settings.dbtth));
      return Direction(m) * perPeriod * sensor.electricalPerUnit / kTwoPi;
    }
    default: return 0.0;
  }
}

namespace {

// The absolute word the encoder sends: n = floor(2^B·(s·θ/2π + o)), single turn n mod 2^B, turns
// above it: the word is n mod 2^(B + T), Gray-coded when the encoder is. The drive decodes it with
// its own SSITYPE, SSIREV, SSITURNS and SSISENSE.
SensorReading AbsoluteReading(const SensorModel& m, const DecodeSettings& settings, double position) {
  const int sentBits = m.single_turn_bits + m.turn_bits;
  const int readBits = settings.ssiRev + settings.ssiTurns;
  if (settings.ssiRev <= 0 || readBits > 62 || sentBits > 62) return {0, 0, false};
  const double turns = Direction(m) * position / kTwoPi + m.offset_deg / 360.0;
  const std::int64_t n = FloorCount(static_cast<double>(std::int64_t{1} << m.single_turn_bits), turns);
  const std::uint64_t sentMask = (std::uint64_t{1} << sentBits) - 1;
  std::uint64_t word = static_cast<std::uint64_t>(n) & sentMask;
  if (m.gray) word = ToGray(word);
  if (settings.ssiGray) word = FromGray(word);
  const std::int64_t modulus = std::int64_t{1} << readBits;
  auto value = static_cast<std::int64_t>(word & static_cast<std::uint64_t>(modulus - 1));
  if (settings.ssiSense < 0) value = (modulus - value) % modulus;
  return {value, modulus, true};
}

// The R/D converter's emulated encoder: MECRESL counts per revolution of the converter's angle.
SensorReading ResolverReading(const FeedbackSensor& sensor, const DecodeSettings& settings, double position,
                              ResolverTracker& converter, double h_s) {
  const ResolverSample sample = SampleResolver(sensor, settings, position);
  TrackResolver(converter, ConvertedAngle(sample.signals, sample.phi), h_s);
  return {FloorCount(settings.mecresl / (kTwoPi * sensor.model.resolver_pole_pairs), converter.angle), 0, true};
}

}  // namespace

ResolverSample SampleResolver(const FeedbackSensor& sensor, const DecodeSettings& settings, double position) {
  const double phi =
      Direction(sensor.model) * sensor.model.resolver_pole_pairs * position + sensor.model.offset_deg * kTwoPi / 360.0;
  return {phi, Demodulate(sensor.resolver, sensor.signalAmplitude, settings.demodulationPhase_rad, phi)};
}

std::uint64_t ToGray(std::uint64_t binary) { return binary ^ (binary >> 1); }

std::uint64_t FromGray(std::uint64_t gray) {
  for (int shift = 1; shift < 64; shift <<= 1) gray ^= gray >> shift;
  return gray;
}

SensorReading ReadSensor(const FeedbackSensor& sensor, const DecodeSettings& settings, double position,
                         ResolverTracker& converter, double h_s) {
  switch (sensor.model.type) {
    case SensorType::none: return {0, 0, false};
    case SensorType::ssi:
    case SensorType::biss: return AbsoluteReading(sensor.model, settings, position);
    case SensorType::resolver: return ResolverReading(sensor, settings, position, converter, h_s);
    default: {
      const double countsPerUnit = settings.countsPerUnit ? *settings.countsPerUnit : IncrementalCountsPerUnit(sensor, settings);
      return {FloorCount(countsPerUnit, position), 0, true};
    }
  }
}

void UpdateFeedbackInput(const FeedbackSensor& sensor, const DecodeSettings& settings, FeedbackInputState& state,
                         double previousPosition, double position, double h_s) {
  const SensorReading reading = ReadSensor(sensor, settings, position, state.converter, h_s);
  if (!reading.valid) return;
  EncoderState& e = state.encoder;
  if (!state.started) {
    state.started = true;
    e.lastRaw = reading.value;
    // Absolute words, and the resolver's converter, which knows its angle from the first sample.
    if (reading.modulus > 0 || sensor.model.type == SensorType::resolver) {
      e.counter = static_cast<std::uint32_t>(reading.value);
    }
    return;
  }
  std::int64_t delta = reading.value - e.lastRaw;
  e.lastRaw = reading.value;
  if (reading.modulus > 0) {
    // The shortest way round the absolute word.
    delta = ((delta % reading.modulus) + reading.modulus) % reading.modulus;
    if (delta >= reading.modulus / 2) delta -= reading.modulus;
  } else if (settings.countingDirection == 1 && sensor.model.type != SensorType::linear_hall) {
    delta = -delta;
  }
  e.counter += static_cast<std::uint32_t>(delta);
  const bool hasIndex = sensor.kind == MotorKind::rotary &&
                        (sensor.model.type == SensorType::incremental || sensor.model.type == SensorType::sincos);
  if (!e.captureArmed || !hasIndex) return;
  const double index_rad = sensor.model.index_deg * kTwoPi / 360.0;
  if (std::floor((previousPosition - index_rad) / kTwoPi) == std::floor((position - index_rad) / kTwoPi)) return;
  e.capture = static_cast<std::int32_t>(e.counter);
  e.captureArmed = false;
}

}  // namespace drivesim::sensors
