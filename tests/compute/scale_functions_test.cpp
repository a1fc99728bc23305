#include "compute/scale_functions.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "compute/gain_shift.h"
#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::DemoDrive;
using test_support::Put;

// The voltage, current, speed, acceleration and jerk scales enter the unit scale factors
// (cases/unit_scale_factors.json, unit_scale_test.cpp) and the hand-worked registers; the serial
// encoder's bit rate, SSIBR (compute_sensor_registers_test.cpp).
TEST(MotorEncoderLines, QuarterOfTheCountsTruncated) {
  CMC_Setup setup = DemoDrive();
  Put(setup, "MECRESL", 8003.9);
  EXPECT_EQ(GetMotorEncoderLines(&setup), 2000.0);
  Put(setup, "MECRESL", -8003);
  EXPECT_EQ(GetMotorEncoderLines(&setup), -2000.0);
}

TEST(DeadTime, WithoutRegisterZeroRegisterAndTheLongerEdge) {
  CMC_Setup setup = DemoDrive();
  EXPECT_EQ(GetDeadTime(&setup), 0.0);
  Put(setup, "DBT", 0.7);  // truncates to 0
  EXPECT_EQ(GetDeadTime(&setup), 0.000001);
  Put(setup, "DBT", 0x1050);  // rising edge 0x10 = 16 ticks, falling edge 0x50 = 80 ticks
  EXPECT_DOUBLE_EQ(GetDeadTime(&setup), 1e-6);  // 80 * 0.5 / 40e6
  Put(setup, "DBTPC", 25);
  EXPECT_DOUBLE_EQ(GetDeadTime(&setup), 5e-7);  // 80 * 0.25 / 40e6
  Put(setup, "DBT", 0xC803);  // 200 ticks on the high byte
  EXPECT_DOUBLE_EQ(GetDeadTime(&setup), 1.25e-6);  // 200 * 0.25 / 40e6
}

TEST(ControlFrequency, SecondClockThenTimerClockThenDefault) {
  CMC_Setup setup = DemoDrive();
  EXPECT_EQ(GetControlFrequency(&setup), 40e6);
  Put(setup, "DSP2_freq", 60e6);
  EXPECT_EQ(GetControlFrequency(&setup), 60e6);
  const CMC_Setup bare;
  EXPECT_EQ(GetControlFrequency(&bare), 60000000.0);
}

TEST(AnalogueReferenceScale, SpanOfTheModesRangePerCountSignedLikeThePosition) {
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"POS_max", 32000}, {"POS_min", -32000}, {"SPD_max", 500}, {"SPD_min", 100}, {"CRT_max", 20000},
              {"CRT_min", -12736}, {"ControlMode", 0}});
  EXPECT_DOUBLE_EQ(GetAnalogueReferenceScale(&setup), 32031.28054740958);  // 64000 * 0.5 * 65536 / 65472
  Put(setup, "ControlMode", 1);
  EXPECT_DOUBLE_EQ(GetAnalogueReferenceScale(&setup), 200.19550342130987);  // 400 * 32768 / 65472
  Put(setup, "ControlMode", 2);
  EXPECT_EQ(GetAnalogueReferenceScale(&setup), 16384.0);  // 32736 * 32768 / 65472
  Put(setup, "Motor_transmission", -1);
  EXPECT_EQ(GetAnalogueReferenceScale(&setup), -16384.0);
}

// The shifts of finite gains: gain_pairs_test.cpp.
TEST(GainShift, InfinityNaNAndTheFeedForwardScale) {
  EXPECT_EQ(GainShift(std::numeric_limits<double>::infinity()), std::numeric_limits<int>::max());
  EXPECT_EQ(GainShift(std::numeric_limits<double>::quiet_NaN()), 0);
  CMC_Setup setup = DemoDrive();
  Put(setup, "KFFA_scl", 3000.0);
  EXPECT_EQ(GetAccFeedForwardShift(&setup), 12);
}

}  // namespace
}  // namespace kestrel
