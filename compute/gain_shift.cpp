#include "compute/gain_shift.h"

#include <cmath>
#include <limits>

namespace kestrel {

int GainShift(double gain) {
  if (!(gain > 1.0)) return 0;
  if (std::isinf(gain)) return std::numeric_limits<int>::max();
  // The quotient of the two rounded logarithms can miss an exact power of two by one unit in
  // the last place, which the ceiling would turn into a whole step; powers of two are exact.
  int exponent = 0;
  if (std::frexp(gain, &exponent) == 0.5) return exponent - 1;
  return static_cast<int>(std::ceil(std::log(gain) / std::log(2.0)));
}

}  // namespace kestrel
