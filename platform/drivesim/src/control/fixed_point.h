// The drive's integer arithmetic: gain pairs, Q15 trigonometry from a table, Clarke and Park.
#pragma once

#include <array>
#include <cstdint>

namespace drivesim::control {

// K·x·2^s/2^15 rounded toward minus infinity in 64 bits (arithmetic shift), the drive's gain pair.
inline std::int64_t MulShift(std::int32_t gain, std::int32_t shift, std::int64_t x) {
  const std::int64_t product = static_cast<std::int64_t>(gain) * x;
  const int net = 15 - shift;
  if (net >= 0) return product >> net;
  return product * (std::int64_t{1} << -net);
}

// Saturates to [lo, hi].
inline std::int64_t Clamp(std::int64_t value, std::int64_t lo, std::int64_t hi) {
  return value < lo ? lo : (value > hi ? hi : value);
}

inline std::int32_t SaturateInt16(std::int64_t value) {
  return static_cast<std::int32_t>(Clamp(value, -32768, 32767));
}

// sin and cos of a 16-bit angle (65536 per turn) from a 1024-entry table, scaled by 2^15
// (32768 = 1, so that the quarter turns are exact).
struct SinCos {
  std::int32_t sin;
  std::int32_t cos;
};
// round(32768·sin(2π·k/1024)), k = 0 … 1023.
extern const std::array<std::int32_t, 1024> kSineTable;
// Index = angle >> 6 (64 angle counts per entry); cos(θ) = sin(θ + 256 entries).
inline SinCos SinCosQ15(std::int32_t angle16) {
  const std::uint32_t index = (static_cast<std::uint32_t>(angle16) & 0xFFFFu) >> 6;
  return {kSineTable[index], kSineTable[(index + 256u) & 1023u]};
}

// Amplitude-invariant transforms; a vector along phase A has α = a, β = 0.
struct TwoAxis {
  std::int32_t x;  // α or d
  std::int32_t y;  // β or q
};

// Clarke from phases a and b (c = −a − b): α = a, β = (a + 2b)/√3, with 1/√3 = 18919/32768.
inline TwoAxis Clarke(std::int32_t a, std::int32_t b) {
  return {a, static_cast<std::int32_t>(((static_cast<std::int64_t>(a) + 2 * b) * 18919) >> 15)};
}

// Park: d = α·cos + β·sin, q = −α·sin + β·cos.
inline TwoAxis Park(TwoAxis ab, SinCos sc) {
  const std::int64_t d = static_cast<std::int64_t>(ab.x) * sc.cos + static_cast<std::int64_t>(ab.y) * sc.sin;
  const std::int64_t q = -static_cast<std::int64_t>(ab.x) * sc.sin + static_cast<std::int64_t>(ab.y) * sc.cos;
  return {static_cast<std::int32_t>(d >> 15), static_cast<std::int32_t>(q >> 15)};
}

// Inverse Park: α = d·cos − q·sin, β = d·sin + q·cos.
inline TwoAxis InversePark(TwoAxis dq, SinCos sc) {
  const std::int64_t a = static_cast<std::int64_t>(dq.x) * sc.cos - static_cast<std::int64_t>(dq.y) * sc.sin;
  const std::int64_t b = static_cast<std::int64_t>(dq.x) * sc.sin + static_cast<std::int64_t>(dq.y) * sc.cos;
  return {static_cast<std::int32_t>(a >> 15), static_cast<std::int32_t>(b >> 15)};
}

// Whether the vector's magnitude √(x² + y²) exceeds `limit`, decided exactly in integers.
inline bool MagnitudeExceeds(TwoAxis v, std::int32_t limit) {
  if (limit < 0) return true;
  const auto square = [](std::int32_t a) { return static_cast<std::uint64_t>(static_cast<std::int64_t>(a) * a); };
  return square(v.x) + square(v.y) > square(limit);  // at most 2^63: no overflow
}

// The difference of two readings of a 32-bit counter that may have wrapped between them.
inline std::int32_t CounterDelta(std::int32_t counter, std::int32_t previous) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) - static_cast<std::uint32_t>(previous));
}

// Wraps any integer angle into the int16 range of a 16-bit angle.
inline std::int32_t WrapAngle16(std::int64_t angle) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(angle & 0xFFFF));
}

}  // namespace drivesim::control
