// The one noise source of a drive: a seeded 64-bit generator and Gaussian draws by Box–Muller,
// written out so that every platform draws the same numbers in the same order.
#pragma once

#include <cmath>
#include <cstdint>

namespace drivesim::model {

class NoiseSource {
 public:
  explicit NoiseSource(std::uint64_t seed) : state_(seed) {}

  // Uniform in (0, 1): splitmix64, 53 significant bits, never exactly 0.
  double Uniform() {
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return (static_cast<double>(z >> 11) + 0.5) * 0x1.0p-53;
  }

  // Standard normal; pairs are produced together and handed out in order.
  double Gaussian() {
    if (hasSpare_) {
      hasSpare_ = false;
      return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(Uniform()));
    const double angle = 6.283185307179586 * Uniform();
    spare_ = radius * std::sin(angle);
    hasSpare_ = true;
    return radius * std::cos(angle);
  }

 private:
  std::uint64_t state_;
  double spare_ = 0.0;
  bool hasSpare_ = false;
};

}  // namespace drivesim::model
