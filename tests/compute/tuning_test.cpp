#include "compute/tuning.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "compute/scale_functions.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledDefaultSetup;

// The default motor on the default drive: R 0.9 Ohm, L 1.2 mH (tau = 1.333 ms), Jt 66e-7 kgm^2,
// K 0.12 Nm/A; Tc 100 us, Ts 1 ms, Kv = 65534 / (1.1 * 48) = 1241.17 (sinusoidal),
// Iscale = 3273.6 counts/A, 1273.24 counts/rad, so G = 0.9 * 1241.17 / 3273.6 = 0.341232.
class Tuning : public ScaledDefaultSetup {
 protected:
  void SetUp() override {
    // The tuning writes the formulas' values; the parameters' limits are not its business.
    for (const char* gain : {"Kp_C_scl", "Ki_C_scl", "Kp_S_scl", "Ki_S_scl", "Kp_P_scl", "Ki_P_scl", "Kd_P_scl"}) {
      Set(gain, 0.0);
    }
  }
};

TEST_F(Tuning, CurrentLoopOfAShortTimeConstant) {
  Set("L", 2e-4);  // tau = 222 us, below 4 Tc
  ASSERT_TRUE(TuneCurrentController(&setup));
  EXPECT_DOUBLE_EQ(Value("Kp_C_scl"), -0.07313480410849232);  // (222.2e-6 / (2 sqrt2 100e-6) - 1) G
  EXPECT_DOUBLE_EQ(Value("Ki_C_scl"), 0.20473915289256198);   // 6000 * 100e-6 * G
}

TEST_F(Tuning, ATimeConstantOfExactlyFourPeriodsTakesTheShortForm) {
  Set("R", 1.0);
  Set("L", 4e-4);  // tau = 4 Tc; G = 1241.17 / 3273.6
  ASSERT_TRUE(TuneCurrentController(&setup));
  EXPECT_DOUBLE_EQ(Value("Kp_C_scl"), 0.15704765532755163);  // not 1.4408 of the long form
  EXPECT_DOUBLE_EQ(Value("Ki_C_scl"), 0.2274879476584022);
}

TEST_F(Tuning, CurrentLoopOfADeltaMotorAndInTrapezoidalMode) {
  Set("MotorPhaseConnectionType", 1);  // a third of R in G, tau unchanged
  ASSERT_TRUE(TuneCurrentController(&setup));
  EXPECT_DOUBLE_EQ(Value("Kp_C_scl"), 1.7061596074380163);
  EXPECT_DOUBLE_EQ(Value("Ki_C_scl"), 0.5459710743801652);
  Set("MotorPhaseConnectionType", 0);
  Set("CommutationMethod", 0);  // Kv = 32767 / 48
  ASSERT_TRUE(TuneCurrentController(&setup));
  EXPECT_DOUBLE_EQ(Value("Kp_C_scl"), 2.8151633522727275);
}

TEST_F(Tuning, SpeedLoopOfARotaryMotor) {
  ASSERT_TRUE(TuneSpeedController(&setup));
  // X = 66e-6 / 0.12 = 550e-6; S = 1.27324: Ki = 500^2 * 1 ms * X * 3273.6 / S, Kp = 2 * 500 * X * 3273.6 / S
  EXPECT_DOUBLE_EQ(Value("Ki_S_scl"), 353.52342130845943);
  EXPECT_DOUBLE_EQ(Value("Kp_S_scl"), 1414.0936852338377);
  Set("PosSpd_in_FastLoop", 1);  // the loop runs at Tc: a tenth of the integral gain
  ASSERT_TRUE(TuneSpeedController(&setup));
  EXPECT_DOUBLE_EQ(Value("Ki_S_scl"), 35.35234213084594);
  setup.RemoveParameter("PosSpd_in_FastLoop");
  ASSERT_TRUE(TuneSpeedController(&setup));
  EXPECT_DOUBLE_EQ(Value("Ki_S_scl"), 353.52342130845943);
}

TEST(TuningOfALinearMotor, SpeedLoopOnTheMovingMass) {
  CMC_Setup setup = test_support::ScaledSetupFile("linear");
  ASSERT_TRUE(TuneSpeedController(&setup));
  // X = 32 mm * 1.2 kg / 30 N/A = 1.28e-3; S = 1 / 1 um * 1 ms = 1000
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("Ki_S_scl"), 1.0475519999999998);
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("Kp_S_scl"), 4.190207999999999);
}

