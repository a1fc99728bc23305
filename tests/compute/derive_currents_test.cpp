#include <cmath>

#include <gtest/gtest.h>

#include "compute/derivation.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledDefaultSetup;

// Ki = 65472 / (2 * 10 A) = 3273.6 counts per ampere throughout.

struct GainCase {
  const char* gain;
  const char* mantissa;
  const char* shift;
  double k, s, expected;
};

void PrintTo(const GainCase& c, std::ostream* out) { *out << c.gain; }

class ScaledGains : public ScaledDefaultSetup, public ::testing::WithParamInterface<GainCase> {};

TEST_P(ScaledGains, MantissaTimesTwoToTheShiftOver32767) {
  const GainCase& c = GetParam();
  Set(c.mantissa, c.k);
  Set(c.shift, c.s);
  ASSERT_EQ(DeriveScaledGain(&setup, c.gain, c.mantissa, c.shift), 1);
  EXPECT_DOUBLE_EQ(Value(c.gain), c.expected);
  EXPECT_EQ(Min(c.gain), 0.0);
  EXPECT_EQ(Max(c.gain), 16384.0);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ScaledGains,
    ::testing::Values(GainCase{"Kp_C_scl", "KPI", "SFTKPI", 20965, 3, 5.118564409314249},  // 20965 * 8 / 32767
                      GainCase{"Ki_C_scl", "KII", "SFTKII", 32767, 0, 1.0},
                      GainCase{"Kp_S_scl", "KPS", "SFTKPS", 22625, 11, 1414.105655079806},
                      GainCase{"Ki_S_scl", "KIS", "SFTKIS", 16384, 1, 1.0000305185094759},
                      GainCase{"Kp_P_scl", "KPP", "SFTKPP", 3277, 0, 0.1000091555528428},
                      GainCase{"Ki_P_scl", "KIP", "SFTKIP", 82, 0, 0.0025025177770317698},
                      GainCase{"Kd_P_scl", "KDP", "SFTKDP", 0, 0, 0.0},
                      GainCase{"Kp_T_scl", "KPTHT", "SFTKPTHT", 32767, 14, 16384.0},
                      GainCase{"Ki_T_scl", "KITHT", "SFTKITHT", 1638, 0, 0.04998931852168340},
                      GainCase{"KFFS_scl", "KFFS", "SFTSFFW", 16384, 0, 0.5000152592547380},
                      // beyond the range of a scaled gain the value is held at its maximum
                      GainCase{"Kp_S_scl", "KPS", "SFTKPS", 32767, 15, 16384.0}));

