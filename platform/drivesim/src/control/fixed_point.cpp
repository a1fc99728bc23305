#include "control/fixed_point.h"

#include <array>
#include <cmath>

namespace drivesim::control {

namespace {
std::array<std::int32_t, 1024> BuildSineTable() {
  std::array<std::int32_t, 1024> table{};
  const double pi = std::acos(-1.0);
  for (std::size_t k = 0; k < table.size(); ++k) {
    table[k] = static_cast<std::int32_t>(std::lround(32768.0 * std::sin(2.0 * pi * static_cast<double>(k) / 1024.0)));
  }
  return table;
}
const std::array<std::int32_t, 1024> kSineTable = BuildSineTable();
}  // namespace

// Index = angle >> 6 (64 angle counts per entry); cos(θ) = sin(θ + 256 entries).
SinCos SinCosQ15(std::int32_t angle16) {
  const auto& table = kSineTable;
  const std::uint32_t index = (static_cast<std::uint32_t>(angle16) & 0xFFFFu) >> 6;
  return {table[index], table[(index + 256u) & 1023u]};
}

}  // namespace drivesim::control
