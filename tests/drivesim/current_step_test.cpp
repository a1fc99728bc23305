// The current step of Current_Controller_Tuning_Test against the discrete model of the loop: the
// PI of the register gains on whole-count samples, a plant i/u sampled every PWM period, and one
// control period of delay (duties computed at sample k act over [k+1, k+2), held constant).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <cstdint>
#include <vector>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

struct Sample {
  std::int32_t reference, measured, voltage;
};

// Discrete model of the α axis (the frame's q axis at the rest angle lies on phase A).
std::vector<Sample> DiscreteModel(std::int32_t stepCurrent, int points, int pointsBeforeStep) {
  const double R = 0.9, L = 0.0012, period_s = 100e-6;
  const double voltsPerUnit = 0.55 * 48.0 / 32767.0;
  const double decay = std::exp(-period_s * R / L);
  const std::int64_t limit = 32767 - 2621;
  double current_A = 0.0;
  std::int64_t integral = 0;
  std::int32_t applied = 0;
  std::vector<Sample> samples;
  for (int k = 0; k < points; ++k) {
    const std::int32_t measured = static_cast<std::int32_t>(std::round(current_A * kCurrentScale));
    const std::int32_t reference = k >= pointsBeforeStep ? stepCurrent : 0;
    const std::int64_t error = reference - measured;
    integral = std::clamp<std::int64_t>(integral + 5963 * error, -(limit << 15), limit << 15);
    const std::int64_t proportional = (24226 * error * 2) >> 15;  // MulShift(24226, 1, e), floor
    const auto voltage = static_cast<std::int32_t>(std::clamp<std::int64_t>(proportional + (integral >> 15), -limit, limit));
    samples.push_back({reference, measured, voltage});
    current_A = current_A * decay + applied * voltsPerUnit / R * (1.0 - decay);
    applied = voltage;
  }
  return samples;
}

class CurrentStep : public ::testing::Test {
 protected:
  std::vector<LogPoint> RunStep(std::int32_t in1, std::int32_t protection) {
    DriveHardware hw = ReferenceHardware();
    hw.supply_resistance_ohm = 0.0;
    Scenario scenario;
    scenario.ideal_converters = true;
    Drive drive(hw, LoadMotorFile(std::string(KESTREL_MOTORS_DIR) + "/reference.json"), scenario);
    EXPECT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
    LoggerSettings logger{100, 2, 1, {"Current_Reference", "Motor_Current", "Voltage_Reference"}};
    const Status launched = drive.Launch(
        "IE_Current_Controller_Tuning_Test",
        {{"RefTest", 3264}, {"RIncTest", 33}, {"In1", in1}, {"Imax_Prot_Test", protection}}, logger);
    EXPECT_TRUE(launched.ok()) << launched.error;
    RunProgram(drive, 5.0);
    EXPECT_FALSE(drive.ProgramRunning());
    EXPECT_FALSE(drive.AxisOn());
    testFlag_ = drive.ReadVariable("test_flag").value_or(0);
    return drive.UploadLog();
  }
  std::int32_t testFlag_ = 0;
};

TEST_F(CurrentStep, EqualsTheDiscreteModelWithOnePeriodOfDelayPointByPoint) {
  const std::vector<LogPoint> log = RunStep(4910, 16000);
  ASSERT_EQ(testFlag_, 1);
  const std::vector<Sample> model = DiscreteModel(4910, 100, 10);
  ASSERT_EQ(log.size(), model.size());
  for (std::size_t k = 0; k < log.size(); ++k) {
    SCOPED_TRACE("point " + std::to_string(k));
    EXPECT_NEAR(log[k].time_s, static_cast<double>(k) * 100e-6, 1e-12);
    EXPECT_EQ(log[k].values[0], model[k].reference);
    EXPECT_EQ(log[k].values[1], model[k].measured);
    EXPECT_EQ(log[k].values[2], model[k].voltage);
  }
}

// The gains of the reference tuning overshoot by 14.5 %: peak 5624 counts (1.718 A) at the
// sixth sample after the step.
TEST_F(CurrentStep, ReferenceGainsOvershootFourteenAndAHalfPercentAtTheSixthSample) {
  const std::vector<Sample> model = DiscreteModel(4910, 100, 10);
  std::size_t peak = 10;
  for (std::size_t k = 10; k < model.size(); ++k) {
    if (model[k].measured > model[peak].measured) peak = k;
  }
  EXPECT_EQ(peak - 10, 6u);
  EXPECT_NEAR(model[peak].measured, 5624, 3);
  EXPECT_NEAR(model[peak].measured / 4910.0 - 1.0, 0.145, 0.002);
}

// The test protection ends the step at once with test_flag −1 and leaves MER clear.
TEST_F(CurrentStep, ProtectionBelowThePeakEndsTheProgramWithItsFlag) {
  const std::vector<LogPoint> log = RunStep(4910, static_cast<std::int32_t>(1.6 * kCurrentScale));
  EXPECT_EQ(testFlag_, -1);
  EXPECT_LT(log.size(), 100u);
}

// Gains written during the test act at the next tick: with KPI and KII zeroed mid-step the
// controller output freezes at its integral.
TEST(CurrentStepGains, WrittenDuringTheTestActAtTheNextTick) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  ASSERT_TRUE(drive.Launch("IE_Current_Controller_Tuning_Test",
                           {{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", 16000}},
                           LoggerSettings{100, 2, 1, {"Voltage_Reference"}})
                  .ok());
  while (drive.UploadLog().size() < 30 && drive.ProgramRunning()) drive.RunUntil(drive.Now_s() + 100e-6);
  ASSERT_TRUE(drive.WriteRegister("KPI", 0).ok());
  ASSERT_TRUE(drive.WriteRegister("KII", 0).ok());
  EXPECT_FALSE(drive.WriteRegister("NO_SUCH_REGISTER", 1).ok());
  const std::size_t written = drive.UploadLog().size();
  RunProgram(drive, 1.0);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 100u);
  for (std::size_t k = written + 1; k < log.size(); ++k) EXPECT_EQ(log[k].values[0], log[written].values[0]) << k;
  EXPECT_NE(log[written - 1].values[0], log[written - 2].values[0]);
}

}  // namespace
}  // namespace drivesim::testing