TEST_F(ScaledDefaultSetup, AccelerationFeedForwardAddsBothShifts) {
  Set({{"KFFA", 16000}, {"SFTAFFW", 11}, {"SFTKFF", 2}});
  ASSERT_EQ(DeriveAccelerationFeedForward(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("KFFA_scl"), 4000.122074037904);  // 16000 * 2^13 / 32767
  EXPECT_EQ(Max("KFFA_scl"), 4194304.0);
}

TEST_F(ScaledDefaultSetup, DerivativeFilterAndIntegralLimits) {
  ASSERT_EQ(DeriveDerivativeFilter(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("filter_D"), 0.500015259254738);  // 16384 / 32767
  ASSERT_EQ(DeriveIntegralLimit(&setup, "IPSatS", "IMAXS", "SATS"), 1);
  EXPECT_DOUBLE_EQ(Value("IPSatS"), 89.99961816029631);  // (32767 - 9197) * 100 / (32767 - 6578)
  EXPECT_EQ(Max("IPSatS"), 100.0);
}

TEST_F(ScaledDefaultSetup, CurrentLimitsFromTheSaturationInUse) {
  ASSERT_EQ(DeriveCurrentLimit(&setup), 1);  // ACR bit 9: SATS 6578
  ASSERT_EQ(DeriveTestLimitCurrent(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("IlimPS"), 8.00006109481916);  // (32767 - 6578) / Ki
  EXPECT_DOUBLE_EQ(Value("TestLimitCurrent"), 8.00006109481916);
  EXPECT_EQ(Min("IlimPS"), 0.001);
  EXPECT_EQ(Max("IlimPS"), 9.6);  // min(ImaxM 9.6, ImaxPS 10)
  EXPECT_EQ(Min("TestLimitCurrent"), 0.0);
  Set("ACR", 0x8500);  // position loop directly on the current loop: SATP 32385
  Set("IlimPS", 1.0);
  DeriveCurrentLimit(&setup);
  EXPECT_DOUBLE_EQ(Value("IlimPS"), 0.11669110459433041);  // (32767 - 32385) / Ki
}

TEST_F(ScaledDefaultSetup, CurrentLimitKeepsItsLimitsWhenTheSaturationIsMissing) {
  Set("IlimPS", 5.0);
  setup.RemoveParameter("SATS");
  EXPECT_EQ(DeriveCurrentLimit(&setup), 0);
  EXPECT_EQ(Value("IlimPS"), 5.0);
  EXPECT_EQ(Min("IlimPS"), 0.001);
  EXPECT_EQ(Max("IlimPS"), 9.6);
}

TEST_F(ScaledDefaultSetup, TestAndProtectionCurrents) {
  ASSERT_EQ(DeriveTestCurrent(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("TestCurrent"), 1.6);  // min(3.2 / 2, 4 / 2)
  EXPECT_DOUBLE_EQ(Max("TestCurrent"), 2.88);   // 1.8 * 1.6
  ASSERT_EQ(DeriveProtectionCurrent(&setup, "Imax_Prot", 0.001), 1);
  EXPECT_EQ(Value("Imax_Prot"), 9.6) << "31427 / Ki = 9.60013, held within its maximum";
  Set("IMAXPROT", 16368);  // 5.0 A
  ASSERT_EQ(DeriveProtectionCurrent(&setup, "TestProtectionCurrent", 0.0), 1);
  EXPECT_DOUBLE_EQ(Value("TestProtectionCurrent"), 16368 / 3273.6);
  EXPECT_EQ(Min("TestProtectionCurrent"), 0.0);
  ASSERT_EQ(DeriveSampleTime(&setup, "time_Imax_Prot", "TIMAXPROT"), 1);
  EXPECT_DOUBLE_EQ(Value("time_Imax_Prot"), 0.5);  // 500 samples of 1 ms
  EXPECT_DOUBLE_EQ(Max("time_Imax_Prot"), 32.767);
}

TEST_F(ScaledDefaultSetup, OffsetCurrentWithinTheNominalCurrent) {
  Set("FFL", -3274);
  ASSERT_EQ(DeriveOffsetCurrent(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("OffsetCurrent"), -3274 / 3273.6);
  EXPECT_EQ(Min("OffsetCurrent"), -3.2);
  EXPECT_EQ(Max("OffsetCurrent"), 3.2);
}

TEST_F(ScaledDefaultSetup, I2tCurrentsAndTimes) {
  ASSERT_EQ(DeriveI2tCurrent(&setup, "I_I2t_D", "I2TINTLIM_D", "InPS", 1.0, "ImaxPS"), 1);
  // sqrt(16 * 32149371 + (4 A * Ki)^2) / Ki
  EXPECT_DOUBLE_EQ(Value("I_I2t_D"), 8.00000001119773);
  EXPECT_EQ(Min("I_I2t_D"), 4.0);
  EXPECT_EQ(Max("I_I2t_D"), 10.0);
  ASSERT_EQ(DeriveI2tCurrent(&setup, "I_I2t_M", "I2TINTLIM_M", "In", 1.1, "ImaxM"), 1);
  EXPECT_DOUBLE_EQ(Value("I_I2t_M"), 6.000000036629022);
  EXPECT_DOUBLE_EQ(Min("I_I2t_M"), 3.52);  // 1.1 * In
  ASSERT_EQ(DeriveI2tTime(&setup, "t_I2t_D", "SFI2T_D", true), 1);
  EXPECT_DOUBLE_EQ(Value("t_I2t_D"), 4.0000514990761165);  // 1 ms * 2^26 / 16777
  EXPECT_DOUBLE_EQ(Min("t_I2t_D"), 2.048);
  EXPECT_DOUBLE_EQ(Max("t_I2t_D"), 67108.864);
  // The drive's time uses the Ts_S parameter, the motor's the period from the registers.
  Set("Ts_S", 2e-3);
  DeriveI2tTime(&setup, "t_I2t_D", "SFI2T_D", true);
  ASSERT_EQ(DeriveI2tTime(&setup, "t_I2t_M", "SFI2T_M", false), 1);
  EXPECT_DOUBLE_EQ(Value("t_I2t_D"), 8.000102998152233);
  EXPECT_DOUBLE_EQ(Value("t_I2t_M"), 9.999830725674267);  // 1 ms * 2^26 / 6711
}

TEST_F(ScaledDefaultSetup, CurrentFilterCornerFromItsCoefficient) {
  ASSERT_EQ(DeriveCurrentFilter(&setup), 1);
  EXPECT_EQ(Value("FilterOnCurrentControllerOutput"), 5000.0) << "off";
  EXPECT_DOUBLE_EQ(Max("FilterOnCurrentControllerOutput"), 5000.0);  // 1 / (2 * 100 us)
  Set("FILTERQ", 3000);
  DeriveCurrentFilter(&setup);
  EXPECT_DOUBLE_EQ(Value("FilterOnCurrentControllerOutput"), 960.2151401331602);  // -ln(1 - 3000 / 32767) / 100 us
}

}  // namespace
}  // namespace kestrel
