// The resolver through the R/D converter: angle errors of mismatched signals worked by hand, and
// the carrier phase that the demodulation does not follow.
#include <gtest/gtest.h>

#include <cmath>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

// signals, shaft angle (deg), APOS_MT (MECRESL 8000, one resolver pole pair), MER
using ResolverCase = std::tuple<ResolverSignals, double, double, std::uint16_t>;
class Resolver : public ::testing::TestWithParam<ResolverCase> {};

// At 45°: sin gain 1.02 reads atan(1.02) = 45.567° → 8000·45.567/360 = 1012.6. At 90°: a cos
// offset of 0.05 reads atan2(1, 0.05) = 87.138° → 1936.4. A carrier shifted by 70° leaves
// cos 70° = 0.34 of the envelope: signal loss, 0x0004; 40° leaves 0.77 and the exact angle.
TEST_P(Resolver, CountsTheConvertedAngle) {
  const auto [signals, angle_deg, counts, mer] = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor.type = SensorType::resolver;
  Scenario scenario;
  scenario.resolver_signals = signals;
  Drive drive(ReferenceHardware(), motor, scenario);
  RegisterValues registers = ReferenceRegisters();
  registers["MECRESL"] = 8000;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  drive.HandTurn(angle_deg * M_PI / 180.0, 0.5);
  drive.RunUntil(1.0);
  EXPECT_NEAR(drive.ReadVariable("APOS_MT").value_or(-1), counts, 2);
  EXPECT_EQ(drive.Mer(), mer);
}

INSTANTIATE_TEST_SUITE_P(Signals, Resolver,
                         ::testing::Values(ResolverCase{{}, 45.0, 1000, 0}, ResolverCase{{1.02, 1.0, 0.0, 0.0, 0.0}, 45.0, 1012, 0},
                                           ResolverCase{{1.0, 1.0, 0.0, 0.05, 0.0}, 90.0, 1936, 0},
                                           ResolverCase{{1.0, 1.0, 0.0, 0.0, 40.0}, 90.0, 2000, 0},
                                           ResolverCase{{1.0, 1.0, 0.0, 0.0, 70.0}, 90.0, 2000, mer::kSensorError}));

}  // namespace
}  // namespace drivesim::testing
