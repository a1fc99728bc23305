#include "compute/parameter_limits.h"

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "scaled_setup.h"

namespace kestrel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// The default Limit_Speed: 382 counts per sample at 8000 counts per revolution and Ts_S 1 ms.
constexpr double kLimitSpeed = 300.02209841782525;
constexpr double kMaxPosition = 25.735141620044185;  // 32767 / 1273.2395

// The default setup converting through the plug-in's scales, as the host holds it: Ts_S 1 ms,
// k = 8000 / 2pi = 1273.2395 counts per rad, ks = 1.2732395 per rad/s, Ki = 3273.6 per A. Set
// opens the limits of the parameter it sets; the rules under test set them again.
using Limits = test_support::ScaledDefaultSetup;

TEST_F(Limits, ScaledMaximaOfTheControlErrors) {
  for (auto* limit : {&LimitResolutionToPolePitch, &LimitSpeedError, &LimitPositionError, &LimitControlErrorTimes}) {
    ASSERT_EQ(limit(&setup), 1);
  }
  ExpectLimits("ERR_speed", 0.001, 25735.141620044185);  // the minimum unchanged; 32767 / 1.2732395
  // The times: 32767 * 1 ms.
  ExpectMaxima({{"Resolution", 0.032}, {"ERR_position", kMaxPosition}, {"time_ERR_spd", 32.767}, {"time_ERR_pos", 32.767}});
}

TEST_F(Limits, BandwidthsBetweenTheirBounds) {
  Set({{"PB_S_minim", 20}, {"PB_S_maxim", 800}});
  ASSERT_EQ(LimitBandwidths(&setup), 1);
  ExpectLimits("PB_S", 20.0, 800.0);
  EXPECT_EQ(Min("PB_C"), 100.0);
  EXPECT_EQ(Max("PB_P"), 1000.0);
}

TEST_F(Limits, ProfileTimesInSpeedLoopSamples) {
  ASSERT_EQ(LimitPositionProfileTimes(&setup), 1);
  ASSERT_EQ(LimitSpeedProfileTimes(&setup), 1);
  for (const char* name : {"TPP", "TNP", "TPS", "TNS", "TaPS", "TaNS"}) ExpectLimits(name, 0.001, 65.535);
  for (const char* name : {"TaPP", "TaNP"}) EXPECT_DOUBLE_EQ(Min(name), 0.002) << name;
}

TEST_F(Limits, TestPositionFromTheShorterRamp) {
  Set({{"TaPP", 0.3}, {"TaNP", 0.2}});
  ASSERT_EQ(LimitTestPosition(&setup), 1);
  // 32767 counts per sample reached in 200 samples: 32767 * 0.2 / (0.001 * 1273.2395) rad
  ExpectLimits("TestPosition", -5147.028324008837, 5147.028324008837);
  setup.RemoveParameter("TaNP");
  Set("TaPP", 0.1);
  EXPECT_EQ(LimitTestPosition(&setup), 0);
  EXPECT_DOUBLE_EQ(Max("TestPosition"), 5147.028324008837) << "unchanged without its inputs";
}

TEST_F(Limits, TestSpeedWithinTheSpeedLimitAndTheRegister) {
  ASSERT_EQ(LimitTestSpeed(&setup), 1);
  ExpectLimits("TestSpeed", -kLimitSpeed, kLimitSpeed);  // Limit_Speed below 32767 / ks
  Set("Limit_Speed", 30000);
  ASSERT_EQ(LimitTestSpeed(&setup), 1);
  EXPECT_DOUBLE_EQ(Max("TestSpeed"), 25735.141620044185);
}

TEST_F(Limits, AngleTestCurrentOnlyWithTheAngleController) {
  ASSERT_EQ(LimitAngleTestCurrent(&setup), 1);
  ExpectLimits("MAX_CURRENT", 0.0, 3.2);  // min(In 3.2 A, InPS 4 A)
  setup.FindParameter("MAX_CURRENT")->SetMaxInBaseUnit(1.0);
  setup.RemoveParameter("KPTHT");
  EXPECT_EQ(LimitAngleTestCurrent(&setup), 0);
  EXPECT_EQ(Max("MAX_CURRENT"), 1.0);
}

struct DeadBandCase {
  double range;
  int newDeadBand;
  double point, pointMin, pointMax, rangeMax;
};

