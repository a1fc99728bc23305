// The slow ADC channels: the analogue reference input AD5 over the three ranges of
// AnalogueInputsRange, and the linear Hall channels AD6, AD3, AD8/AD9.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

struct ReferenceCase {
  double range_V;
  double input_V;
  std::int32_t counts;   // ideal converter: round((V − bottom)·65472/span)
};

class AnalogueReference : public ::testing::TestWithParam<ReferenceCase> {};

Drive AnalogueInputDrive(double range_V, bool ideal) {
  Scenario scenario;
  scenario.ideal_converters = ideal;
  Drive drive(ReferenceHardware(), ReferenceMotor(), scenario);
  SetupOptions options;
  options.analogue_inputs_range_V = range_V;
  EXPECT_TRUE(drive.SetSetupOptions(options).ok());
  return drive;
}

TEST_P(AnalogueReference, ReadsTheInputOverItsRange) {
  Drive drive = AnalogueInputDrive(GetParam().range_V, true);
  drive.SetAnalogInput_V(GetParam().input_V);
  EXPECT_EQ(drive.ReadVariable("AD5"), GetParam().counts);
}

// With one step of noise the mean of many samples is unbiased.
TEST(AnalogueReferenceNoise, MeanOfManySamplesIsTheIdealCount) {
  Drive drive = AnalogueInputDrive(20.0, false);
  double sum = 0.0;
  for (int k = 0; k < 256; ++k) {
    drive.SetAnalogInput_V(2.5);
    sum += drive.ReadVariable("AD5").value_or(0);
  }
  EXPECT_NEAR(sum / 256, 40920, 12.0);
}

INSTANTIATE_TEST_SUITE_P(Ranges, AnalogueReference,
                         ::testing::Values(ReferenceCase{20.0, -10.0, 0}, ReferenceCase{20.0, 0.0, 32736},
                                           ReferenceCase{20.0, 2.5, 40920}, ReferenceCase{20.0, 12.0, 65472},
                                           ReferenceCase{5.0, 1.25, 16368}, ReferenceCase{5.0, -1.0, 0},
                                           ReferenceCase{3.3, 1.65, 32736}, ReferenceCase{10.0, 3.3, 65472}));

struct HallChannelCase {
  const char* name;
  bool reversed;
  double electrical_deg;
};

class LinearHallChannels : public ::testing::TestWithParam<HallChannelCase> {};

// counts = (2.5 + 1.5·sin(θ_e − 120°·j))·13094.4 on A, B, C; reversed exchanges B and C.
TEST_P(LinearHallChannels, ReadTheSensorVoltagesOnTheFiveVoltScale) {
  const HallChannelCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.coulomb_friction = 0.0;
  motor.viscous_friction = 0.0;
  motor.motor_sensor.type = SensorType::linear_hall;
  motor.motor_sensor.reversed = c.reversed;
  Scenario ideal;
  ideal.ideal_converters = true;
  Drive drive(ReferenceHardware(), motor, ideal);
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  drive.HandTurn(c.electrical_deg * M_PI / 180.0 / 4.0, 0.5);
  drive.RunUntil(1.5);
  const double theta = drive.ShaftPosition() * 4.0;
  const double b = c.reversed ? 2.0 : 1.0, cPhase = c.reversed ? 1.0 : 2.0;
  const auto expected = [&](double j) {
    return (2.5 + 1.5 * std::sin(theta - j * 2.0 * M_PI / 3.0)) * 13094.4;
  };
  EXPECT_NEAR(drive.ReadVariable("AD6").value_or(-1), expected(0.0), 0.5);
  EXPECT_NEAR(drive.ReadVariable("AD3").value_or(-1), expected(b), 0.5);
  EXPECT_NEAR(drive.ReadVariable("AD8").value_or(-1), expected(cPhase), 0.5);
  EXPECT_EQ(drive.ReadVariable("AD9"), drive.ReadVariable("AD8"));
}

INSTANTIATE_TEST_SUITE_P(Angles, LinearHallChannels,
                         ::testing::Values(HallChannelCase{"AtZero", false, 0.0}, HallChannelCase{"At90", false, 90.0},
                                           HallChannelCase{"At200", false, 200.0},
                                           HallChannelCase{"ReversedAt90", true, 90.0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(LinearHallChannelsMissing, ReadZeroWithoutLinearHalls) {
  Scenario ideal;
  ideal.ideal_converters = true;
  Drive drive(ReferenceHardware(), ReferenceMotor(), ideal);
  for (const char* channel : {"AD6", "AD3", "AD8", "AD9"}) EXPECT_EQ(drive.ReadVariable(channel), 0) << channel;
}

}  // namespace
}  // namespace drivesim::testing
