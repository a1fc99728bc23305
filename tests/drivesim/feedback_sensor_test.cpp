// The sensors on the feedback inputs as the drive decodes them: sin/cos interpolation, linear
// Halls, the resolver's emulated encoder, SSI/BiSS words (Gray or binary, multi-turn, direction,
// offset), load sensors behind a transmission and the connector mapping with both captures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "reference_drive.h"
#include "sensors/feedback.h"

namespace drivesim::testing {
namespace {

MotorModel FrictionlessMotor(const SensorModel& sensor) {
  MotorModel motor = ReferenceMotor();
  motor.coulomb_friction = 0.0;
  motor.viscous_friction = 0.0;
  motor.motor_sensor = sensor;
  return motor;
}

// Turns the shaft by `turns` revolutions by hand and returns APOS_MT before and after.
std::pair<std::int32_t, std::int32_t> TurnByHand(Drive& drive, double turns) {
  const std::int32_t before = drive.ReadVariable("APOS_MT").value_or(-1);
  drive.HandTurn(turns * 2.0 * M_PI, 1.0);
  drive.RunUntil(drive.Now_s() + 2.0);
  return {before, drive.ReadVariable("APOS_MT").value_or(-1)};
}

struct SensorCase {
  const char* name;
  SensorModel sensor;
  RegisterValues registers;   // on top of the reference registers
  SetupOptions options;
  double turns;
  std::int32_t atStart;       // APOS_MT at θ_m = 0
  std::int32_t change;        // APOS_MT change over the turns
  std::int32_t tolerance;     // the hand's residual error, in counts
};

constexpr SensorModel kSinCos512{.type = SensorType::sincos, .lines = 512};

SensorModel Absolute(SensorType type, int bits, int turns, bool gray, double offset_deg, bool reversed = false) {
  return {.type = type, .reversed = reversed, .single_turn_bits = bits, .turn_bits = turns, .gray = gray,
          .offset_deg = offset_deg};
}

RegisterValues Ssi(int bits, int turns, int type, int sense) {
  return {{"SSIREV", bits}, {"SSITURNS", turns}, {"SSITYPE", type}, {"SSISENSE", sense}};
}

class FeedbackSensorCounts : public ::testing::TestWithParam<SensorCase> {};

TEST_P(FeedbackSensorCounts, HandTurnsGiveTheDecodedCount) {
  const SensorCase& c = GetParam();
  Drive drive = LoadedDrive(FrictionlessMotor(c.sensor), {}, c.registers);
  ASSERT_TRUE(drive.SetSetupOptions(c.options).ok());
  const auto [before, after] = TurnByHand(drive, c.turns);
  EXPECT_EQ(before, c.atStart);
  EXPECT_NEAR(after - before, c.change, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Sensors, FeedbackSensorCounts,
    ::testing::Values(
        // A 2000-line encoder: 8000 counts per revolution; a reversed encoder and the counting
        // direction each invert the count, both together cancel.
        SensorCase{"Forward", {}, {}, {}, 3.0, 0, 24000, 1},
        SensorCase{"Backward", {}, {}, {}, -3.0, 0, -24000, 1},
        SensorCase{"Reversed", {.reversed = true}, {}, {}, 3.0, 0, -24000, 1},
        SensorCase{"CountingDirection", {}, {{"COUNTINGDIR_MT", 1}}, {}, 3.0, 0, -24000, 1},
        SensorCase{"BothCancel", {.reversed = true}, {{"COUNTINGDIR_MT", 1}}, {}, 3.0, 0, 24000, 1},
        // sin/cos, 512 periods: 4·512·2^k counts per revolution.
        SensorCase{"SinCosNoInterpolation", kSinCos512, {}, {}, 1.0, 0, 2048, 1},
        SensorCase{"SinCosInterpolated6Bits", kSinCos512, {}, {.sincos_fract = 6}, 1.0, 0, 131072, 40},
        SensorCase{"SinCosCountingDirection", kSinCos512, {{"COUNTINGDIR_MT", 1}}, {}, 1.0, 0, -2048, 1},
        // Linear Halls, DBTTH 4: 4096 counts per electrical period, 4 periods per revolution.
        SensorCase{"LinearHalls", {.type = SensorType::linear_hall}, {{"DBTTH", 4}}, {}, -1.0, 0, -16384, 2},
        // Resolver: the emulated encoder of MECRESL counts per revolution.
        SensorCase{"Resolver", {.type = SensorType::resolver}, {{"MECRESL", 4096}}, {}, 2.0, 0, 8192, 1},
        // SSI 12 bits + 4 turns, binary: absolute at start (offset 90° = 1024), unwrapped over turns.
        SensorCase{"Ssi12Binary", Absolute(SensorType::ssi, 12, 4, false, 90.0), Ssi(12, 4, 0, 1), {}, 3.0, 1024,
                   12288, 1},
        // Beyond the 4 turn bits the word wraps, the counter does not.
        SensorCase{"Ssi12PastTheTurnBits", Absolute(SensorType::ssi, 12, 2, false, 0.0), Ssi(12, 2, 0, 1), {}, 5.0,
                   0, 20480, 1},
        SensorCase{"Ssi17Gray", Absolute(SensorType::ssi, 17, 12, true, 45.0), Ssi(17, 12, 1, 1), {}, -2.0, 16384,
                   -262144, 40},
        SensorCase{"BissReversedWithSense", Absolute(SensorType::biss, 16, 0, false, 0.0, true), Ssi(16, 0, 0, -1), {},
                   1.0, 0, 65536, 20},
        SensorCase{"SsiSenseReverses", Absolute(SensorType::ssi, 16, 0, false, 0.0), Ssi(16, 0, 0, -1), {}, 1.0, 0,
                   -65536, 20}),
    [](const auto& param) { return std::string(param.param.name); });

// A Gray encoder read as binary is not a position: the count jumps instead of following the
// shaft.
TEST(FeedbackSensor, GrayWordReadAsBinaryDoesNotFollowTheShaft) {
  Drive drive = LoadedDrive(FrictionlessMotor(Absolute(SensorType::ssi, 12, 0, true, 0.0)), {}, Ssi(12, 0, 0, 1));
  const auto [before, after] = TurnByHand(drive, 0.3);
  EXPECT_GT(std::abs(after - before - 1229), 8);
}

TEST(FeedbackSensor, GrayCodeRoundTripsAndChangesOneBitPerStep) {
  for (std::uint64_t x = 0; x < 5000; ++x) {
    ASSERT_EQ(sensors::FromGray(sensors::ToGray(x)), x);
    ASSERT_EQ(__builtin_popcountll(sensors::ToGray(x) ^ sensors::ToGray(x + 1)), 1) << x;
  }
  EXPECT_EQ(sensors::ToGray(0b1011), 0b1110u);
}

struct WiringCase {
  const char* name;
  int motorConnector, loadConnector;
};

class DualLoopWiring : public ::testing::TestWithParam<WiringCase> {};

// Motor encoder 2000 lines, load encoder 1000 lines behind r = 3: three motor turns are 24000
// counts on APOS_MT and one load turn, 4000 counts, on APOS_LD, whichever input each is on; the
// index of each input captures into its own register.
TEST_P(DualLoopWiring, CountersFollowTheirSensorsAndEachInputCaptures) {
  const WiringCase& c = GetParam();
  MotorModel motor = FrictionlessMotor(ReferenceMotor().motor_sensor);
  motor.load_sensor = SensorModel{.lines = 1000, .index_deg = 10.0};
  motor.load_displacement = motor.motor_displacement / 3.0;
  Drive drive = LoadedDrive(motor);
  ASSERT_TRUE(
      drive.SetSetupOptions({.motor_sensor_connector = c.motorConnector, .load_sensor_connector = c.loadConnector}).ok());
  ASSERT_TRUE(drive.ExecuteCommand("!CAP;ENCAPI1;").ok());
  ASSERT_TRUE(drive.ExecuteCommand("!CAP;EN2CAPI1;").ok());
  TurnByHand(drive, 3.0);
  EXPECT_NEAR(drive.ReadVariable("APOS_MT").value_or(0), 24000, 1);
  EXPECT_NEAR(drive.ReadVariable("APOS_LD").value_or(0), 4000, 1);
  // Motor index at 123.4°: counter floor(8000·123.4/360) + 1 = 2743 at the edge (2742 crossed);
  // load index at 10° of the load: motor at 30°, load counter 4000·10/360 → 112.
  const auto motorCapture = c.motorConnector == 0 ? "CAPPOS" : "CAPPOS2";
  const auto loadCapture = c.motorConnector == 0 ? "CAPPOS2" : "CAPPOS";
  EXPECT_NEAR(drive.ReadVariable(motorCapture).value_or(0), 2742, 1);
  EXPECT_NEAR(drive.ReadVariable(loadCapture).value_or(0), 111, 1);
}

INSTANTIATE_TEST_SUITE_P(Connectors, DualLoopWiring,
                         ::testing::Values(WiringCase{"MotorOnFirstInput", 0, 1}, WiringCase{"MotorOnSecondInput", 1, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(FeedbackSensor, SetupOptionsRejectBadWiring) {
  MotorModel motor = ReferenceMotor();
  motor.load_sensor = SensorModel{};
  Drive drive(ReferenceHardware(), motor);
  EXPECT_EQ(drive.SetSetupOptions({.load_sensor_connector = 0}).error,
            "motor and load sensor cannot share feedback input 0");
  EXPECT_EQ(drive.SetSetupOptions({.motor_sensor_connector = 2}).error,
            "motor sensor connector 2 is not a feedback input (0 or 1)");
  EXPECT_EQ(drive.SetSetupOptions({.sincos_fract = 21}).error, "sin/cos interpolation 21 is outside 0 … 20");
}

}  // namespace
}  // namespace drivesim::testing