TEST_F(Tuning, PositionLoopOverTheSpeedLoop) {
  ASSERT_TRUE(TunePositionController(&setup));
  EXPECT_DOUBLE_EQ(Value("Ki_P_scl"), 0.0025);  // 50^2 * 1 ms * S / P, S / P = 1 ms
  EXPECT_DOUBLE_EQ(Value("Kp_P_scl"), 0.1);     // 2 * 50 * 1 ms
  EXPECT_EQ(Value("Kd_P_scl"), 0.0);
}

TEST(TuningOfADualLoop, PositionLoopCountsTheTransmission) {
  CMC_Setup setup = test_support::ScaledSetupFile("dual_loop");
  ASSERT_TRUE(TunePositionController(&setup));
  // S = 1.27324 * |10 / 1|, P = 4 * 5000 / 2pi = 3183.1
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("Ki_P_scl"), 0.01);
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("Kp_P_scl"), 0.4);
}

TEST_F(Tuning, PositionLoopDirectlyOnTheCurrentLoop) {
  Set("PositionControlType", 0);
  ASSERT_TRUE(TunePositionController(&setup));
  // X Iscale / P = 550e-6 * 3273.6 / 1273.24: Ki = 50^3 T .., Kp = 3 * 50^2 .., Kd = 3 * 50 .. / T
  EXPECT_DOUBLE_EQ(Value("Ki_P_scl"), 0.17676171065422971);
  EXPECT_DOUBLE_EQ(Value("Kp_P_scl"), 10.605702639253783);
  EXPECT_DOUBLE_EQ(Value("Kd_P_scl"), 212.11405278507564);
  Set("PosSpd_in_FastLoop", 1);
  ASSERT_TRUE(TunePositionController(&setup));
  EXPECT_DOUBLE_EQ(Value("Ki_P_scl"), 0.01767617106542297);
  EXPECT_DOUBLE_EQ(Value("Kd_P_scl"), 2121.1405278507564);
}

TEST_F(Tuning, AMissingParameterWritesNothing) {
  Set("Kp_C_scl", 7.0);
  setup.RemoveParameter("Dump_C");
  EXPECT_FALSE(TuneCurrentController(&setup));
  EXPECT_EQ(Value("Kp_C_scl"), 7.0);
  Set("Ki_S_scl", 7.0);
  setup.RemoveParameter("Jt");
  EXPECT_FALSE(TuneSpeedController(&setup));
  EXPECT_EQ(Value("Ki_S_scl"), 7.0);
  setup.RemoveParameter("Kd_P_scl");
  Set("Ki_P_scl", 7.0);
  EXPECT_FALSE(TunePositionController(&setup));
  EXPECT_EQ(Value("Ki_P_scl"), 7.0);
}

// The tuned current loop on the motor itself: the drive's PI acts on counts, so in volts per
// ampere its gains are Kp = Kp_scl Iscale / Kv and Ki = Ki_scl Iscale / (Kv Tc) per second.
// Closing it around R + L s gives L s^2 + (R + Kp) s + Ki: its natural frequency and damping
// must be the ones asked for.
TEST_F(Tuning, TheTunedCurrentLoopHasTheRequestedBandwidth) {
  const double r = 0.9;
  const double l = 1.2e-3;
  const double iscale = 65472.0 / (2 * 10.0);
  const double kv = 65534.0 / (1.1 * 48.0);
  const double tc = 1e-4;
  for (const auto& [bandwidth, damping] : {std::pair{6000.0, 1.0}, {3000.0, 0.7}, {9000.0, 1.3}}) {
    Set({{"PB_C", bandwidth}, {"Dump_C", damping}});
    ASSERT_TRUE(TuneCurrentController(&setup));
    const double kp = Value("Kp_C_scl") * iscale / kv;
    const double ki = Value("Ki_C_scl") * iscale / (kv * tc);
    const double naturalFrequency = std::sqrt(ki / l);
    const double dampingRatio = (r + kp) / (2.0 * l * naturalFrequency);
    EXPECT_NEAR(naturalFrequency, bandwidth, 1e-9 * bandwidth);
    EXPECT_NEAR(dampingRatio, damping, 1e-9);
  }
}

}  // namespace
}  // namespace kestrel
