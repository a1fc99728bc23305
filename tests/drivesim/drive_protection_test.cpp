// Initial_Positioning_Test on the reference drive (1.5 A along phase A for about 0.6 s) and the
// drive's protections around it: the program finds the voltage of the test current,
// (R·I + (4/3)·V_d)·Kv, and leaves the rotor aligned, unless a short, an over-current after
// TIMAXPROT slow samples above IMAXPROT, or an over- or under-voltage of the bus ends it early;
// the Hall monitoring a test-frame program only records.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <tuple>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr double kBusCountsPerVolt = 65472.0 / 87.0;
const auto kOverVoltage = static_cast<std::int32_t>(60.0 * kBusCountsPerVolt);    // 45152
const auto kUnderVoltage = static_cast<std::int32_t>(40.0 * kBusCountsPerVolt);   // 30102

struct PreliminaryCase {
  const char* name;
  RegisterValues registers;   // on top of the reference registers
  std::uint16_t mer;          // MER after the run
  bool completes = true;      // ran to its end: found its voltage and aligned the rotor
  double supply_V = 48.0;
  bool halls = true;
  std::optional<ShortCircuitFault> short_circuit = std::nullopt;
  std::int32_t started = 1;   // an over-voltage stops the program before it energises
};

class Preliminary : public ::testing::TestWithParam<PreliminaryCase> {};

TEST_P(Preliminary, FindsTheVoltageOfTheTestCurrentOrLatchesItsProtection) {
  const PreliminaryCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.supply_voltage_V = c.supply_V;
  if (c.halls) motor.halls = HallModel{};
  Scenario scenario;
  scenario.short_circuit = c.short_circuit;
  Drive drive = LoadedDrive(motor, scenario, c.registers);
  drive.HandTurn(0.3, 0.05);  // leave the rotor somewhere else than the aligned rest
  drive.RunUntil(0.1);
  drive.HandRelease();
  LaunchPreliminary(drive);
  RunProgram(drive, 10.0);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.Mer(), c.mer);
  EXPECT_EQ(drive.ReadVariable("STARTED"), c.started);
  const double reference = drive.ReadVariable("REFTST_V").value_or(0);
  if (c.completes) {
    const double deadTime_V = c.registers.contains("DBT") ? 0.96 : 0.0;
    const double expected = (0.9 * 4910 / kCurrentScale + 4.0 / 3.0 * deadTime_V) * 65534.0 / (1.1 * c.supply_V);
    EXPECT_NEAR(reference, expected, 0.01 * expected);
    EXPECT_NEAR(drive.ReadVariable("RINCTST_V").value_or(0), expected / 99.0, 1.0);
    EXPECT_EQ(drive.ReadVariable("THTST"), -16383);
    // Aligned: the rotor d axis on phase A (θ_e = 0 modulo one electrical turn), within 1°.
    EXPECT_NEAR(std::remainder(4.0 * drive.ShaftPosition(), 2.0 * M_PI), 0.0, M_PI / 180.0);
    EXPECT_LT(drive.Now_s(), 2.0);
  } else {
    EXPECT_LT(reference, 1000);
  }
  // Latched until the next launch.
  LaunchPreliminary(drive, 0);
  EXPECT_EQ(drive.Mer(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ReferenceMotor, Preliminary,
    ::testing::Values(
        PreliminaryCase{"NoDeadTime", {}, 0},
        PreliminaryCase{"DeadTimeOneMicrosecond", {{"DBT", 0x5050}}, 0},
        // A short trips the hardware comparator in the first energised period.
        PreliminaryCase{"PhaseToPhaseShort", {}, 0x0002, false, 48.0, true, ShortCircuitFault{'A', 'B', 0.05}},
        PreliminaryCase{"PhaseToNegativeRailShort", {}, 0x0002, false, 48.0, true, ShortCircuitFault{'C', '-', 0.05}},
        PreliminaryCase{"PhaseToPositiveRailShort", {}, 0x0002, false, 48.0, true, ShortCircuitFault{'B', '+', 0.5}},
        // 1.5 A against a 1.22 A limit for 50 ms: tripped; for 5 s: the program ends first.
        PreliminaryCase{"OverCurrent", {{"PCR", 1}, {"IMAXPROT", 4000}, {"TIMAXPROT", 50}}, 0x0100, false},
        PreliminaryCase{"OverCurrentNotForLongEnough", {{"PCR", 1}, {"IMAXPROT", 4000}, {"TIMAXPROT", 5000}}, 0},
        PreliminaryCase{"OverCurrentDisabled", {{"PCR", 0}, {"IMAXPROT", 4000}, {"TIMAXPROT", 50}}, 0},
        PreliminaryCase{"OverVoltage", {{"PCR", 16}, {"UMAXPROT", kOverVoltage}}, 0x1000, false, 65.0, true,
                        std::nullopt, 0},
        PreliminaryCase{"OverVoltageBelowTheLimit", {{"PCR", 16}, {"UMAXPROT", kOverVoltage}}, 0, true, 58.0},
        PreliminaryCase{"UnderVoltage", {{"PCR", 32}, {"UMINPROT", kUnderVoltage}}, 0x2000, false, 36.0},
        PreliminaryCase{"UnderVoltageDisabled", {{"PCR", 16}, {"UMINPROT", kUnderVoltage}}, 0, true, 36.0},
        // No Hall sensors: code 7 on every input; the test-frame program finishes regardless.
        PreliminaryCase{"HallMissingRecordedOnly", {{"PCR", 64}}, 0x0020, true, 48.0, false},
        PreliminaryCase{"HallsPresent", {{"PCR", 64}}, 0},
        PreliminaryCase{"HallMonitoringOff", {{"PCR", 0}}, 0, true, 48.0, false}),
    [](const auto& param) { return std::string(param.param.name); });

// The bus is watched while the drive idles too: 65 V latches the over-voltage of 60 V; 36 V
// against an under-voltage of 40 V waits for a running power stage.
TEST(IdleBus, OverVoltageLatchesUnderVoltageWaitsForTheAxis) {
  for (const auto& [pcr, supply_V, mer] : {std::tuple{16, 65.0, 0x1000}, {16, 58.0, 0}, {32, 36.0, 0}}) {
    Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"PCR", pcr}, {"UMAXPROT", kOverVoltage}, {"UMINPROT", kUnderVoltage}});
    drive.RunUntil(0.1);
    ASSERT_TRUE(drive.SetSupply_V(supply_V).ok());
    drive.RunUntil(0.2);
    EXPECT_EQ(drive.Mer(), mer) << supply_V;
  }
}

