#include "control/angle_source.h"

#include <cmath>

#include "control/fixed_point.h"

namespace drivesim::control {

namespace {

constexpr std::array<int, 6> kCodeRef{5, 4, 6, 2, 3, 1};
constexpr double kTwoPi = 6.283185307179586;

// The counter at the commutation's resolution (arithmetic shift: floor).
std::int64_t CommutationCount(std::int32_t counter, int shift) {
  if (shift >= 0) return static_cast<std::int64_t>(counter) >> shift;
  return static_cast<std::int64_t>(counter) * (std::int64_t{1} << -shift);
}

std::int64_t FloorMod(std::int64_t value, std::int64_t modulus) { return ((value % modulus) + modulus) % modulus; }

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  const std::int64_t q = value / divisor;
  return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? q - 1 : q;
}

}  // namespace

std::int32_t IncrementalAngle16(std::uint32_t offset32, std::int32_t counter, const AngleRegisters& r) {
  const auto turn = static_cast<std::uint64_t>(CommutationCount(counter, r.interpolationShift)) *
                    static_cast<std::uint64_t>(r.enc2thl);
  const auto angle32 = static_cast<std::uint32_t>(offset32 + static_cast<std::uint32_t>(turn));
  return WrapAngle16(angle32 >> 16);
}

std::uint32_t IncrementalOffset32(std::int32_t counter, std::int32_t angle16, const AngleRegisters& r) {
  const auto turn = static_cast<std::uint64_t>(CommutationCount(counter, r.interpolationShift)) *
                    static_cast<std::uint64_t>(r.enc2thl);
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(static_cast<std::uint16_t>(angle16)) << 16) - turn);
}

std::int32_t AbsoluteAngle16(std::int32_t counter, const AngleRegisters& r) {
  const int bits = r.ssiBits;
  if (bits <= 0 || bits > 31) return 0;
  const std::int64_t position = FloorMod(counter, std::int64_t{1} << bits);
  const int coarse = bits > 16 ? bits - 16 : 0;
  const int fine = bits < 16 ? 16 - bits : 0;
  const std::int64_t polePairs = std::llround(std::ldexp(static_cast<double>(r.enc2thl), bits - 32));
  return WrapAngle16(((position >> coarse) - r.zaoff) * polePairs * (std::int64_t{1} << fine));
}

std::int32_t ResolverAngle16(std::int32_t counter, const AngleRegisters& r) {
  if (r.mecresl <= 0) return 0;
  const std::int64_t polePairs = std::llround(std::ldexp(static_cast<double>(r.mecresl) * static_cast<double>(r.enc2thl), -32));
  const std::int64_t count = FloorMod(counter, r.mecresl);
  return WrapAngle16(FloorDiv((count - r.zaoff) * polePairs * 65536, r.mecresl));
}

std::optional<int> HallSector(int code, std::int32_t hallCase) {
  const int m = hallCase - 2;
  if (m < 0 || m > 11) return std::nullopt;
  const int direction = m < 6 ? 1 : -1;
  const int k = m % 6;
  for (int j = 0; j < 6; ++j) {
    if (kCodeRef[static_cast<std::size_t>(j)] == code) return static_cast<int>(FloorMod(direction * (j - k), 6));
  }
  return std::nullopt;
}

std::int32_t HallSectorCentre16(int sector, std::int32_t hall30) {
  return WrapAngle16(std::llround(sector * 65536.0 / 6.0) + hall30);
}

std::int32_t HallEdge16(int previous, int sector, std::int32_t hall30) {
  const bool forward = FloorMod(previous + 1, 6) == sector;
  return WrapAngle16(HallSectorCentre16(sector, hall30) + (forward ? -5461 : 5461));
}

namespace {

// The least-squares fit of the normalised channels: sin θ and cos θ times the determinant of the
// normal equations (which vanishes only for a spacing of 0 or 180°).
struct LinearHallFit {
  double sinTheta = 0.0, cosTheta = 0.0, determinant = 0.0;
};

LinearHallFit FitLinearHalls(const std::array<std::int32_t, 3>& counts, const LinearHallCalibration& c) {
  const double psi = c.spacing * kTwoPi / 65536.0;
  double aa = 0.0, ab = 0.0, bb = 0.0, av = 0.0, bv = 0.0;
  for (std::size_t x = 0; x < 3; ++x) {
    const double v = static_cast<double>(counts[x] - c.offset[x]) * c.gain[x] / 32767.0;
    const double a = std::cos(static_cast<double>(x) * psi);
    const double b = -std::sin(static_cast<double>(x) * psi);
    aa += a * a;
    ab += a * b;
    bb += b * b;
    av += a * v;
    bv += b * v;
  }
  return {bb * av - ab * bv, aa * bv - ab * av, aa * bb - ab * ab};
}

}  // namespace

std::int32_t LinearHallAngle16(const std::array<std::int32_t, 3>& counts, const LinearHallCalibration& c) {
  const LinearHallFit fit = FitLinearHalls(counts, c);
  return WrapAngle16(std::llround(std::atan2(fit.sinTheta, fit.cosTheta) * 65536.0 / kTwoPi));
}

double LinearHallAmplitude(const std::array<std::int32_t, 3>& counts, const LinearHallCalibration& c) {
  const LinearHallFit fit = FitLinearHalls(counts, c);
  return std::hypot(fit.sinTheta, fit.cosTheta) / fit.determinant;
}

}  // namespace drivesim::control
