// The drive's commutation angle θ_e16 (16-bit electrical angle, 65536 per turn) from each kind
// of feedback: incremental encoder or sin/cos (an offset captured at alignment plus the counter
// scaled by ENC2THL), digital Halls (sector centres), linear Halls (atan2 of the calibrated
// signals), SSI/BiSS (the single-turn position less ZAOFF) and the resolver's emulated encoder.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace drivesim::control {

enum class AngleSourceKind {
  incremental,   // encoder or sin/cos, offset captured by COMMUTATE
  hallStart,     // incremental, offset first from the Hall sector, corrected at the first Hall edge
  hallBlocks,    // digital Halls alone: block commutation on the sector
  linearHalls,
  absolute,      // SSI / BiSS
  resolver,
};

// Calibration of the linear Hall channels A, B, C: offsets HALLAOFF, HALLBOFF, HALLCOFF (ADC
// counts), Q15 gains HALLAGAIN, HALLBGAIN, HALLCGAIN, channel spacing ALPHA (16-bit electrical).
struct LinearHallCalibration {
  std::array<std::int32_t, 3> offset{32736, 32736, 32736};
  std::array<std::int32_t, 3> gain{32767, 32767, 32767};
  std::int32_t spacing = 21845;
  bool operator==(const LinearHallCalibration&) const = default;
};

// The registers that turn a reading into θ_e16.
struct AngleRegisters {
  std::int64_t enc2thl = 0;         // ENC2THL: electrical angle per count, 2^32 per turn
  std::int32_t zaoff = 0;           // ZAOFF
  std::int32_t mecresl = 0;         // MECRESL: resolver counts per revolution
  std::int32_t hall30 = 0;          // HALL30: Hall shift δ
  std::int32_t hallCase = 2;        // HALLCASE: Hall wiring code 2 … 13
  int ssiBits = 0;                  // SSIREV: single-turn bits B
  int interpolationShift = 0;       // SINCOS_fract − ELRES_FRACT: counter bits finer than the commutation
  LinearHallCalibration linearHalls;
};

// Incremental: θ_e16 = (θ_off32 + n·ENC2THL) >> 16, n the counter at the commutation's resolution.
std::int32_t IncrementalAngle16(std::uint32_t offset32, std::int32_t counter, const AngleRegisters& r);
// The θ_off32 that makes the incremental angle `angle16` at `counter`.
std::uint32_t IncrementalOffset32(std::int32_t counter, std::int32_t angle16, const AngleRegisters& r);

// SSI/BiSS, pos the single-turn position (the counter modulo 2^B), s = max(0, B − 16):
//   θ_e16 = ((pos >> s) − ZAOFF)·p·2^max(0, 16 − B) mod 65536,  p = ENC2THL·2^B/2^32
// ZAOFF is held in min(B, 16)-bit units.
std::int32_t AbsoluteAngle16(std::int32_t counter, const AngleRegisters& r);

// Resolver: θ_e16 = (count − ZAOFF)·p·65536/MECRESL mod 65536, count the counter modulo MECRESL,
// p = MECRESL·ENC2THL/2^32 rounded.
std::int32_t ResolverAngle16(std::int32_t counter, const AngleRegisters& r);

// The 120° sector σ (0 … 5) that a Hall code shows under a wiring code (HALLCASE 2 … 13):
// sector σ shows code_ref[(k + d·σ) mod 6], m = HALLCASE − 2, d = +1 for m < 6 else −1,
// k = m mod 6, code_ref = [5, 4, 6, 2, 3, 1]. nullopt for the invalid codes 0 and 7 or an
// unknown wiring code.
std::optional<int> HallSector(int code, std::int32_t hallCase);
// Sector centre 60°·σ + HALL30.
std::int32_t HallSectorCentre16(int sector, std::int32_t hall30);
// The edge between two neighbouring sectors, 60°·σ ± 30° + HALL30, seen when entering `sector`
// from `previous`.
std::int32_t HallEdge16(int previous, int sector, std::int32_t hall30);

// Linear Halls: the channels normalised, v_x = (AD_x − offset_x)·gain_x/32767, are
// v_x = sin θ·cos(x·ψ) − cos θ·sin(x·ψ) (x = 0, 1, 2 for A, B, C; ψ = ALPHA); sin θ and cos θ by
// least squares over the three (with ψ = 120° the Clarke transform), θ_e16 = atan2 in 16 bits
// (before the ZAOFF correction).
std::int32_t LinearHallAngle16(const std::array<std::int32_t, 3>& counts, const LinearHallCalibration& c);
// The amplitude of that calibrated vector, in normalised ADC counts (√(sin² + cos²) of the fit).
double LinearHallAmplitude(const std::array<std::int32_t, 3>& counts, const LinearHallCalibration& c);

}  // namespace drivesim::control
