// The scripted user's environment and hand, against closed forms worked by hand on the reference
// motor (J = 1e-4 kg·m² in all; without viscous friction where a closed form needs none).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr double kInertia = 1e-4;
constexpr double kPi = std::numbers::pi;

MotorModel FreeMotor() {
  MotorModel m = ReferenceMotor();
  m.viscous_friction = 0.0;
  return m;
}

// Gravity T_g·sin θ: at θ = 0 nothing happens; released at 90° the rotor starts with −T_g/J.
TEST(LoadGravity, PullsTowardsTheBottom) {
  Drive drive(ReferenceHardware(), FreeMotor());
  ASSERT_TRUE(drive.SetFriction(0.0, std::nullopt).ok());
  ASSERT_TRUE(drive.SetLoadGravity(0.01).ok());
  drive.RunUntil(0.05);
  EXPECT_EQ(drive.ShaftPosition(), 0.0);
  drive.HandTurn(kPi / 2, 0.2);
  drive.RunUntil(0.4);
  drive.HandRelease();
  const double released = drive.ShaftPosition();
  drive.RunUntil(0.45);
  // ½·(T_g/J)·t² = 0.125 rad in 50 ms; sin falls by 0.8 % over it.
  EXPECT_NEAR(released - drive.ShaftPosition(), 0.125, 0.004);
}

// Without dead time the voltage that drives In1 scales with 1/V_bus in internal units.
TEST(Supply, HalvingItDoublesThePositioningVoltage) {
  std::array<double, 2> reference{};
  for (const double supply_V : {48.0, 24.0}) {
    Drive drive(ReferenceHardware(), ReferenceMotor());
    ASSERT_TRUE(drive.SetSupply_V(supply_V).ok());
    ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
    ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
    RunProgram(drive, 10.0);
    reference[supply_V == 48.0 ? 0 : 1] = drive.ReadVariable("REFTST_V").value_or(0);
  }
  EXPECT_NEAR(reference[1] / reference[0], 2.0, 0.02);
}

// ENABLE given as a level before the registers say its polarity: active once they do.
TEST(DigitalInputs, LevelsFollowTheActiveLevelsLoadedLater) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  drive.SetDigitalInputLevel(Drive::DigitalInput::enable, true);
  EXPECT_EQ(drive.Mer() & mer::kEnableInactive, mer::kEnableInactive);  // no registers: active low
  RegisterValues registers = ReferenceRegisters();
  registers["DIGIN_ACTIVE_LEVEL"] = 0x8000;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  EXPECT_EQ(drive.Mer() & mer::kEnableInactive, 0);
  drive.SetDigitalInputLevel(Drive::DigitalInput::enable, false);
  EXPECT_EQ(drive.Mer() & mer::kEnableInactive, mer::kEnableInactive);
}

// A turn of 1 rev in 1.875 s peaks at 1 rev/s; the shaft follows the minimum-jerk path
// θ_h = Δ·(10s³ − 15s⁴ + 6s⁵) within 2 mrad, and the mark sees the whole turn.
TEST(Hand, TracksAMinimumJerkTurn) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  drive.MarkShaft();
  const double duration_s = 1.875;
  drive.HandTurn(2 * kPi, duration_s);
  double worst = 0.0;
  for (double t = 0.01; t < duration_s; t += 0.01) {
    drive.RunUntil(t);
    const double s = drive.Now_s() / duration_s;
    const double target = 2 * kPi * s * s * s * (10.0 - 15.0 * s + 6.0 * s * s);
    worst = std::max(worst, std::abs(drive.ShaftPosition() - target));
  }
  EXPECT_LT(worst, 0.002);
  EXPECT_GT(worst, 0.0);
  drive.RunUntil(2.5);
  EXPECT_NEAR(drive.ShaftTurnedSinceMark(), 2 * kPi, 0.002);
}

// The held shaft against the preliminary program's current at 90° electrical (its pre-align
// hold): the hand gives way by T_e/k_h, for the default and for a softer hand.
TEST(Hand, GivesWayToAPoweredMotorByTorqueOverStiffness) {
  Scenario ideal;  // no current noise: the torque is steady
  ideal.ideal_converters = true;
  for (const double stiffness : {20.0, 5.0}) {
    Drive drive(ReferenceHardware(), ReferenceMotor(), ideal);
    ASSERT_TRUE(drive.SetHandCoupling(stiffness, 2.0 * std::sqrt(stiffness * kInertia)).ok());
    drive.HandHold();
    ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
    ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
    drive.RunUntil(0.18);  // 99 ms of ramp, then the hold of 100 ms
    const std::array<double, 3> i = drive.PhaseCurrents_A();
    const double theta_e = 4.0 * drive.ShaftPosition();
    const double iq = -i[0] * std::sin(theta_e) + (i[1] - i[2]) / std::sqrt(3.0) * std::cos(theta_e);
    const double torque = 0.12 * iq;
    EXPECT_GT(torque, 0.15);  // about K·1.5 A
    // Static friction may hold the shaft up to T_c/k_h (0.1 mrad at 20 N·m/rad) short of it.
    EXPECT_NEAR(drive.ShaftPosition(), torque / stiffness, 0.002 / stiffness + 1e-5) << stiffness;
  }
}

}  // namespace
}  // namespace drivesim::testing
