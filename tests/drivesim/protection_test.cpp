// What ends a running program from outside: a short, the ENABLE input, the host's stop; the
// ENABLE input at the launch, the link latency check and launches the drive refuses.
#include <gtest/gtest.h>

#include <functional>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

struct MidRunCase {
  const char* name;
  std::function<void(Drive&)> event;
  double within_s;    // the axis is off and the program ended this long after the event
  std::uint16_t mer;
};

class MidRun : public ::testing::TestWithParam<MidRunCase> {};

TEST_P(MidRun, EventSwitchesTheAxisOffAndEndsTheProgram) {
  const MidRunCase& c = GetParam();
  Drive drive = LoadedDrive();
  LaunchPreliminary(drive);
  drive.RunUntil(0.3);
  ASSERT_TRUE(drive.AxisOn());
  EXPECT_EQ(drive.Mer(), 0);
  c.event(drive);
  drive.RunUntil(0.3 + c.within_s);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_EQ(drive.Mer(), c.mer);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  drive.Reset();   // clears the latched bits; ENABLE's bit follows its input
  EXPECT_EQ(drive.Mer(), c.mer & mer::kEnableInactive);
}

INSTANTIATE_TEST_SUITE_P(
    Events, MidRun,
    ::testing::Values(
        // B–C would carry nothing: u_b = u_c along phase A.
        MidRunCase{"Short", [](Drive& d) { d.SetShortCircuit(ShortCircuitFault{'A', 'B', 0.01}); }, 0.0002,
                   mer::kShortCircuit},
        MidRunCase{"EnableDropped", [](Drive& d) { d.SetEnableInput(false); }, 0.01, mer::kEnableInactive},
        MidRunCase{"HostStopRampsDownWithinTwentyMilliseconds", [](Drive& d) { d.StopProgram(); }, 0.021, 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Enable, InactiveInputKeepsStartedZeroWithBit8000UntilEnabled) {
  Scenario scenario;
  scenario.enable_input_active = false;
  Drive drive = LoadedDrive(ReferenceMotor(), scenario);
  LaunchPreliminary(drive);
  drive.RunUntil(0.5);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 0);
  EXPECT_EQ(drive.ReadVariable("MER"), 0x8000);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_TRUE(drive.ProgramRunning());
  drive.SetEnableInput(true);
  drive.RunUntil(0.51);
  EXPECT_EQ(drive.Mer(), 0);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_TRUE(drive.AxisOn());
}

TEST(Link, LatencyBelowTwoCurrentLoopPeriodsIsRejectedWhenRegistersAreLoaded) {
  DriveHardware hw = ReferenceHardware();
  hw.link_latency_s = 150e-6;
  const Status status = Drive(hw, ReferenceMotor()).LoadRegisters(ReferenceRegisters());
  EXPECT_NE(status.error.find("latency"), std::string::npos) << status.error;
  hw.link_latency_s = 200e-6;
  EXPECT_TRUE(Drive(hw, ReferenceMotor()).LoadRegisters(ReferenceRegisters()).ok());
}

TEST(Launch, UnknownProgramOrVariableFailsAndNamesIt) {
  Drive drive = LoadedDrive();
  const auto error = [&](std::string_view program, std::map<std::string, double, std::less<>> inputs,
                         std::optional<LoggerSettings> logger = std::nullopt) {
    return drive.Launch(program, inputs, logger).error;
  };
  EXPECT_NE(error("IE_No_Such_Test", {}).find("IE_No_Such_Test"), std::string::npos);
  EXPECT_NE(error("RES_Initial_Positioning_Test", {}).find("RES_Initial_Positioning_Test"), std::string::npos);
  EXPECT_NE(error("IE_Initial_Positioning_Test", {{"Bogus", 1}}).find("Bogus"), std::string::npos);
  EXPECT_NE(error("IE_Initial_Positioning_Test", {}, LoggerSettings{10, 2, 1, {"IQ", "Nope"}}).find("Nope"),
            std::string::npos);
  EXPECT_EQ(error("IE_Initial_Positioning_Test", {}, LoggerSettings{10, 2, 1, {"IQ", "In1", "KPI"}}), "");
  EXPECT_FALSE(drive.HasVariable("Bogus"));
  EXPECT_FALSE(drive.WriteVariable("Bogus", 1.0));
}

}  // namespace
}  // namespace drivesim::testing
