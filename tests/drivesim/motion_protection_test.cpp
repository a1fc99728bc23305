// The protections of closed-loop motion: the control error after exactly TERRMAX / TSERRMAX slow
// samples beyond ERRMAX / SERRMAX (65535: off), and the limit switches' quick stop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "servo_program.h"

namespace drivesim::testing {
namespace {

// Rotor locked, no gains but KPP where named: the errors stay at the references (speed 100
// counts/sample, target 5000). Trip at the named sample (0: none within 100), not one earlier.
TEST(ControlError, TripsAfterExactlyTheSampleCount) {
  using control::ServoMode;
  struct Case {
    ServoMode mode;
    RegisterValues registers;
    int tripSample;
  };
  const std::vector<Case> cases = {
      {ServoMode::speed, {{"SERRMAX", 50}, {"TSERRMAX", 5}}, 5},
      {ServoMode::speed, {{"SERRMAX", 100}, {"TSERRMAX", 5}}, 0},   // at the limit is no error
      {ServoMode::speed, {{"SERRMAX", 50}, {"TSERRMAX", 65535}}, 0},
      {ServoMode::position, {{"ERRMAX", 1000}, {"TERRMAX", 7}}, 7},
      {ServoMode::position, {{"ERRMAX", 1000}, {"ERRMAXL", 5000}, {"TERRMAX", 3}}, 0},   // ERRMAXL replaces ERRMAX
      // The cascade (ACR bit 9) closes the speed loop too: its reference 0.5·5000 = 2500 > 2000.
      {ServoMode::position, {{"ACR", 0x200}, {"KPP", 16384}, {"SERRMAX", 2000}, {"TSERRMAX", 4}}, 4}};
  for (std::size_t n = 0; n < cases.size(); ++n) {
    SCOPED_TRACE("case " + std::to_string(n));
    const Case& c = cases[n];
    Drive drive = LoadedDrive(ReferenceMotor(), LockedRotor(), c.registers);
    LaunchServoStep(drive, ServoConfigOf(c.mode), c.mode == ServoMode::position ? 5000 : 100);
    const int samples = c.tripSample > 0 ? c.tripSample : 100;
    drive.RunUntil((samples - 0.5) * 1e-3);
    EXPECT_EQ(drive.Mer(), 0);
    drive.RunUntil((samples + 0.02) * 1e-3);
    EXPECT_EQ(drive.Mer(), c.tripSample > 0 ? mer::kControlError : 0);
    EXPECT_EQ(drive.ProgramRunning() && drive.AxisOn(), c.tripSample == 0);
  }
}

// DIGIN_ACTIVE_LEVEL 0xA000: ENABLE and LSP active high, LSN active low; 0xC000: LSN high, LSP
// low. A switch trips towards its side (reference or speed), not away from it: the bit at the
// first sample, current reference 0 for 20 ms with the axis on, then off; the bit survives a
// reset while the input stays active.
TEST(LimitSwitch, QuickStopsMotionTowardsIt) {
  struct Case {
    std::int32_t reference, levels;
    bool lspHigh, lsnHigh;
    double hand_rad;
    std::uint16_t bit;
  };
  const std::vector<Case> cases = {{20, 0xA000, true, true, 0.0, mer::kPositiveLimit},
                                   {20, 0xC000, false, false, 0.0, mer::kPositiveLimit},
                                   {-20, 0xC000, true, true, 0.0, mer::kNegativeLimit},
                                   {-20, 0xA000, false, false, 0.0, mer::kNegativeLimit},
                                   {-20, 0xA000, true, true, 0.0, 0},
                                   {20, 0xC000, true, true, 0.0, 0},
                                   {0, 0xC000, false, true, -1.0, mer::kNegativeLimit}};  // turned by hand
  for (std::size_t n = 0; n < cases.size(); ++n) {
    SCOPED_TRACE("case " + std::to_string(n));
    const Case& c = cases[n];
    Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"DIGIN_ACTIVE_LEVEL", c.levels}});
    LaunchServoStep(drive, ServoConfigOf(control::ServoMode::speed), c.reference);
    const bool enableHigh = (c.levels & 0x8000) != 0;
    drive.SetDigitalInputLevels(enableHigh, c.lspHigh, c.lsnHigh);
    if (c.hand_rad != 0.0) drive.HandTurn(c.hand_rad, 0.1);
    drive.RunUntil(5.02e-3);
    EXPECT_EQ(drive.Mer(), c.bit);
    drive.HandRelease();
    drive.RunUntil(15e-3);
    EXPECT_TRUE(drive.AxisOn());
    if (c.bit == 0) continue;
    EXPECT_EQ(drive.ReadVariable("Current_Reference"), 0);
    drive.RunUntil(30e-3);
    EXPECT_FALSE(drive.AxisOn() || drive.ProgramRunning());
    drive.Reset();
    drive.SetDigitalInputLevels(enableHigh, !c.lspHigh, !c.lsnHigh);
    EXPECT_EQ(drive.Mer(), c.bit);
    drive.Reset();
    EXPECT_EQ(drive.Mer(), 0);
  }
}

// A servo commutating with Halls that the motor lacks (code 7) trips 0x0020 at the third fast
// sample after engagement (ticks 0, 2, 4: 0.2 ms), PCR bit 6 or not.
TEST(HallMissing, TripsAHallCommutatedServo) {
  Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"OSR", 8}, {"HALLCASE", 2}});
  LaunchServoStep(drive, ServoConfigOf(control::ServoMode::torque), 0);
  drive.RunUntil(0.15e-3);
  EXPECT_EQ(drive.Mer(), 0);
  drive.RunUntil(0.25e-3);
  EXPECT_EQ(drive.Mer(), mer::kHallMissing);
  EXPECT_FALSE(drive.AxisOn());
}

}  // namespace
}  // namespace drivesim::testing
