// Protections, the ENABLE input, the link latency check, commands and determinism.
#include <gtest/gtest.h>

#include <cmath>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

struct ShortCase {
  const char* name;
  ShortCircuitFault fault;
};

class ShortCircuit : public ::testing::TestWithParam<ShortCase> {};

// A short trips the hardware comparator in the first energised period: MER 0x0002, axis off,
// program ended; the bit stays until the next launch.
TEST_P(ShortCircuit, TripsAtTheFirstEnergisedPeriodAndLatches) {
  Scenario scenario;
  scenario.short_circuit = GetParam().fault;
  Drive drive(ReferenceHardware(), ReferenceMotor(), scenario);
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  drive.RunUntil(0.2);
  EXPECT_EQ(drive.Mer(), mer::kShortCircuit);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  drive.RunUntil(0.5);
  EXPECT_EQ(drive.Mer(), mer::kShortCircuit);
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 0}}).ok());
  EXPECT_EQ(drive.Mer(), 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, ShortCircuit,
                         ::testing::Values(ShortCase{"PhaseToPhase", {'A', 'B', 0.05}},
                                           ShortCase{"PhaseToNegativeRail", {'C', '-', 0.05}},
                                           ShortCase{"PhaseToPositiveRail", {'B', '+', 0.5}}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(ShortCircuitMidRun, AShortAppearingDuringARunTripsAtOnce) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  drive.RunUntil(0.3);
  ASSERT_TRUE(drive.AxisOn());
  EXPECT_EQ(drive.Mer(), 0);
  drive.SetShortCircuit(ShortCircuitFault{'A', 'B', 0.01});  // B–C would carry nothing: u_b = u_c along phase A
  drive.RunUntil(0.3002);
  EXPECT_EQ(drive.Mer(), mer::kShortCircuit);
  EXPECT_FALSE(drive.AxisOn());
  drive.Reset();
  EXPECT_EQ(drive.Mer(), 0);
}

TEST(Enable, InactiveInputKeepsStartedZeroWithBit8000UntilEnabled) {
  Scenario scenario;
  scenario.enable_input_active = false;
  Drive drive(ReferenceHardware(), ReferenceMotor(), scenario);
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  drive.RunUntil(0.5);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 0);
  EXPECT_EQ(drive.Mer(), mer::kEnableInactive);
  EXPECT_EQ(drive.ReadVariable("MER"), 0x8000);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_TRUE(drive.ProgramRunning());
  drive.SetEnableInput(true);
  drive.RunUntil(0.51);
  EXPECT_EQ(drive.Mer(), 0);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_TRUE(drive.AxisOn());
}

TEST(Enable, DroppedMidRunSwitchesTheAxisOffAndEndsTheProgram) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  drive.RunUntil(0.1);
  ASSERT_TRUE(drive.AxisOn());
  drive.SetEnableInput(false);
  drive.RunUntil(0.11);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_EQ(drive.Mer(), mer::kEnableInactive);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
}

TEST(HostStop, RampsDownWithinTwentyMillisecondsAndEnds) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  drive.RunUntil(0.3);
  ASSERT_TRUE(drive.AxisOn());
  drive.StopProgram();
  drive.RunUntil(0.3 + 0.021);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_FALSE(drive.ProgramRunning());
}

TEST(Link, LatencyBelowTwoCurrentLoopPeriodsIsRejectedWhenRegistersAreLoaded) {
  DriveHardware hw = ReferenceHardware();
  hw.link_latency_s = 150e-6;
  Drive drive(hw, ReferenceMotor());
  const Status status = drive.LoadRegisters(ReferenceRegisters());
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.error.find("latency"), std::string::npos);
  hw.link_latency_s = 200e-6;
  Drive fast(hw, ReferenceMotor());
  EXPECT_TRUE(fast.LoadRegisters(ReferenceRegisters()).ok());
}

TEST(Launch, UnknownProgramOrVariableFailsAndNamesIt) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  EXPECT_NE(drive.Launch("IE_No_Such_Test", {}).error.find("IE_No_Such_Test"), std::string::npos);
  EXPECT_NE(drive.Launch("RES_Initial_Positioning_Test", {}).error.find("RES_Initial_Positioning_Test"),
            std::string::npos);
  EXPECT_NE(drive.Launch("IE_Initial_Positioning_Test", {{"Bogus", 1}}).error.find("Bogus"), std::string::npos);
  EXPECT_NE(drive.Launch("IE_Initial_Positioning_Test", {}, LoggerSettings{10, 2, 1, {"IQ", "Nope"}})
                .error.find("Nope"),
            std::string::npos);
  EXPECT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {}, LoggerSettings{10, 2, 1, {"IQ", "In1", "KPI"}}).ok());
  EXPECT_FALSE(drive.HasVariable("Bogus"));
  EXPECT_FALSE(drive.WriteVariable("Bogus", 1.0));
}

