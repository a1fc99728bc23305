#include "compute/gain_pairs.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "compute/derivation.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledDefaultSetup;

struct PairCase {
  double gain;
  int shift;
  double mantissa;  // as the signed 16-bit register holds it
};

void PrintTo(const PairCase& c, std::ostream* out) { *out << "g = " << c.gain; }

class GainPairSweep : public ScaledDefaultSetup, public ::testing::WithParamInterface<PairCase> {};

TEST_P(GainPairSweep, MantissaAndShiftHoldTheGain) {
  const PairCase& c = GetParam();
  Set("Kp_S_scl", c.gain);
  ASSERT_EQ(ComputeShiftRegister(&setup, kSpeedProportional), 1);
  ASSERT_EQ(ComputeMantissaRegister(&setup, kSpeedProportional), 1);
  EXPECT_EQ(Value("SFTKPS"), c.shift);
  EXPECT_EQ(Value("KPS"), c.mantissa);
  ASSERT_EQ(DeriveScaledGain(&setup, "Kp_S_scl", "KPS", "SFTKPS"), 1);
  // g = K 2^s / 32767, within the rounding of K to a whole count.
  if (c.gain >= 0 && c.gain <= 16384) {
    EXPECT_NEAR(Value("Kp_S_scl"), c.gain, 0.5 * std::ldexp(1.0, c.shift) / 32767.0);
  }
}

constexpr double kJustAbove = 1.0 + 1e-9;
constexpr double kJustBelow = 1.0 - 1e-9;

INSTANTIATE_TEST_SUITE_P(
    Gains, GainPairSweep,
    ::testing::Values(
        PairCase{0.0, 0, 0}, PairCase{-3.0, 0, -32768},  // -98301 saturates the register
        PairCase{-0.25, 0, -8192},                       // -8191.75 rounds away from zero
        PairCase{0.5, 0, 16384},                         // 16383.5 rounds up
        PairCase{1.0, 0, 32767}, PairCase{kJustBelow, 0, 32767},
        PairCase{kJustAbove, 1, 16384},                  // 16383.500016...
        PairCase{1.5, 1, 24575},                         // 24575.25
        PairCase{2.0, 1, 32767}, PairCase{2 * kJustAbove, 2, 16384},
        PairCase{4 * kJustBelow, 2, 32767}, PairCase{4.0, 2, 32767},
        PairCase{5.118564409314249, 3, 20965},           // the default Kp_C_scl
        PairCase{1024.0, 10, 32767}, PairCase{1024 * kJustAbove, 11, 16384},
        PairCase{1414.105655079806, 11, 22625},          // the default Kp_S_scl
        PairCase{8192 * kJustBelow, 13, 32767}, PairCase{16384.0, 14, 32767},
        // ln(2^29) / ln 2 rounds to 29.000000000000004: the shift takes the exact exponent
        PairCase{536870912.0, 29, 32767}));

// (What a missing gain or register leaves alone: the compute sweep.)
TEST_F(ScaledDefaultSetup, EitherRegisterMayBeWrittenFirst) {
  Set("Ki_C_scl", 3.0);
  ASSERT_EQ(ComputeMantissaRegister(&setup, kCurrentIntegral), 1);
  EXPECT_EQ(Value("KII"), 24575.0);  // 3 * 32767 / 4 = 24575.25, with its own shift of 2
  ASSERT_EQ(ComputeShiftRegister(&setup, kCurrentIntegral), 1);
  EXPECT_EQ(Value("SFTKII"), 2.0);
}

struct FeedForwardCase {
  double gain;
  int shift;       // SFTAFFW
  int extraShift;  // SFTKFF
  double mantissa;
};

void PrintTo(const FeedForwardCase& c, std::ostream* out) { *out << "KFFA_scl " << c.gain; }

class AccelerationFeedForward : public ScaledDefaultSetup,
                                public ::testing::WithParamInterface<FeedForwardCase> {};

TEST_P(AccelerationFeedForward, ShiftSplitOverTwoRegisters) {
  const FeedForwardCase& c = GetParam();
  Set("KFFA_scl", c.gain);
  ASSERT_EQ(ComputeAccFeedForwardShift(&setup), 1);
  ASSERT_EQ(ComputeAccFeedForwardExtraShift(&setup), 1);
  ASSERT_EQ(ComputeAccFeedForwardMantissa(&setup), 1);
  EXPECT_EQ(Value("SFTAFFW"), c.shift);
  EXPECT_EQ(Value("SFTKFF"), c.extraShift);
  EXPECT_EQ(Value("KFFA"), c.mantissa);
  ASSERT_EQ(DeriveAccelerationFeedForward(&setup), 1);
  EXPECT_NEAR(Value("KFFA_scl"), c.gain, 0.5 * std::ldexp(1.0, c.shift + c.extraShift) / 32767.0);
}

INSTANTIATE_TEST_SUITE_P(
    Shifts, AccelerationFeedForward,
    ::testing::Values(FeedForwardCase{0.75, 0, 0, 24575},      // 24575.25
                      FeedForwardCase{100.0, 7, 0, 25599},     // 100 * 32767 / 128 = 25599.2
                      FeedForwardCase{2048.0, 11, 0, 32767},
                      FeedForwardCase{3000.0, 11, 1, 23999},   // 3000 * 32767 / 4096 = 23999.26
                      FeedForwardCase{5000.0, 11, 2, 19999},   // 5000 * 32767 / 8192 = 19999.4
                      FeedForwardCase{4194304.0, 11, 11, 32767}));

TEST(GainMantissa, WithinTheUpperHalfOfTheRegisterAboveOne) {
  for (double g = 1.0001; g < 16384; g *= 1.37) {
    const double k = GainMantissa(g);
    EXPECT_GT(k, 16383.5) << g;
    EXPECT_LE(k, 32767.0) << g;
  }
}

}  // namespace
}  // namespace kestrel
