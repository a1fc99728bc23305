// Angle_Controller_Tuning_Test on the reference motor: the motionless start finds the rotor's
// electrical angle wherever the shaft was left (Electric_Angle settles at θ_r0 − 16384 within
// 10° electrical, and the drive keeps θ_r0 as its commutation); the failure codes are shown
// through the dialog's own test on the simulated drive.
#include <gtest/gtest.h>

#include <cmath>

#include "programs/program.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

struct AngleCase {
  const char* name;
  double shaft_rad;  // where the hand leaves the shaft before the run
};

// The shipped gains (Kp_T_scl 2, Ki_T_scl 0.05) and the default setup's over-current protection.
const RegisterValues kAngleRegisters{{"ENC2THL", 2147484}, {"KPTHT", 32767}, {"SFTKPTHT", 1},
                                     {"KITHT", 1638},      {"SFTKITHT", 0},   {"IMAXPROT", 31427}};

class AngleProgram : public ::testing::TestWithParam<AngleCase> {};

// A program of the test's own that notes the drive's commutation angle as it finds it and ends.
class CommutationProbe : public programs::Program {
 public:
  explicit CommutationProbe(std::int32_t& angle) : angle_(angle) {}
  void SlowStep(programs::ProgramHost& host) override {
    angle_ = host.CommutationAngle();
    host.SetProgramValue("STARTED", 1);
    End();
  }
  void FastStep(programs::ProgramHost&) override {}
  void HostStop(programs::ProgramHost&) override { End(); }
  bool TriggersLog() const override { return false; }

 private:
  std::int32_t& angle_;
};

// The commutation angle that a program launched after the start finds.
std::int32_t CommutationAfterwards(Drive& drive) {
  static const ProgramDescriptor descriptor{"Probe", "Probe", "IE", false, 1,
                                            {{"STARTED", VariableType::int16, VariableDirection::output, 1, 0}}};
  std::int32_t angle = 0;
  EXPECT_TRUE(drive.LaunchProgram(descriptor, std::make_unique<CommutationProbe>(angle), {}).ok());
  RunProgram(drive, 0.1);
  return angle;
}

TEST_P(AngleProgram, FindsTheRotorAngleWhereverTheShaftStandsAndCommutatesFromIt) {
  Drive drive = LoadedDrive(ReferenceMotor(), {}, kAngleRegisters);
  drive.HandTurn(GetParam().shaft_rad, 0.2);
  drive.RunUntil(0.4);
  drive.HandRelease();
  const double expected = std::remainder(drive.ShaftPosition() * 4.0 / (2.0 * M_PI), 1.0) * 65536.0 - 16384.0;
  LaunchProgram(drive, "IE_Angle_Controller_Tuning_Test",
                {{"In1", 5237}, {"ReferenceIncrement", 10}, {"TimeLimit", 2000}},
                LoggerSettings{2000, 2, 2, {"Motor_Current", "Electric_Angle"}});
  RunProgram(drive, 10.0);
  ASSERT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("test_flag"), 1);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_FALSE(log.empty());
  for (const std::int32_t angle :
       {drive.ReadVariable("Electric_Angle").value_or(0), drive.ReadVariable("theta_1").value_or(0), log.back().values[1]}) {
    EXPECT_NEAR(std::remainder(angle - expected, 65536.0), 0.0, 1820.0) << angle << " for " << expected + 16384.0;
  }
  const double rotorNow16 = std::remainder(drive.ShaftPosition() * 4.0 / (2.0 * M_PI), 1.0) * 65536.0;
  EXPECT_NEAR(std::remainder(CommutationAfterwards(drive) - rotorNow16, 65536.0), 0.0, 1820.0)
      << "the drive commutates from the angle found";
}

INSTANTIATE_TEST_SUITE_P(
    Motors, AngleProgram,
    ::testing::Values(AngleCase{"RotorLeftAThirdOfAnElectricalTurnOn", 2.0 * M_PI / 12.0},
                      // θ_r0 = 90°: the first try's current lies on the d axis, the second try moves it.
                      AngleCase{"RotorWhereTheFirstTryHasNoTorque", M_PI / 8.0}, AngleCase{"RotorLeftBackwards", -0.9}),
    [](const auto& param) { return std::string(param.param.name); });

// The host's stop while the current is held: down and the axis off within 20 ms; before ENABLE
// the program just ends.
TEST(AngleProgramHostStop, RampsDownWithin20MsOrEndsBeforeTheAxisIsOn) {
  for (const bool enabled : {true, false}) {
    Drive drive = LoadedDrive(ReferenceMotor(), {}, kAngleRegisters);
    drive.SetEnableInput(enabled);
    LaunchProgram(drive, "IE_Angle_Controller_Tuning_Test", {{"In1", 5237}, {"ReferenceIncrement", 10}, {"TimeLimit", 2000}});
    drive.RunUntil(0.8);
    EXPECT_EQ(drive.AxisOn(), enabled);
    drive.StopProgram();
    drive.RunUntil(drive.Now_s() + 0.021);
    EXPECT_FALSE(drive.ProgramRunning()) << enabled;
    EXPECT_FALSE(drive.AxisOn()) << enabled;
  }
}

}  // namespace
}  // namespace drivesim::testing
