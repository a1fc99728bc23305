// The slow ADC channels: the analogue reference input AD5 over the three ranges of
// AnalogueInputsRange, and the linear Hall channels AD6, AD3, AD8/AD9.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

Drive IdealDrive(MotorModel motor = ReferenceMotor(), bool ideal = true) {
  Scenario scenario;
  scenario.ideal_converters = ideal;
  return LoadedDrive(std::move(motor), scenario);
}

Drive AnalogueInputDrive(double range_V, bool ideal) {
  Drive drive = IdealDrive(ReferenceMotor(), ideal);
  SetupOptions options;
  options.analogue_inputs_range_V = range_V;
  EXPECT_TRUE(drive.SetSetupOptions(options).ok());
  return drive;
}

// Ideal converter: round((V − bottom)·65472/span), saturated at both ends of the range.
TEST(AnalogueReference, ReadsTheInputOverItsRange) {
  struct Case {
    double range_V, input_V;
    std::int32_t counts;
  };
  for (const Case& c : {Case{20.0, -10.0, 0}, Case{20.0, 0.0, 32736}, Case{20.0, 2.5, 40920}, Case{20.0, 12.0, 65472},
                        Case{5.0, 1.25, 16368}, Case{5.0, -1.0, 0}, Case{3.3, 1.65, 32736}, Case{10.0, 3.3, 65472}}) {
    Drive drive = AnalogueInputDrive(c.range_V, true);
    drive.SetAnalogInput_V(c.input_V);
    EXPECT_EQ(drive.ReadVariable("AD5"), c.counts) << c.input_V << " V on the " << c.range_V << " V range";
  }
}

// With one step of noise the mean of many samples is unbiased.
TEST(AnalogueReference, NoisyMeanOfManySamplesIsTheIdealCount) {
  Drive drive = AnalogueInputDrive(20.0, false);
  double sum = 0.0;
  for (int k = 0; k < 256; ++k) {
    drive.SetAnalogInput_V(2.5);
    sum += drive.ReadVariable("AD5").value_or(0);
  }
  EXPECT_NEAR(sum / 256, 40920, 12.0);
}

// counts = (2.5 + 1.5·sin(θ_e − 120°·j))·13094.4 on A, B, C; reversed exchanges B and C. Without
// linear Halls the channels read 0.
TEST(LinearHallChannels, ReadTheSensorVoltagesOnTheFiveVoltScale) {
  for (const auto& [reversed, electrical_deg] : {std::pair{false, 0.0}, {false, 90.0}, {false, 200.0}, {true, 90.0}}) {
    SCOPED_TRACE(std::to_string(electrical_deg) + (reversed ? "° reversed" : "°"));
    MotorModel motor = ReferenceMotor();
    motor.coulomb_friction = 0.0;
    motor.viscous_friction = 0.0;
    motor.motor_sensor.type = SensorType::linear_hall;
    motor.motor_sensor.reversed = reversed;
    Drive drive = IdealDrive(motor);
    drive.HandTurn(electrical_deg * M_PI / 180.0 / 4.0, 0.5);
    drive.RunUntil(1.5);
    const double theta = drive.ShaftPosition() * 4.0;
    const auto expected = [&](double j) { return (2.5 + 1.5 * std::sin(theta - j * 2.0 * M_PI / 3.0)) * 13094.4; };
    EXPECT_NEAR(drive.ReadVariable("AD6").value_or(-1), expected(0.0), 0.5);
    EXPECT_NEAR(drive.ReadVariable("AD3").value_or(-1), expected(reversed ? 2.0 : 1.0), 0.5);
    EXPECT_NEAR(drive.ReadVariable("AD8").value_or(-1), expected(reversed ? 1.0 : 2.0), 0.5);
    EXPECT_EQ(drive.ReadVariable("AD9"), drive.ReadVariable("AD8"));
  }
  Drive withoutLinearHalls = IdealDrive();
  for (const char* channel : {"AD6", "AD3", "AD8", "AD9"}) {
    EXPECT_EQ(withoutLinearHalls.ReadVariable(channel), 0) << channel;
  }
}

}  // namespace
}  // namespace drivesim::testing
