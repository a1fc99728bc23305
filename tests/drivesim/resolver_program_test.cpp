// Setup_Resolver_Test after the preliminary on a 4 pole-pair motor with a one-speed resolver
// mounted at an angle (MECRESL 65536): the offset at θ_e = 0 within one count (the resolver's angle
// source takes ZAOFF in this convention: commutation_test), and the demodulation phase tuned to
// the returned carrier (within half of the 5° steps).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kCounts = 65536;
constexpr std::int32_t kEnc2thl = 262144;  // 4 pole pairs: 4·2^32/65536

struct ResolverCase {
  double mounting_deg;
  double carrier_deg;
  std::int32_t zaoff;  // floor(65536·mounting/360) mod 16384
};

class ResolverSetupProgram : public ::testing::TestWithParam<ResolverCase> {};

TEST_P(ResolverSetupProgram, FindsTheOffsetAtTheElectricalZero) {
  const ResolverCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor.type = SensorType::resolver;
  motor.motor_sensor.offset_deg = c.mounting_deg;
  Scenario scenario;
  scenario.resolver_signals.carrier_phase_deg = c.carrier_deg;
  Drive drive = LoadedDrive(motor, scenario, {{"MECRESL", kCounts}, {"ENC2THL", kEnc2thl}});
  LaunchPreliminary(drive);
  RunProgram(drive, 8.0);
  LaunchProgram(drive, "RES_Setup_Resolver_Test",
                {{"RefTest", drive.ReadVariable("REFTST_V").value_or(0)}, {"IncTheta", 50}});
  RunToEnd(drive, 10.0);
  const std::int32_t zaoff = drive.ReadVariable("ZAOFF").value_or(-1);
  EXPECT_NEAR(zaoff, c.zaoff, 1);
  EXPECT_NEAR(std::remainder(drive.ResolverDemodulationPhase_rad() * 180.0 / std::numbers::pi - c.carrier_deg, 360.0),
              0.0, 2.5);
  EXPECT_EQ(drive.Mer(), 0);
}

INSTANTIATE_TEST_SUITE_P(Mountings, ResolverSetupProgram,
                         ::testing::Values(ResolverCase{0.0, 0.0, 0}, ResolverCase{100.0, 40.0, 1820},
                                           ResolverCase{-30.0, 47.0, 10922}, ResolverCase{359.0, -20.0, 16201}));

}  // namespace
}  // namespace drivesim::testing
