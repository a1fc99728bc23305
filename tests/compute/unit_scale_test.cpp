#include "compute/unit_scale.h"

#include <cmath>

#include <gtest/gtest.h>

#include "compute/scale_functions.h"
#include "compute_test_setup.h"
#include "kestrel/default_setup.h"

namespace kestrel {
namespace {

using test_support::Put;

struct FactorCase {
  const char* unit;
  const char* name;
  double factor;
};

void PrintTo(const FactorCase& c, std::ostream* out) { *out << '"' << c.unit << "\" " << c.name; }

class UnitScaleOfDefaultSetup : public ::testing::TestWithParam<FactorCase> {};

// The default setup: 48 V sinusoidal, 87 V bus full scale, 10 A peak, ADC full scale 65472,
// Ts_C 100 us, Ts_S 1 ms, 2000-line motor encoder on a 1:1 rotary load, so 1273.2395447351628
// counts per rad; drive temperature sensor 10 mV/°C with 0.5 V at 0 °C on a 3.3 V ADC.
TEST_P(UnitScaleOfDefaultSetup, Factor) {
  const CMC_Setup setup = LoadDefaultSetup();
  EXPECT_DOUBLE_EQ(UnitScaleFactor(&setup, GetParam().unit, GetParam().name), GetParam().factor);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnitScaleOfDefaultSetup,
    ::testing::Values(
        FactorCase{"V ", "UMAX_PROT", 0.0013288123167155424},  // 87 / 65472
        FactorCase{"v ", "DeadBand_Point", 0.0013288123167155424}, FactorCase{"V", "AnalogueInputsRange", 1.0},
        FactorCase{"V", "DeadBand_Point", 0.00030547409579667644},  // 20 V / 65472
        FactorCase{"V", "deadband_range", 0.00030547409579667644}, FactorCase{"v", "AD2", 0.00030547409579667644},
        FactorCase{"V", "AD2FIL_VAL", 0.00030547409579667644}, FactorCase{"V", "ad5", 0.00030547409579667644},
        FactorCase{"V", "Voltage_Reference", 0.000805688650166326},  // 1.1 * 48 / 65534
        FactorCase{"A", "TestCurrent", 0.00030547409579667644},      // 2 * 10 / 65472
        FactorCase{"s", "Ts_C", 1e-4}, FactorCase{"S", "ts_c", 1e-4}, FactorCase{"s", "Ts_S", 1e-3},
        FactorCase{"s", "time_ERR_pos", 1e-3},
        FactorCase{"rad", "Motor_Position", 0.0007853981633974482},  // 2pi / 8000
        FactorCase{"RAD", "apos_mt", 0.0007853981633974482},
        FactorCase{"rad", "THTST", 9.587672516830327e-05},  // 2pi / 65534
        FactorCase{"rad", "ERR_position", 0.0007853981633974482}, FactorCase{"rad", "APOS", 0.0007853981633974482},
        FactorCase{"m", "TestPosition", 0.0007853981633974482},
        FactorCase{"rad/s", "ASPD_MT", 0.7853981633974483},  // 1 / (1273.24 * 1 ms)
        FactorCase{"rad/s", "TestMaxSpeed", 0.7853981633974483}, FactorCase{"rad/s", "Limit_Speed", 0.7853981633974483},
        FactorCase{"rad/s", "Speed_Reference", 0.7853981633974483},
        // one electrical turn of 65534 counts per Ts_C, over 4 pole pairs (8000 * 2147484 / 2^32
        // = 4.0000006, rounded)
        FactorCase{"rad/s", "TINCTST", 0.23969181292075817}, FactorCase{"m/s", "TestSpeed", 0.7853981633974483},
        FactorCase{"rad/s^2", "CACC", 785.3981633974482},   // 1 / (1273.24 * 1 ms^2)
        FactorCase{"m/s^2", "CACC", 785.3981633974482},
        FactorCase{"rad/s^3", "JERK", 785398.1633974483},  // 1 / (1273.24 * 1 ms^3)
        FactorCase{"°C", "Temp_2", 0.005040322580645161},  // 3.3 / (65472 * 0.01)
        FactorCase{"°c", "Temp_2", 0.005040322580645161},
        FactorCase{"V/s", "X", 0.805688650166326},        // 1 / (1241.17 * 1 ms)
        FactorCase{"A/s", "X", 0.30547409579667645},      // 1 / (3273.6 * 1 ms)
        FactorCase{"rpm", "ASPD_MT", 1.0}, FactorCase{"Hz", "PWM_freq", 1.0}, FactorCase{"", "ACR", 1.0},
        FactorCase{"furlong", "X", 1.0}));

TEST(UnitScaleOffset, OnlyDriveTemperaturesHaveOne) {
  const CMC_Setup setup = LoadDefaultSetup();
  EXPECT_DOUBLE_EQ(UnitScaleOffset(&setup, "°C"), -9920.0);  // -65472 * 0.5 / 3.3
  for (const char* unit : {"V", "V ", "A", "s", "rad", "", "furlong"}) {
    EXPECT_EQ(UnitScaleOffset(&setup, unit), 0.0) << unit;
  }
  // (27776 - 9920) * 0.005040322580645161 = 90 °C
  EXPECT_DOUBLE_EQ((27776 + UnitScaleOffset(&setup, "°C")) * UnitScaleFactor(&setup, "°C", "Temp_2"), 90.0);
}

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
