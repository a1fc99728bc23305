// Initial_Positioning_Test on the reference drive: the voltage that drives In1 along phase A is
// (R·I + (4/3)·V_d)·Kv = (0.9·1.49988 + (4/3)·0.96)·1241.17 = 3264 with a 1 µs dead time.
#include <gtest/gtest.h>

#include <cmath>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

struct PreliminaryCase {
  const char* name;
  bool deadTime;
  double expectedVoltage;   // REFTST_V
};

class Preliminary : public ::testing::TestWithParam<PreliminaryCase> {};

TEST_P(Preliminary, FindsTheVoltageOfTheTestCurrentAndLeavesTheRotorAligned) {
  const PreliminaryCase& c = GetParam();
  RegisterValues registers = ReferenceRegisters();
  if (c.deadTime) registers["DBT"] = 0x5050;
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  drive.HandTurn(0.3, 0.05);  // leave the rotor somewhere else than the aligned rest
  drive.RunUntil(0.1);
  drive.HandRelease();
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  RunProgram(drive, 10.0);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_EQ(drive.ReadVariable("In1"), 4910);
  EXPECT_EQ(drive.ReadVariable("THTST"), -16383);
  EXPECT_NEAR(drive.ReadVariable("REFTST_V").value_or(0), c.expectedVoltage, 0.01 * c.expectedVoltage);
  EXPECT_NEAR(drive.ReadVariable("RINCTST_V").value_or(0), c.expectedVoltage / 99.0, 1.0);
  // Aligned: the rotor d axis on phase A (θ_e = 0 modulo one electrical turn), within 1°.
  const double electrical = std::remainder(4.0 * drive.ShaftPosition(), 2.0 * M_PI);
  EXPECT_NEAR(electrical, 0.0, M_PI / 180.0);
  EXPECT_LT(drive.Now_s(), 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    ReferenceMotor, Preliminary,
    ::testing::Values(PreliminaryCase{"NoDeadTime", false, 0.9 * 4910 / kCurrentScale * kVoltageScale},
                      PreliminaryCase{"DeadTimeOneMicrosecond", true,
                                      (0.9 * 4910 / kCurrentScale + 4.0 / 3.0 * 0.96) * kVoltageScale}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PreliminaryNoCurrent, ZeroTestCurrentEndsAtOnceWithTheAxisOff) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 0}}).ok());
  RunProgram(drive, 1.0);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("REFTST_V"), 0);
  EXPECT_EQ(drive.ReadVariable("RINCTST_V"), 0);
}

}  // namespace
}  // namespace drivesim::testing
