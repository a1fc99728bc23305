// Scalar registers on the demo drive beyond their hand-worked values (cases/scalar_registers.json):
// limits, the software-limit swap, the analogue gain, offset and the brake configuration.
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "compute/registers.h"
#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::DemoDrive;
using test_support::Put;

TEST(ScalarRegister, SaturationRegistersAreLimitedToTheFullScale) {
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"IMAXS", 0}, {"SATS", 0}, {"IMAXP", 0}, {"SATP", 0}, {"IlimPS", 8}, {"IPSatS", 90}, {"IPSatP", 90},
              {"PositionControlType", 0}, {"ControlMode", 0}});
  ASSERT_TRUE(ComputeIMAXS(&setup) && ComputeSATS(&setup) && ComputeIMAXP(&setup) && ComputeSATP(&setup));
  for (const char* name : {"IMAXS", "SATS", "IMAXP", "SATP"}) {
    const CMC_Parameter* p = setup.FindParameter(name);
    EXPECT_EQ(p->GetMinInBaseUnit(), 0.0) << name;
    EXPECT_EQ(p->GetMaxInBaseUnit(), 32767.0) << name;
  }
}

TEST(SoftwareLimits, NegativePositionScaleSwapsTheRegisters) {
  CMC_Setup setup = DemoDrive();
  // The load turns against the motor: -1273.24 counts/rad.
  Put(setup, {{"Load_transmission", -1}, {"Negative_SWLS", -10}, {"Positive_SWLS", 20}, {"SWNEGLS", 0},
              {"SWPOSLS", 0}});
  ASSERT_TRUE(ComputeSWNEGLS(&setup));
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("SWPOSLS"), 12732.395447351628);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("SWNEGLS"), 0.0);
  ASSERT_TRUE(ComputeSWPOSLS(&setup));
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("SWNEGLS"), -25464.790894703256);
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("SWPOSLS"), 12732.395447351628);
}

TEST(AnalogueGain, ShiftedOnlyAboveTheFullScale) {
  CMC_Setup setup = DemoDrive();
  drivebase::DriveFamilyData family;
  family.adcFullScale = 65536;  // a 16-bit ADC: the span per count is half the span of the current range
  setup.SetDriveFamily(family);
  Put(setup, {{"ControlMode", 2}, {"CADIN", 0}, {"SFTADIN", 9}});
  // 32767 per count fits; 50000 is one shift of 25000; 500000 = 2^4 * 31250; a negative span is
  // handed over unshifted.
  for (const auto& [span, transmission, gain, shift] :
       {std::tuple{65534.0, 1.0, 32767.0, 0.0}, {100000.0, 1.0, 25000.0, 1.0}, {1000000.0, 1.0, 31250.0, 4.0},
        {100000.0, -1.0, -50000.0, 0.0}}) {
    Put(setup, {{"CRT_max", span / 2}, {"CRT_min", -span / 2}, {"Motor_transmission", transmission}});
    ASSERT_TRUE(ComputeCADIN(&setup));
    EXPECT_EQ(setup.GetParameterValueInBaseUnit("CADIN"), gain) << span;
    EXPECT_EQ(setup.GetParameterValueInBaseUnit("SFTADIN"), shift) << span;
  }
}

TEST(AnalogueOffset, BottomOfTheModesRangeInInternalUnits) {
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"AD5OFF", 0}, {"POS_min", -1000}, {"SPD_min", -20}, {"CRT_min", -300}});
  const std::pair<int, double> kModes[] = {{0, -1000}, {1, -20}, {2, -300}};
  for (const auto& [mode, offset] : kModes) {
    Put(setup, "ControlMode", mode);
    ASSERT_TRUE(ComputeAD5OFF(&setup)) << mode;
    EXPECT_EQ(setup.GetParameterValueInBaseUnit("AD5OFF"), offset) << mode;
  }
  Put(setup, {{"AD5OFF", 7}, {"ControlMode", 3}});
  EXPECT_FALSE(ComputeAD5OFF(&setup));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("AD5OFF"), 7.0);
}

TEST(BrakeConfiguration, PinOfTheBrakePortAndTheEnable) {
  CMC_Setup setup = DemoDrive();
  drivebase::DriveFamilyData family;
  family.ioPins = {{25, 0, true}, {26, 1, true}};
  setup.SetDriveFamily(family);
  Put(setup, {{"BRAKECFG", 0}, {"MotorBrake_output", 1}, {"isMotorBrake", 1}});
  ASSERT_TRUE(ComputeBRAKECFG(&setup));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("BRAKECFG"), 26 * 256 + 1);
  Put(setup, {{"isMotorBrake", 0}, {"MotorBrake_output", 0}});
  ASSERT_TRUE(ComputeBRAKECFG(&setup));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("BRAKECFG"), 25 * 256);
}

}  // namespace
}  // namespace kestrel
