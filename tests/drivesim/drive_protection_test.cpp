// The drive's own protections enabled by PCR, run under Initial_Positioning_Test (1.5 A along
// phase A for about 0.6 s): over-current after TIMAXPROT slow samples above IMAXPROT, over- and
// under-voltage of the bus ADC, and the Hall monitoring, which a test-frame program only records.
#include <gtest/gtest.h>

#include <string>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr double kBusCountsPerVolt = 65472.0 / 87.0;

struct ProtectionCase {
  const char* name;
  double supply_V;
  bool halls;
  RegisterValues registers;   // on top of the reference registers
  std::uint16_t mer;          // MER after the run
  bool endsEarly;             // the trip switched the axis off before the program was done
  std::int32_t started = 1;   // STARTED: an over-voltage stops the program before it energises
};

class DriveProtection : public ::testing::TestWithParam<ProtectionCase> {};

TEST_P(DriveProtection, LatchesItsBitAndStopsTheAxisUnlessOnlyRecorded) {
  const ProtectionCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.supply_voltage_V = c.supply_V;
  if (c.halls) motor.halls = HallModel{};
  Drive drive(ReferenceHardware(), motor);
  RegisterValues registers = ReferenceRegisters();
  for (const auto& [name, value] : c.registers) registers[name] = value;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  RunProgram(drive, 6.0);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.Mer(), c.mer);
  EXPECT_EQ(drive.ReadVariable("STARTED"), c.started);
  // A program that ran to its end has found the voltage of the test current.
  EXPECT_EQ(drive.ReadVariable("REFTST_V").value_or(0) > 1000, !c.endsEarly);
  // Latched until the next launch.
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 0}}).ok());
  EXPECT_EQ(drive.Mer(), 0);
}

const auto kOverVoltage = static_cast<std::int32_t>(60.0 * kBusCountsPerVolt);    // 45152
const auto kUnderVoltage = static_cast<std::int32_t>(40.0 * kBusCountsPerVolt);   // 30102

INSTANTIATE_TEST_SUITE_P(
    Pcr, DriveProtection,
    ::testing::Values(
        // 1.5 A against a 1.22 A limit for 50 ms: tripped; for 5 s: the program ends first.
        ProtectionCase{"OverCurrent", 48.0, true, {{"PCR", 1}, {"IMAXPROT", 4000}, {"TIMAXPROT", 50}}, 0x0100, true},
        ProtectionCase{"OverCurrentNotForLongEnough", 48.0, true, {{"PCR", 1}, {"IMAXPROT", 4000}, {"TIMAXPROT", 5000}},
                       0, false},
        ProtectionCase{"OverCurrentDisabled", 48.0, true, {{"PCR", 0}, {"IMAXPROT", 4000}, {"TIMAXPROT", 50}}, 0, false},
        ProtectionCase{"OverVoltage", 65.0, true, {{"PCR", 16}, {"UMAXPROT", kOverVoltage}}, 0x1000, true, 0},
        ProtectionCase{"OverVoltageBelowTheLimit", 58.0, true, {{"PCR", 16}, {"UMAXPROT", kOverVoltage}}, 0, false},
        ProtectionCase{"UnderVoltage", 36.0, true, {{"PCR", 32}, {"UMINPROT", kUnderVoltage}}, 0x2000, true},
        ProtectionCase{"UnderVoltageDisabled", 36.0, true, {{"PCR", 16}, {"UMINPROT", kUnderVoltage}}, 0, false},
        // No Hall sensors: code 7 on every input; the test-frame program finishes regardless.
        ProtectionCase{"HallMissingRecordedOnly", 48.0, false, {{"PCR", 64}}, 0x0020, false},
        ProtectionCase{"HallsPresent", 48.0, true, {{"PCR", 64}}, 0, false},
        ProtectionCase{"HallMonitoringOff", 48.0, false, {{"PCR", 0}}, 0, false}),
    [](const auto& param) { return std::string(param.param.name); });

// The time at which the over-current protection switches the axis off, with TIMAXPROT samples.
double OverCurrentTripTime_s(std::int32_t samples) {
  Scenario ideal;   // without noise the ramping current crosses IMAXPROT once
  ideal.ideal_converters = true;
  Drive drive(ReferenceHardware(), ReferenceMotor(), ideal);
  RegisterValues registers = ReferenceRegisters();
  registers["PCR"] = 1;
  registers["IMAXPROT"] = 4000;
  registers["TIMAXPROT"] = samples;
  EXPECT_TRUE(drive.LoadRegisters(registers).ok());
  EXPECT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
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
TEST(DriveProtectionTiming, OverCurrentTripsAfterExactlyTimaxprotSlowSamples) {
  const double after10 = OverCurrentTripTime_s(10);
  ASSERT_GT(after10, 0.0);
  for (const std::int32_t samples : {11, 12, 14}) {
    EXPECT_NEAR(OverCurrentTripTime_s(samples) - after10, (samples - 10) * 1e-3, 60e-6) << samples;  // one poll
  }
}

// Under-voltage concerns a running power stage only: a program that never switches the axis on
// leaves it clear.
TEST(DriveProtectionIdle, UnderVoltageNeedsTheAxisOn) {
  MotorModel motor = ReferenceMotor();
  motor.supply_voltage_V = 30.0;
  Drive drive(ReferenceHardware(), motor);
  RegisterValues registers = ReferenceRegisters();
  registers["PCR"] = 32;
  registers["UMINPROT"] = kUnderVoltage;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 0}}).ok());
  RunProgram(drive, 1.0);
  EXPECT_EQ(drive.Mer(), 0);
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
  Drive drive(ReferenceHardware(), ReferenceMotor());
  RegisterValues registers = ReferenceRegisters();
  registers["DIGIN_ACTIVE_LEVEL"] = c.activeLevels;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  drive.SetDigitalInputLevels(c.high, true, false);
  EXPECT_EQ((drive.Mer() & mer::kEnableInactive) == 0, c.active);
}

INSTANTIATE_TEST_SUITE_P(Levels, EnableLevel,
                         ::testing::Values(EnableLevelCase{0x8000, true, true}, EnableLevelCase{0x8000, false, false},
                                           EnableLevelCase{0x0000, true, false}, EnableLevelCase{0x0000, false, true},
                                           EnableLevelCase{0x6000, false, true}, EnableLevelCase{0xE000, true, true}));

}  // namespace
}  // namespace drivesim::testing
