#include "drivebase/numeric.h"

#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(RoundDecimalValue, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(RoundDecimalValue(4.0000006, 0), 4.0);
  EXPECT_EQ(RoundDecimalValue(2.5, 0), 3.0);
  EXPECT_EQ(RoundDecimalValue(-2.5, 0), -3.0);
  EXPECT_DOUBLE_EQ(RoundDecimalValue(1.23456, 2), 1.23);
  EXPECT_DOUBLE_EQ(RoundDecimalValue(-0.6109, 2), -0.61);
  EXPECT_DOUBLE_EQ(RoundDecimalValue(0.0014999, 3), 0.001);
  EXPECT_DOUBLE_EQ(RoundDecimalValue(1234.5, -1), 1230.0);
}

TEST(TgRound, NearestIntegerSaturatedAtLong) {
  EXPECT_EQ(TG_Round(2.5), 3);
  EXPECT_EQ(TG_Round(-2.5), -3);
  EXPECT_EQ(TG_Round(-2.4), -2);
  EXPECT_EQ(TG_Round(1e300), LONG_MAX);
  EXPECT_EQ(TG_Round(-1e300), LONG_MIN);
  EXPECT_EQ(TG_Round(9223372036854775808.0), LONG_MAX);  // 2^63
  EXPECT_EQ(TG_Round(-9223372036854775808.0), LONG_MIN);
  EXPECT_EQ(TG_Round(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(TgFRound, RoundsToAWholeDouble) {
  EXPECT_EQ(TG_FRound(0.5), 1.0);
  EXPECT_EQ(TG_FRound(-0.5), -1.0);
  EXPECT_EQ(TG_FRound(99.4999), 99.0);
  EXPECT_EQ(TG_FRound(1e20), 1e20);
}

TEST(PositiveModulo, StaysInZeroToModulusMinusOne) {
  EXPECT_EQ(PositiveModulo(9, 4), 1);
  EXPECT_EQ(PositiveModulo(-1, 8000), 7999);
  EXPECT_EQ(PositiveModulo(-8000, 8000), 0);
  EXPECT_EQ(PositiveModulo(LONG_MIN, 7), (LONG_MIN % 7) + 7);
  EXPECT_EQ(PositiveModulo(5, 0), 0);
  EXPECT_EQ(PositiveModulo(5, -3), 0);
}

}  // namespace
