// The host's small numeric helpers.
#pragma once

// The value rounded to the given number of decimals, halves away from zero: (1.005, 2) is the
// double nearest 1.0 or 1.01 as the product 1.005 * 100 rounds.
double RoundDecimalValue(double value, int decimals);

// Nearest integer, halves away from zero, saturated at the range of long; NaN gives 0.
long TG_Round(double value);

// Nearest integer as a double, halves away from zero.
double TG_FRound(double value);

// value modulo modulus in 0 ... modulus - 1; 0 when the modulus is not positive.
long PositiveModulo(long value, long modulus);