// The time at which the over-current protection switches the axis off, with TIMAXPROT samples.
double OverCurrentTripTime_s(std::int32_t samples) {
  Scenario ideal;   // without noise the ramping current crosses IMAXPROT once
  ideal.ideal_converters = true;
  Drive drive = LoadedDrive(ReferenceMotor(), ideal, {{"PCR", 1}, {"IMAXPROT", 4000}, {"TIMAXPROT", samples}});
  LaunchPreliminary(drive);
  bool wasOn = false;
  while (drive.Now_s() < 2.0) {
    drive.RunUntil(drive.Now_s() + 50e-6);
    if (wasOn && !drive.AxisOn()) return drive.Now_s();
    wasOn = wasOn || drive.AxisOn();
  }
  return -1.0;
}

// Each further TIMAXPROT sample delays the trip by exactly one slow period (the same current
// until then).
TEST(PreliminaryProtection, OverCurrentTripsAfterExactlyTimaxprotSlowSamples) {
  const double after10 = OverCurrentTripTime_s(10);
  ASSERT_GT(after10, 0.0);
  for (const std::int32_t samples : {11, 12, 14}) {
    EXPECT_NEAR(OverCurrentTripTime_s(samples) - after10, (samples - 10) * 1e-3, 60e-6) << samples;  // one poll
  }
}

// A zero test current ends the program at once with the axis off; under-voltage concerns a
// running power stage only, so it stays clear.
TEST(PreliminaryProtection, ZeroTestCurrentEndsAtOnceWithoutSwitchingTheAxisOn) {
  MotorModel motor = ReferenceMotor();
  motor.supply_voltage_V = 30.0;
  Drive drive = LoadedDrive(motor, {}, {{"PCR", 32}, {"UMINPROT", kUnderVoltage}});
  LaunchPreliminary(drive, 0);
  RunProgram(drive, 1.0);
  EXPECT_EQ(drive.Mer(), 0);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("REFTST_V"), 0);
  EXPECT_EQ(drive.ReadVariable("RINCTST_V"), 0);
}

struct EnableLevelCase {
  std::int32_t activeLevels;   // DIGIN_ACTIVE_LEVEL
  bool high;                   // electrical level of ENABLE
  bool active;
};

class EnableLevel : public ::testing::TestWithParam<EnableLevelCase> {};

// ENABLE is active at the level that bit 15 of DIGIN_ACTIVE_LEVEL names; the limit switches'
// bits 13 and 14 do not touch it.
TEST_P(EnableLevel, FollowsTheActiveLevelOfBitFifteen) {
  const EnableLevelCase& c = GetParam();
  Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"DIGIN_ACTIVE_LEVEL", c.activeLevels}});
  drive.SetDigitalInputLevels(c.high, true, false);
  EXPECT_EQ((drive.Mer() & mer::kEnableInactive) == 0, c.active);
}

INSTANTIATE_TEST_SUITE_P(Levels, EnableLevel,
                         ::testing::Values(EnableLevelCase{0x8000, true, true}, EnableLevelCase{0x8000, false, false},
                                           EnableLevelCase{0x0000, true, false}, EnableLevelCase{0x0000, false, true},
                                           EnableLevelCase{0x6000, false, true}, EnableLevelCase{0xE000, true, true}));

}  // namespace
}  // namespace drivesim::testing
