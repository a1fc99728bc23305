// Total_Inertia_Identification_Test and Total_Mass_Identification_Test against the motor they run
// on: the total inertia (mass) that the inertia test computes from the outputs, torque over
// acceleration, Jt = K·(In1/Iscale) / ((delta_speed/delta_time)/(counts per rad·Ts²)), lies within
// 1 % of the motor's own plus the load's reflected through the transmission; and the failure codes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

struct InertiaCase {
  const char* name;
  void (*motor)(MotorModel&);          // changes to the reference motor
  RegisterValues registers;
  std::int32_t limitSpeed;             // LimitSpeedMax, counts per ms
  void (*scenario)(Drive&);            // acts on the drive before the launch
  std::int32_t testFlag, deltaTime;    // expected; deltaTime 0: the measurement
  std::int32_t protection = 16000;
};

class InertiaProgram : public ::testing::TestWithParam<InertiaCase> {};

TEST_P(InertiaProgram, RecoversTheTotalInertiaOrFailsWithItsCode) {
  const InertiaCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  if (c.motor) c.motor(motor);
  const bool linear = motor.kind == MotorKind::linear;
  Drive drive = LoadedDrive(motor, {}, c.registers);
  if (c.scenario) c.scenario(drive);
  const std::int32_t refTest = drive.ReadRegister("REFTST").value_or(0);
  LaunchProgram(drive, linear ? "IE_Total_Mass_Identification_Test" : "IE_Total_Inertia_Identification_Test",
                {{"RefTest", refTest}, {"RIncTest", refTest / 100}, {"In1", 4910}, {"LimitSpeedMax", c.limitSpeed},
                 {"Imax_Prot_Test", c.protection}});
  RunProgram(drive, 12.0);
  ASSERT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.Mer(), 0) << "the program's own failures set no MER bit";
  EXPECT_EQ(drive.ReadVariable("test_flag"), c.testFlag);
  const std::int32_t deltaTime = drive.ReadVariable("delta_time").value_or(0);
  if (c.testFlag != 1 || c.deltaTime != 0) {
    EXPECT_TRUE(c.testFlag != 1 || deltaTime == c.deltaTime) << deltaTime;
    return;
  }
  ASSERT_GT(deltaTime, 10);
  const double countsPerUnit = linear ? 1e6 : 8000.0 / (2.0 * M_PI), Ts = 1e-3;
  const double speedChange = drive.ReadVariable("delta_speed").value_or(0) / 65536.0;
  const double acceleration = speedChange / deltaTime / (countsPerUnit * Ts * Ts);
  const double total = motor.torque_constant * 4910.0 / kCurrentScale / acceleration;
  EXPECT_NEAR(total / motor.TotalInertia(), 1.0, 0.01) << total << " against " << motor.TotalInertia();
}

// The reference motor with the commutation of its 2000-line encoder. The default motor's Halls
// ([3, 1, 2], inverted: HALLCASE 7) start it sinusoidally (OSR code 8, ACR bit 15) without an
// alignment. The linear motor (32 000 counts per pole pitch) with the current gains of a 2000 rad/s
// loop on 2.5 Ω and 3 mH.
const RegisterValues kRotary{{"ENC2THL", 2147484}};
const RegisterValues kHallStart{{"ENC2THL", 2147484}, {"OSR", 8}, {"ACR", 0x8000}, {"HALLCASE", 7}};
const RegisterValues kLinear{{"ENC2THL", 134218}, {"REFTST", 5846}, {"RINCTST", 58}, {"KPI", 29507},
                             {"SFTKPI", 2},       {"KII", 14910},   {"SFTKII", 0}};

INSTANTIATE_TEST_SUITE_P(
    Motors, InertiaProgram,
    ::testing::Values(
        InertiaCase{"Direct", nullptr, kRotary, 169, nullptr, 1, 0},
        // 3 motor turns per load turn: a load of 1.8e-3 reflects as 2e-4, 2.33e-4 in all.
        InertiaCase{"Gearbox", [](MotorModel& m) { m.motor_displacement *= 3.0; m.load_inertia = 1.8e-3; }, kRotary,
                    169, nullptr, 1, 0},
        InertiaCase{"HallStartOnTheDefaultMotor", [](MotorModel& m) { m = DefaultMotor(); }, kHallStart, 169, nullptr,
                    1, 0},
        InertiaCase{"LinearMotorMass",
                    [](MotorModel& m) {
                      m = LoadMotorFile(std::string(KESTREL_MOTORS_DIR) + "/linear.json");
                      m.load_inertia = 8.8;   // 9.4 kg moving in all
                    },
                    kLinear, 400, nullptr, 1, 0},
        InertiaCase{"ReversedEncoderRunsNegative", [](MotorModel& m) { m.motor_sensor.reversed = true; }, kRotary, 169,
                    nullptr, -1, 0},
        InertiaCase{"BlockedRotorStands", nullptr, kRotary, 169, [](Drive& d) { d.HandHold(); }, 1, -2},
        InertiaCase{"FrictionAboveTheTestTorque", nullptr, kRotary, 169,
                    [](Drive& d) { ASSERT_TRUE(d.SetFriction(0.3, {}).ok()); }, 1, -2},
        InertiaCase{"BackEmfHoldsTheCurrentDown", nullptr, kRotary, 5000, nullptr, 1, -2},
        // Terminal speed 0.18 N·m / 2.5e-3 N·m·s/rad = 72 rad/s, 92 counts per ms.
        InertiaCase{"ViscousLoadHoldsTheSpeedBelow", [](MotorModel& m) { m.viscous_friction = 2.5e-3; }, kRotary, 169,
                    nullptr, 1, -3},
        InertiaCase{"TestProtection", nullptr, kRotary, 169, nullptr, 1, -2, 4000}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::testing
