// The _LIN programs on the linear motor of the linear setup (32 mm pitch, 2.5 Ω, 3 mH, 30 N/A,
// 1.2 kg moving, 1 µm encoder): the preliminary stage aligns the mover on phase A and finds the
// voltage of the test current; the current step then runs with the setup's gains.
#include <gtest/gtest.h>

#include <cmath>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

TEST(LinearMotor, PreliminaryAndCurrentStepRunTheLinearVariants) {
  const MotorModel motor = LoadMotorFile(std::string(KESTREL_MOTORS_DIR) + "/linear.json");
  ASSERT_EQ(motor.kind, MotorKind::linear);
  Drive drive = LoadedDrive(motor, {}, {{"DBT", 0x5050}, {"REFTST", 5846}, {"RINCTST", 58}, {"KPI", 26012},
                                        {"SFTKPI", 4}, {"KII", 16772}, {"SFTKII", 3}});
  LaunchProgram(drive, "IE_Initial_Positioning_Test_LIN", {{"In1", 4910}});
  RunProgram(drive, 10.0);
  ASSERT_FALSE(drive.ProgramRunning());
  const double expected = (2.5 * 4910 / kCurrentScale + 4.0 / 3.0 * 0.96) * kVoltageScale;
  const std::int32_t reference = drive.ReadVariable("REFTST_V").value_or(0);
  EXPECT_NEAR(reference, expected, 0.01 * expected);
  // Aligned: x is a whole number of pole pitches, within the friction lag (0.5 N against
  // 30 N/A·1.5 A·2π/32 mm ≈ 8800 N/m: 57 µm).
  EXPECT_NEAR(std::remainder(drive.ShaftPosition(), 0.032), 0.0, 1e-4);

  LaunchProgram(drive, "IE_Current_Controller_Tuning_Test_LIN",
                {{"RefTest", reference}, {"RIncTest", drive.ReadVariable("RINCTST_V").value_or(0)}, {"In1", 4910},
                 {"Imax_Prot_Test", 16000}},
                LoggerSettings{100, 2, 1, {"Current_Reference", "Motor_Current"}});
  RunProgram(drive, 5.0);
  EXPECT_EQ(drive.ReadVariable("test_flag"), 1);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 100u);
  EXPECT_EQ(log[9].values[0], 0);
  EXPECT_EQ(log[10].values[0], 4910);
  // The setup's gains (Kp 12.7, Ki 4.1 per sample) saturate the voltage at the step and leave
  // a limit cycle around the reference, but the current follows it.
  double mean = 0.0;
  for (std::size_t k = 50; k < 100; ++k) mean += log[k].values[1] / 50.0;
  EXPECT_GT(mean, 0.6 * 4910);
  EXPECT_LT(mean, 1.4 * 4910);
}

}  // namespace
}  // namespace drivesim::testing
