// The shift of a scaled gain g held as a mantissa K and a shift s, g = K * 2^s / 32767.
#pragma once

namespace kestrel {

// 0 for g <= 1 (zero and negative gains too); above 1, ceil(ln g / ln 2) in double precision,
// except that an exact power of two gives its exact exponent (g = 8 gives 3).
int GainShift(double gain);

}  // namespace kestrel