TEST_F(Limits, DeadBandPointByTheInputRangeAndRangeWithinItsRoom) {
  // Input range in V, NewDeadBand, point, its limits, the range's maximum.
  for (const DeadBandCase& c : std::vector<DeadBandCase>{{20, 1, 2, -10, 10, 20},  // the whole span
                                                         {20, 0, 2, -10, 10, 8},   // min(2 + 10, 10 - 2)
                                                         {20, 0, -7, -10, 10, 3},  // min(-7 + 10, 10 + 7)
                                                         {5, 1, 1, 0, 5, 5},
                                                         {5, 0, 1, 0, 5, 1},       // min(1 - 0, 5 - 1)
                                                         {10, 0, 3, 0, 3.3, 0.3},  // 3.3 - 3
                                                         {10, 1, 3, 0, 3.3, 3.3}}) {
    SCOPED_TRACE(testing::Message() << c.range << " V, NewDeadBand " << c.newDeadBand << ", point " << c.point);
    Set("AnalogueInputsRange", c.range);
    setup.SetOption("NewDeadBand", c.newDeadBand == 1 ? "1" : "0");
    Set("DeadBand_Point", c.point);
    ASSERT_EQ(LimitDeadBandPoint(&setup), 1);
    ExpectLimits("DeadBand_Point", c.pointMin, c.pointMax);
    ASSERT_EQ(LimitDeadBandRange(&setup), 1);
    EXPECT_EQ(Min("DeadBand_Range"), 0.0);
    // The point is held in counts of the input (20 V / 65472 each), so it reads back to within
    // a rounding of the volts set.
    EXPECT_NEAR(Max("DeadBand_Range"), c.rangeMax, 1e-12);
  }
}

TEST_F(Limits, ReferenceRangesAreTiedToEachOther) {
  Set({{"POS_min", -3.0}, {"POS_max", 5.0}, {"SPD_min", -100}, {"SPD_max", 200}, {"CRT_min", -1}, {"CRT_max", 2}});
  for (auto* limit : {&LimitPositionReferenceRange, &LimitSpeedReferenceRange, &LimitCurrentReferenceRange,
                      &LimitReferenceFilter}) {
    ASSERT_EQ(limit(&setup), 1);
  }
  ExpectLimits("POS_max", -3.0, kMaxPosition);
  ExpectLimits("POS_min", -kMaxPosition, 5.0);
  ExpectLimits("SPD_max", -100.0, kLimitSpeed);  // Limit_Speed below 32767 / ks
  ExpectLimits("SPD_min", -kLimitSpeed, 200.0);
  ExpectLimits("CRT_max", -1.0, 9.6);  // min(32767 / 3273.6 = 10.0095, ImaxM 9.6, ImaxPS 10)
  ExpectLimits("CRT_min", -9.6, 2.0);
  EXPECT_DOUBLE_EQ(Max("filter"), 500.0);  // 1 / (2 * 1 ms)
}

// The drive holds the offset at 16-bit resolution at most: one electrical period of it.
TEST_F(Limits, SerialEncoderOffsetWithinOneElectricalTurn) {
  for (const auto& [bits, maximum] : {std::pair{17.0, 16384.0}, {40.0, 16384.0}, {12.0, 1024.0}}) {
    Set("SSI_No_Bits_Revolution", bits);
    ASSERT_EQ(LimitSerialEncoderOffset(&setup), 1);
    EXPECT_EQ(Max("SSI_Offset"), maximum) << bits << " bits, 4 pole pairs";
  }
}

TEST_F(Limits, BiquadFrequenciesUpToTheNyquistFrequencyOfTheSlots) {
  for (int i = 1; i <= 9; ++i) setup.FindParameter("BQFilterF1" + std::to_string(i))->SetMaxInBaseUnit(kInf);
  ASSERT_EQ(LimitBiquadFrequencies(&setup), 1);  // MaxFilters 4
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(Max(("BQFilterF1" + std::to_string(i)).c_str()), 500.0) << i;
  EXPECT_EQ(Max("BQFilterF15"), kInf);
  setup.SetOption("MaxFilters", "12");
  LimitBiquadFrequencies(&setup);
  EXPECT_EQ(Max("BQFilterF19"), 500.0);
  setup.SetOption("MaxFilters", "0");
  EXPECT_EQ(LimitBiquadFrequencies(&setup), 1);
}

// (That the limits of every shipped setup are computed without a missing lookup:
// compute_round_trip_test.cpp.)
TEST_F(Limits, ComputeParameterLimitsRunsEveryRuleOfTheDefaultSetup) {
  for (const char* name : {"TestSpeed", "BQFilterF11", "CRT_max", "ERR_position"}) Set(name, Value(name));  // open
  ComputeParameterLimits(&setup);
  EXPECT_EQ(Max("SSI_Offset"), kInf) << "only with a serial absolute motor encoder";
  ExpectMaxima({{"TestSpeed", kLimitSpeed}, {"BQFilterF11", 500.0}, {"CRT_max", 9.6}, {"ERR_position", kMaxPosition}});
  setup.SetParameterValueInBaseUnit("MotorSensorType", 5);
  ComputeParameterLimits(&setup);
  EXPECT_EQ(Max("SSI_Offset"), 16384.0);
}

}  // namespace
}  // namespace kestrel
