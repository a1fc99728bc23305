#include "drivebase/numeric.h"

#include <cmath>
#include <limits>

double RoundDecimalValue(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

long TG_Round(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLowest = static_cast<double>(std::numeric_limits<long>::min());
  const double rounded = std::round(value);
  if (rounded <= kLowest) return std::numeric_limits<long>::min();
  // -kLowest is 2^63, one above the largest long: converting it would be undefined.
  if (rounded >= -kLowest) return std::numeric_limits<long>::max();
  return static_cast<long>(rounded);
}

double TG_FRound(double value) { return std::round(value); }

long PositiveModulo(long value, long modulus) {
  if (modulus <= 0) return 0;
  const long remainder = value % modulus;
  return remainder < 0 ? remainder + modulus : remainder;
}
