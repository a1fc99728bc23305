#include <cmath>

#include <gtest/gtest.h>

#include "compute/derivation.h"
#include "compute/parameter_limits.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledDefaultSetup;

// k = 8000 / 2pi = 1273.2395 counts per rad, ks = k * 1 ms per rad/s throughout.

TEST_F(ScaledDefaultSetup, SpeedLimitUnderPositionOverSpeedControl) {
  ASSERT_EQ(DeriveSpeedLimit(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("Limit_Speed"), 300.02209841782525);  // (32767 - 32385) / ks
  EXPECT_EQ(Max("Limit_Speed"), 400.0);                        // 48 V / 0.12 V s/rad
  ASSERT_EQ(DeriveTestMaxSpeed(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("TestMaxSpeed"), 400.0 / 3.0);
}

TEST_F(ScaledDefaultSetup, SpeedLimitIsLeftAloneInSpeedAndTorqueControl) {
  for (const double mode : {1.0, 2.0}) {
    Set({{"ControlMode", mode}, {"Limit_Speed", 123.0}});
    P("Limit_Speed")->SetMaxInBaseUnit(150.0);
    EXPECT_EQ(DeriveSpeedLimit(&setup), 1);
    EXPECT_EQ(Value("Limit_Speed"), 123.0);
    EXPECT_EQ(Max("Limit_Speed"), 150.0);
  }
  Set({{"ControlMode", 0}, {"PositionControlType", 0}});
  EXPECT_EQ(DeriveSpeedLimit(&setup), 1);
  EXPECT_EQ(Value("Limit_Speed"), 123.0);
}

TEST_F(ScaledDefaultSetup, TopSpeedOfALinearMotor) {
  Set("TransmissionType", 3);
  ASSERT_EQ(DeriveTestMaxSpeed(&setup), 1);
  EXPECT_DOUBLE_EQ(Max("TestMaxSpeed"), 320.0);  // 40 MHz * 32 mm * 0.25 / 1000
}

TEST_F(ScaledDefaultSetup, PositionErrorFromTheLongRegisterWhenThereIsOne) {
  Set("ERRMAXL", 70000);
  ASSERT_EQ(DerivePositionError(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("ERR_position"), 54.97787143782138);   // 70000 / k
  EXPECT_DOUBLE_EQ(Max("ERR_position"), 1686629.712279854);     // 2147483647 / k
  setup.RemoveParameter("ERRMAXL");
  ASSERT_EQ(DerivePositionError(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("ERR_position"), 3.141592653589793);   // ERRMAX 4000 / k
  EXPECT_DOUBLE_EQ(Max("ERR_position"), 25.735141620044185);    // 32767 / k
}

TEST_F(ScaledDefaultSetup, SpeedErrorAndErrorTimes) {
  ASSERT_EQ(DeriveSpeedError(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("ERR_speed"), 99.74556675147593);  // 127 / ks
  EXPECT_EQ(Min("ERR_speed"), 0.001);
  ASSERT_EQ(DeriveSampleTime(&setup, "time_ERR_pos", "TERRMAX"), 1);
  EXPECT_DOUBLE_EQ(Value("time_ERR_pos"), 0.1);
  Set("TERRMAX", 65535);  // the error check is off, the time held at its maximum
  DeriveSampleTime(&setup, "time_ERR_pos", "TERRMAX");
  EXPECT_DOUBLE_EQ(Value("time_ERR_pos"), 32.767);
}

TEST_F(ScaledDefaultSetup, SoftwareLimitsSwapUnderANegativePositionScale) {
  Set({{"SWNEGLS", -800000}, {"SWPOSLS", 1600000}});
  ASSERT_EQ(DeriveSoftwareLimit(&setup, "Negative_SWLS", false), 1);
  ASSERT_EQ(DeriveSoftwareLimit(&setup, "Positive_SWLS", true), 1);
  EXPECT_DOUBLE_EQ(Value("Negative_SWLS"), -628.3185307179587);  // -800000 / k
  EXPECT_DOUBLE_EQ(Value("Positive_SWLS"), 2 * 628.3185307179587);
  EXPECT_DOUBLE_EQ(Min("Negative_SWLS"), -1686629.7130652522);  // -2^31 / k
  Set("Motor_transmission", -2 * 3.141592653589793);  // the load turns the other way
  DeriveSoftwareLimit(&setup, "Negative_SWLS", false);
  DeriveSoftwareLimit(&setup, "Positive_SWLS", true);
  EXPECT_DOUBLE_EQ(Value("Negative_SWLS"), 2 * 628.3185307179587) << "SWPOSLS / k";
  EXPECT_DOUBLE_EQ(Value("Positive_SWLS"), -628.3185307179587) << "SWNEGLS / k";
}

TEST_F(ScaledDefaultSetup, ExternalReferenceLimitsAndFreezeBand) {
  Set("CSPD", 382);
  ASSERT_EQ(DeriveReferenceSpeed(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("ErefMaxSpeed"), 300.02209841782525);  // 382 / ks
  ASSERT_EQ(DeriveReferenceAcceleration(&setup), 1);
  EXPECT_DOUBLE_EQ(Max("ErefMaxAcceleration"), 25735141.620044187);  // 32767 / (k * 1 ms^2)
  ASSERT_EQ(DeriveFreezeControlBand(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("FreezeControl_errband"), 0.010210176124166827);  // 13 / k
  ASSERT_EQ(DeriveFreezeControlTime(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("FreezeControl_time"), 0.05);  // 50 * 1 ms
  EXPECT_DOUBLE_EQ(Max("FreezeControl_time"), 65.535);
}

TEST_F(ScaledDefaultSetup, DeadBandOfABipolarInputIsShiftedByTenVolts) {
  // LEVEL_AD5 32736 is the middle of 65472 counts over 0 to 20 V, that is 0 V of +-10 V.
  ASSERT_EQ(DeriveDeadBandPoint(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("DeadBand_Point"), 0.0);
  EXPECT_EQ(Min("DeadBand_Point"), -10.0);
  ASSERT_EQ(DeriveDeadBandRange(&setup), 1);
  EXPECT_NEAR(Value("DeadBand_Range"), 0.09989002932551319, 1e-15);  // 20 V * 327 / 65472
  Set({{"AnalogueInputsRange", 3.3}, {"LEVEL_AD5", 1000}});
  DeriveDeadBandPoint(&setup);
  EXPECT_NEAR(Value("DeadBand_Point"), 0.05040322580645161, 1e-15);  // 3.3 * 1000 / 65472
  EXPECT_EQ(Min("DeadBand_Point"), 0.0);
  EXPECT_EQ(Max("DeadBand_Point"), 3.3);
}

TEST_F(ScaledDefaultSetup, ReferenceFilterCornerFromItsCoefficient) {
  ASSERT_EQ(DeriveReferenceFilter(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("filter"), 99.99351331109025);  // -ln(1 - 3118 / 32767) / 1 ms
  EXPECT_EQ(Min("filter"), 0.0);
  EXPECT_DOUBLE_EQ(Max("filter"), 500.0);
  Set("FILTER1", 32767);
  DeriveReferenceFilter(&setup);
  EXPECT_EQ(Value("filter"), 50.0);
}

TEST_F(ScaledDefaultSetup, AnalogueRangeFromOffsetAndGain) {
  // AD5OFF -32000 counts; the span 65472 * 2 * 32031 * 2^-16 = 63999.44 counts.
  ASSERT_EQ(DeriveReferenceBottom(&setup, "POS_min", &LimitPositionReferenceRange), 1);
  ASSERT_EQ(DeriveReferenceTop(&setup, "POS_max", &LimitPositionReferenceRange), 1);
  EXPECT_EQ(Internal("POS_min"), -32000.0);
  EXPECT_EQ(Internal("POS_max"), 31999.439453125);
  EXPECT_DOUBLE_EQ(Value("POS_max"), 25.13230097623222);
  Set("SFTADIN", 2);
  Set("CADIN", 8000);  // 8000 * 4 = 32000: the same span in a shifted gain
  DeriveReferenceTop(&setup, "POS_max", &LimitPositionReferenceRange);
  EXPECT_EQ(Internal("POS_max"), -32000.0 + 65472.0 * 2 * 32000 / 65536);
  Set("Motor_transmission", -2 * 3.141592653589793);  // a negative scale turns the span
  Set({{"AD5OFF", 20000}, {"POS_min", -40.0}});
  DeriveReferenceTop(&setup, "POS_max", &LimitPositionReferenceRange);
  EXPECT_EQ(Internal("POS_max"), 20000.0 - 65472.0 * 2 * 32000 / 65536);
  ASSERT_EQ(DeriveCurrentReferenceBottom(&setup), 1);
  EXPECT_EQ(Internal("CRT_min"), 20000.0);
}

}  // namespace
}  // namespace kestrel