TEST(Commands, IndexCaptureStoresTheCounterAtTheIndex) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  EXPECT_TRUE(drive.ExecuteCommand("!CAP;ENCAPI1;").ok());
  EXPECT_FALSE(drive.ExecuteCommand("!CAP;BOGUS;").ok());
  drive.HandTurn(2.0 * M_PI, 1.0);
  drive.RunUntil(1.5);
  // One revolution by hand: 8000 counts; the index at 123.4° is count 2742.
  EXPECT_NEAR(drive.ReadVariable("APOS_MT").value_or(0), 8000, 2);
  EXPECT_NEAR(drive.ReadVariable("CAPPOS").value_or(0), 2742, 1);
}

// Two runs of one scenario give bit-identical logs; another seed gives another noise.
TEST(Determinism, SameSeedGivesBitIdenticalLogs) {
  const auto run = [](std::uint64_t seed) {
    Scenario scenario;
    scenario.seed = seed;
    Drive drive(ReferenceHardware(), ReferenceMotor(), scenario);
    RegisterValues registers = ReferenceRegisters();
    registers["DBT"] = 0x5050;
    EXPECT_TRUE(drive.LoadRegisters(registers).ok());
    EXPECT_TRUE(drive.Launch("IE_Current_Controller_Tuning_Test",
                             {{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", 16000}},
                             LoggerSettings{100, 2, 1, {"Current_Reference", "Motor_Current", "Voltage_Reference"}})
                    .ok());
    RunProgram(drive, 5.0);
    return drive.UploadLog();
  };
  const auto first = run(7), second = run(7), other = run(8);
  ASSERT_EQ(first.size(), 100u);
  bool differs = false;
  for (std::size_t k = 0; k < first.size(); ++k) {
    EXPECT_EQ(first[k].values, second[k].values);
    EXPECT_EQ(first[k].time_s, second[k].time_s);
    differs = differs || first[k].values != other[k].values;
  }
  EXPECT_TRUE(differs);
}

// How long the drive idled before a launch changes nothing in what the program measures.
TEST(Determinism, IdleTimeBeforeALaunchDoesNotChangeTheLog) {
  const auto run = [](double idle_s) {
    Drive drive(ReferenceHardware(), ReferenceMotor());
    EXPECT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
    drive.RunUntil(idle_s);
    EXPECT_TRUE(drive.Launch("IE_Current_Controller_Tuning_Test",
                             {{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", 16000}},
                             LoggerSettings{100, 2, 1, {"Motor_Current", "Voltage_Reference"}})
                    .ok());
    RunProgram(drive, 5.0);
    return drive.UploadLog();
  };
  const auto early = run(0.0), late = run(0.7013);
  ASSERT_EQ(early.size(), 100u);
  ASSERT_EQ(late.size(), 100u);
  for (std::size_t k = 0; k < early.size(); ++k) EXPECT_EQ(early[k].values, late[k].values) << k;
}

// A rotor set spinning by hand and released coasts down against its friction:
// J·dω/dt = −T_c − b·ω with the axis off.
TEST(Coasting, ReleasedRotorSlowsDownByItsFrictionAlone) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  drive.HandTurn(20.0, 0.4);
  drive.RunUntil(0.2);  // the middle of the turn: full speed
  drive.HandRelease();
  const double speed0 = drive.ShaftSpeed();
  ASSERT_GT(speed0, 50.0);
  drive.RunUntil(0.3);
  // ω(t) = (ω0 + T_c/b)·e^(−b·t/J) − T_c/b
  const double J = 1e-4, b = 1e-5, Tc = 0.002, t = drive.Now_s() - 0.2;
  const double expected = (speed0 + Tc / b) * std::exp(-b * t / J) - Tc / b;
  EXPECT_NEAR(drive.ShaftSpeed(), expected, 2e-3 * speed0);
}

}  // namespace
}  // namespace drivesim::testing
