#include "compute/unit_scale.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "case_file.h"
#include "compute/scale_functions.h"
#include "compute_test_setup.h"
#include "kestrel/default_setup.h"

namespace kestrel {
namespace {

using test_support::Put;

std::vector<nlohmann::json> FactorCases() {
  const nlohmann::json file = test_support::ReadCaseFile("unit_scale_factors.json");
  return {file.at("cases").begin(), file.at("cases").end()};
}

class UnitScaleOfDefaultSetup : public ::testing::TestWithParam<nlohmann::json> {};

// The factors worked by hand for the default setup (cases/unit_scale_factors.json).
TEST_P(UnitScaleOfDefaultSetup, Factor) {
  const nlohmann::json& c = GetParam();
  const CMC_Setup setup = LoadDefaultSetup();
  const std::string unit = c.at("unit");
  const std::string name = c.at("name");
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, unit.c_str(), name.c_str()), c.at("factor").get<double>()) << c.at("why");
}

INSTANTIATE_TEST_SUITE_P(Rows, UnitScaleOfDefaultSetup, ::testing::ValuesIn(FactorCases()));

// (The offsets, only drive temperatures have one: kestrel scale, tests/app/cli_test.cpp.)
TEST(UnitScale, NegativeRatioKeepsLimitsAndErrorsPositive) {
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetParameterValueInBaseUnit("Motor_transmission", -2 * 3.141592653589793);
  for (const char* name : {"POS_max", "POS_min", "ERR_position", "FreezeControl_errband", "TestPosition"}) {
    EXPECT_GT(UnitScaleFactor(&setup, "rad", name), 0.0) << name;
    EXPECT_GT(UnitScaleFactor(&setup, "m", name), 0.0) << name;
  }
  for (const char* name : {"ERR_speed", "Limit_Speed", "ErefMaxSpeed", "TestSpeed", "SPD_max", "SPD_min"}) {
    EXPECT_GT(UnitScaleFactor(&setup, "rad/s", name), 0.0) << name;
    EXPECT_GT(UnitScaleFactor(&setup, "m/s", name), 0.0) << name;
  }
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "rad", "APOS"), -0.0007853981633974482);
  EXPECT_LT(UnitScaleFactor(&setup, "rad/s", "Speed_Reference"), 0.0);
  EXPECT_LT(UnitScaleFactor(&setup, "rad/s^2", "CACC"), 0.0);
  EXPECT_GT(UnitScaleFactor(&setup, "rad", "Motor_Position"), 0.0) << "the motor scale has no ratio";
  EXPECT_GT(UnitScaleFactor(&setup, "rad/s", "ASPD_MT"), 0.0);
}

TEST(UnitScale, WithoutSensorsEveryMotionScaleIsOne) {
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetParameterValueInBaseUnit("MotorSensorType", 0);
  EXPECT_EQ(UnitScaleFactor(&setup, "rad", "APOS"), 1.0);
  EXPECT_EQ(UnitScaleFactor(&setup, "rad", "Motor_Position"), 1.0);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "rad/s", "ASPD"), 1000.0);  // 1 / (1 * 1 ms)
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "m/s", "TestSpeed"), 1000.0);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "rad/s^2", "CACC"), 1e6);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "m/s^3", "JERK"), 1e9);
}

TEST(UnitScale, TheTuningFlagSwitchesMotorVoltagesToTheSinusoidalForm) {
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetParameterValueInBaseUnit("CommutationMethod", 0);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "V", "Voltage_Reference"), 0.0014648884548478652);  // 48 / 32767
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "V/s", "X"), 1.4648884548478651);
  const int saved = g_bKufSinusoidalMode;
  g_bKufSinusoidalMode = 1;
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "V", "Voltage_Reference"), 0.000805688650166326);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "V/s", "X"), 0.805688650166326);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "V ", "UMAX_PROT"), 0.0013288123167155424);
  g_bKufSinusoidalMode = saved;
}

TEST(UnitScale, AngleIncrementCountsInterpolatedPolePairs) {
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetParameterValueInBaseUnit("MECRESL", 2048);
  setup.SetParameterValueInBaseUnit("ENC2THL", 4194304);  // 2048 * 4194304 / 2^32 = 2
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "rad/s", "TINCTST"), 0.47938362584151634);
  setup.SetParameterValueInBaseUnit("ELRES_FRACT", 1);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "rad/s", "TINCTST"), 0.47938362584151634)
      << "interpolation counts for sine/cosine sensors only";
  setup.SetParameterValueInBaseUnit("MotorSensorType", 3);
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "rad/s", "TINCTST"), 0.23969181292075817);  // 2 * 2^1
  setup.RemoveParameter("ELRES_FRACT");
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, "rad/s", "TINCTST"), 0.47938362584151634);
}

TEST(UnitScale, ZeroDivisorsGiveInfinityOrNaNWithoutACrash) {
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetParameterValueInBaseUnit("ImaxPS", 0.0);
  ASSERT_EQ(setup.GetParameterValueInBaseUnit("ImaxPS"), 0.001) << "clamped to its minimum";
  test_support::Put(setup, "ImaxPS", 0.0);
  EXPECT_EQ(UnitScaleFactor(&setup, "A", "TestCurrent"), 0.0);  // 1 / (65472 / 0)
  test_support::Put(setup, "MECRESL", 0.0);
  EXPECT_TRUE(std::isinf(UnitScaleFactor(&setup, "rad", "APOS")));
  EXPECT_TRUE(std::isinf(UnitScaleFactor(&setup, "rad/s", "TINCTST")));  // x / (Ts_C * 0 pole pairs)
  test_support::Put(setup, "Motor_transmission", 0.0);
  test_support::Put(setup, "Load_transmission", 0.0);
  EXPECT_TRUE(std::isnan(UnitScaleFactor(&setup, "rad", "ERR_position")));  // 0 * (0 / 0)
}

}  // namespace
}  // namespace kestrel
