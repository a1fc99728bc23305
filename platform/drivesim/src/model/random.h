// The one noise source of a drive: a seeded 64-bit generator (splitmix64) and normal draws from
// a tabulated inverse distribution, written out so that every platform draws the same numbers in
// the same order.
#pragma once

#include <array>
#include <cstdint>

namespace drivesim::model {

class NoiseSource {
 public:
  explicit NoiseSource(std::uint64_t seed) : state_(seed) {}

  // 64 uniformly distributed bits.
  std::uint64_t Bits() {
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Standard normal: each 32-bit half of a draw is a probability u, mapped through the inverse
  // normal distribution tabulated at 4096 steps and interpolated linearly (the table ends at
  // u = 1/8192 and 1 − 1/8192, ±3.55 σ, so the tails beyond are cut off).
  double Gaussian() {
    if (hasSpare_) {
      hasSpare_ = false;
      return FromBits(spare_);
    }
    const std::uint64_t bits = Bits();
    spare_ = static_cast<std::uint32_t>(bits >> 32);
    hasSpare_ = true;
    return FromBits(static_cast<std::uint32_t>(bits));
  }

  static constexpr int kTableBits = 12;
  using Table = std::array<double, (1 << kTableBits) + 1>;
  static Table BuildInverseNormal();

 private:
  static const Table kInverseNormal;
  static double FromBits(std::uint32_t u) {
    const Table& table = kInverseNormal;
    const std::uint32_t index = u >> (32 - kTableBits);
    const double fraction = static_cast<double>(u & ((1u << (32 - kTableBits)) - 1u)) * 0x1.0p-20;
    return table[index] + fraction * (table[index + 1] - table[index]);
  }

  std::uint64_t state_;
  std::uint32_t spare_ = 0;
  bool hasSpare_ = false;
};

}  // namespace drivesim::model
