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
}  // namespace

const std::array<std::int32_t, 1024> kSineTable = BuildSineTable();

}  // namespace drivesim::control
