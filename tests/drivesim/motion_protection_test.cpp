// The protections of closed-loop motion: the control error after exactly TERRMAX / TSERRMAX
// slow samples beyond ERRMAX / SERRMAX (65535: off), and the limit switches, which stop motion
// towards them with a quick stop (current reference 0 for 20 ms, then axis off) and keep their
// bit while the input stays active.
#include <gtest/gtest.h>

#include <string>

#include "reference_drive.h"
#include "servo_program.h"

namespace drivesim::testing {
namespace {

constexpr double kSample_s = 1e-3;   // Ts_S of the reference registers; sample k at k ms

struct Reference {
  control::ServoMode mode = control::ServoMode::speed;
  std::int32_t value = 0;            // speed (counts/sample) or position target (counts)
};

// Loads the registers at time 0 and launches the servo program: it engages at the first fast
// tick, its samples fall at k ms.
void LaunchAt(Drive& drive, const RegisterValues& extra, Reference reference, bool cascade = true) {
  RegisterValues registers = ReferenceRegisters();
  for (const auto& [name, value] : extra) registers[name] = value;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  control::ServoConfig config;
  config.mode = reference.mode;
  config.cascade = cascade;
  ASSERT_TRUE(LaunchServo(drive, config, [reference](const programs::ProgramHost&, control::Servo& servo, int sample) {
                if (sample != 0) return;
                if (reference.mode == control::ServoMode::position) {
                  servo.SetTargetPosition(reference.value);
                } else {
                  servo.SetSpeedReference16(static_cast<std::int64_t>(reference.value) << 16);
                }
              }).ok());
}

struct ControlErrorCase {
  const char* name;
  Reference reference;
  RegisterValues registers;
  int tripSample;   // 0: never within 100 samples
};

void PrintTo(const ControlErrorCase& c, std::ostream* os) { *os << c.name; }

class ControlError : public ::testing::TestWithParam<ControlErrorCase> {};

// The rotor is locked and no gain acts (no KPS, KPP), so the error stays at the reference.
TEST_P(ControlError, TripsAfterExactlyTheSampleCount) {
  const ControlErrorCase& c = GetParam();
  Scenario scenario;
  scenario.rotor_locked = true;
  Drive drive(ReferenceHardware(), ReferenceMotor(), scenario);
  LaunchAt(drive, c.registers, c.reference);
  const int samples = c.tripSample > 0 ? c.tripSample : 100;
  drive.RunUntil((samples - 0.5) * kSample_s);
  EXPECT_EQ(drive.Mer() & mer::kControlError, 0);
  EXPECT_TRUE(drive.AxisOn());
  drive.RunUntil((samples + 0.02) * kSample_s);
  EXPECT_EQ(drive.Mer() & mer::kControlError, c.tripSample > 0 ? mer::kControlError : 0);
  EXPECT_EQ(drive.AxisOn(), c.tripSample == 0);
  EXPECT_EQ(drive.ProgramRunning(), c.tripSample == 0);
}

const Reference kSpeed100{control::ServoMode::speed, 100};
const Reference kTarget5000{control::ServoMode::position, 5000};

INSTANTIATE_TEST_SUITE_P(
    Limits, ControlError,
    ::testing::Values(
        ControlErrorCase{"SpeedErrorFiveSamples", kSpeed100, {{"SERRMAX", 50}, {"TSERRMAX", 5}}, 5},
        ControlErrorCase{"SpeedErrorAtTheLimitIsNoError", kSpeed100, {{"SERRMAX", 100}, {"TSERRMAX", 5}}, 0},
        ControlErrorCase{"SpeedCheckOff", kSpeed100, {{"SERRMAX", 50}, {"TSERRMAX", 65535}}, 0},
        ControlErrorCase{"PositionErrorSevenSamples", kTarget5000, {{"ERRMAX", 1000}, {"TERRMAX", 7}}, 7},
        ControlErrorCase{"PositionCheckOff", kTarget5000, {{"ERRMAX", 1000}, {"TERRMAX", 65535}}, 0},
        // The 32-bit limit, when the drive has it, replaces ERRMAX.
        ControlErrorCase{"PositionLimitOfErrmaxl", kTarget5000, {{"ERRMAX", 1000}, {"ERRMAXL", 5000}, {"TERRMAX", 3}}, 0},
        // In the cascade the speed loop is closed as well; its reference is the position output.
        ControlErrorCase{"CascadeSpeedError", kTarget5000,
                         {{"KPP", 16384}, {"SFTKPP", 0}, {"SERRMAX", 2000}, {"TSERRMAX", 4}}, 4}),
    [](const auto& param) { return std::string(param.param.name); });

struct LimitCase {
  const char* name;
  std::int32_t speedReference;   // counts/sample
  double handTurn_rad;           // the hand turns the free rotor meanwhile (0: no hand)
  std::int32_t activeLevels;     // DIGIN_ACTIVE_LEVEL: bit 15 ENABLE, 13 LSP, 14 LSN (1 = active high)
  bool lspHigh, lsnHigh;         // electrical levels
  std::uint16_t bit;             // the limit bit expected, 0 for none
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class LimitSwitch : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitSwitch, QuickStopsMotionTowardsIt) {
  const LimitCase& c = GetParam();
  Drive drive(ReferenceHardware(), ReferenceMotor());
  LaunchAt(drive, {{"DIGIN_ACTIVE_LEVEL", c.activeLevels}}, {control::ServoMode::speed, c.speedReference});
  const bool enableHigh = (c.activeLevels & 0x8000) != 0;
  drive.SetDigitalInputLevels(enableHigh, c.lspHigh, c.lsnHigh);
  if (c.handTurn_rad != 0.0) drive.HandTurn(c.handTurn_rad, 0.1);
  drive.RunUntil(5.02 * kSample_s);
  EXPECT_EQ(drive.Mer() & (mer::kPositiveLimit | mer::kNegativeLimit), c.bit);
  if (c.bit == 0) {
    EXPECT_TRUE(drive.ProgramRunning());
    return;
  }
  drive.HandRelease();
  // The quick stop: the axis stays on with the current reference at 0 for 20 ms, then goes off.
  drive.RunUntil(15e-3);
  EXPECT_TRUE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("Current_Reference"), 0);
  drive.RunUntil(30e-3);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_FALSE(drive.ProgramRunning());
  // Latched while the input stays active; a reset clears it once the input has gone.
  drive.Reset();
  EXPECT_EQ(drive.Mer() & c.bit, c.bit);
  drive.SetDigitalInputLevels(enableHigh, !c.lspHigh, !c.lsnHigh);
  EXPECT_EQ(drive.Mer() & c.bit, c.bit);
  drive.Reset();
  EXPECT_EQ(drive.Mer() & c.bit, 0);
}

// Active levels: 0xA000 ENABLE and LSP active high, LSN active low; 0xC000 ENABLE and LSN high,
// LSP low. An inactive switch sits at the other level.
INSTANTIATE_TEST_SUITE_P(
    Inputs, LimitSwitch,
    ::testing::Values(
        LimitCase{"PositiveActiveHigh", 20, 0.0, 0xA000, true, true, mer::kPositiveLimit},
        LimitCase{"PositiveActiveLow", 20, 0.0, 0xC000, false, false, mer::kPositiveLimit},
        LimitCase{"NegativeActiveHigh", -20, 0.0, 0xC000, true, true, mer::kNegativeLimit},
        LimitCase{"NegativeActiveLow", -20, 0.0, 0xA000, false, false, mer::kNegativeLimit},
        LimitCase{"AwayFromThePositiveSwitch", -20, 0.0, 0xA000, true, true, 0},
        LimitCase{"AwayFromTheNegativeSwitch", 20, 0.0, 0xC000, true, true, 0},
        // No reference, but the shaft turns negative by hand.
        LimitCase{"NegativeSpeedWithoutReference", 0, -1.0, 0xC000, false, true, mer::kNegativeLimit}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::testing
