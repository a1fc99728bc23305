// SSI_Encoder_Offset_Detection_Test after the preliminary on the reference motor (Coulomb friction
// 2 mN·m) with a serial encoder of 12, 16, 17 and 20 bits reading 37° at θ_m = 0: ZAOFF in
// min(B, 16)-bit units is the encoder's reading at the electrical zero, exact to a count; var_i1
// turns 1 once ZAOFF holds it, with the axis off.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

class SsiOffsetProgram : public ::testing::TestWithParam<int> {};

TEST_P(SsiOffsetProgram, ReportsTheSingleTurnPositionAtTheElectricalRest) {
  const int bits = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor.type = SensorType::ssi;
  motor.motor_sensor.single_turn_bits = bits;
  motor.motor_sensor.turn_bits = 12;
  motor.motor_sensor.offset_deg = 37.0;
  const auto enc2thl = static_cast<std::int32_t>(std::ldexp(4.0, 32 - bits));
  Drive drive = LoadedDrive(motor, {}, {{"ENC2THL", enc2thl}, {"SSIREV", bits}, {"SSITURNS", 12}});
  LaunchProgram(drive, "SSI_Initial_Positioning_Test", {{"In1", 4910}});
  RunToEnd(drive);
  LaunchProgram(drive, "SSI_Encoder_Offset_Detection_Test",
                {{"RefTest", drive.ReadVariable("REFTST_V").value_or(0)},
                 {"RIncTest", drive.ReadVariable("RINCTST_V").value_or(0)}});
  drive.RunUntil(drive.Now_s() + 0.01);
  EXPECT_EQ(drive.ReadVariable("var_i1"), 0);
  RunToEnd(drive);
  EXPECT_EQ(drive.ReadVariable("var_i1"), 1);

  // The electrical zero: within a count of the encoder's reading where 4 θ_m ≡ 0, 37° reading
  // floor(2^min(B, 16)·37/360), whichever side friction stopped the rotor on.
  const double turn = std::ldexp(1.0, std::min(bits, 16));
  const std::int32_t zaoff = drive.ReadVariable("ZAOFF").value_or(-1);
  EXPECT_GE(zaoff, 0);
  EXPECT_LT(zaoff, turn);
  const double period = turn / 4.0;
  EXPECT_NEAR(std::remainder(zaoff - std::floor(turn * 37.0 / 360.0), period), 0.0, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Bits, SsiOffsetProgram, ::testing::Values(12, 16, 17, 20));

}  // namespace
}  // namespace drivesim::testing
