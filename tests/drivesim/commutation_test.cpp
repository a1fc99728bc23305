// The drive commutating from each angle source: COMMUTATE on a rotor at rest, then a constant
// torque-producing current. After 60 ms the commutation angle must match the true electrical
// angle (within the source's resolution; a Hall sector's ±30° for block commutation) and the
// rotor must have accelerated with the torque that current gives.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "reference_drive.h"
#include "servo_program.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kCurrent = 1000;      // counts: 0.305 A, 0.0367 N·m
constexpr double kRun_s = 0.060;

struct SourceCase {
  const char* name;
  SensorModel sensor;
  bool halls;
  RegisterValues registers;
  SetupOptions options;
  double startElectrical_deg;   // rotor angle at COMMUTATE
  double tolerance16;           // |commutation angle − true angle| at the end
};

SensorModel Sensor(SensorType type) {
  SensorModel s;
  s.type = type;
  return s;
}

SensorModel Ssi17() {
  SensorModel s = Sensor(SensorType::ssi);
  s.single_turn_bits = 17;
  s.turn_bits = 12;
  s.offset_deg = 37.0;
  return s;
}

SensorModel SinCos512() {
  SensorModel s = Sensor(SensorType::sincos);
  s.lines = 512;
  return s;
}

SetupOptions Interpolation(int bits) {
  SetupOptions o;
  o.sincos_fract = bits;
  return o;
}

void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }

class CommutationSource : public ::testing::TestWithParam<SourceCase> {};

TEST_P(CommutationSource, TurnsTheRotorWithTheTrueAngle) {
  const SourceCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor = c.sensor;
  if (c.halls) motor.halls = HallModel{};
  Drive drive(ReferenceHardware(), motor);
  ASSERT_TRUE(drive.SetSetupOptions(c.options).ok());
  RegisterValues registers = ReferenceRegisters();
  registers.insert(c.registers.begin(), c.registers.end());
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  if (c.startElectrical_deg != 0.0) {
    drive.HandTurn(c.startElectrical_deg / 4.0 * M_PI / 180.0, 0.05);
    drive.RunUntil(drive.Now_s() + 0.2);
    drive.HandRelease();
    drive.RunUntil(drive.Now_s() + 0.05);
  }

  const double start_s = drive.Now_s();
  double error16 = 0.0;
  control::ServoConfig config;
  config.mode = control::ServoMode::torque;
  ASSERT_TRUE(LaunchServo(drive, config, [&](const programs::ProgramHost& host, control::Servo& servo, int sample) {
                if (sample == 0) servo.SetCurrentReference(kCurrent);
                // The angle of the last fast sample, one current period ago.
                const double electrical = 4.0 * (drive.ShaftPosition() - drive.ShaftSpeed() * 1e-4);
                const double true16 = electrical * 32768.0 / M_PI;
                error16 = std::remainder(host.CommutationAngle() - true16, 65536.0);
              }).ok());
  drive.RunUntil(start_s + kRun_s);
  EXPECT_LE(std::abs(error16), c.tolerance16);
  // ω = (K·i − T_c)/J·t within the current loop's rise; a block's torque per pair ampere lies
  // between 1 and 2/√3 of the sinusoidal one.
  const double ideal = (0.12 * kCurrent / kCurrentScale - 0.002) / 1e-4 * kRun_s;
  EXPECT_GT(drive.ShaftSpeed(), 0.9 * ideal);
  EXPECT_LT(drive.ShaftSpeed(), 1.2 * ideal);
}

// Encoder, 2000 lines: ENC2THL 4·2^30/2000. Sin/cos, 512 periods read at 2^6 steps a quarter
// period and commutated at 2^2 (ELRES_FRACT): ENC2THL 4·2^30/(512·2^2). Halls [1, 2, 3] without
// shift, HALLCASE 2: the sinusoidal Hall start (OSR code 8, ACR bit 15) at 20° takes the sector
// centre 0° and corrects itself at the edge at 30°; block commutation (no ACR bit 15) is right
// within its sector. SSI, 17 bits, encoder reading 37° at θ_m = 0: floor(2^17·37/360) = 13471 →
// 6735 in 16-bit units → ZAOFF 6735 mod 16384; ENC2THL 4·2^15. Resolver: MECRESL 4096 counting
// from θ_m = 0, ZAOFF 0, ENC2THL 4·2^32/4096. Linear Halls: nominal calibration, ZAOFF 0.
INSTANTIATE_TEST_SUITE_P(
    Sources, CommutationSource,
    ::testing::Values(
        SourceCase{"Encoder", ReferenceMotor().motor_sensor, false, {{"ENC2THL", 2147483}}, {}, 0.0, 40.0},
        SourceCase{"SinCosInterpolated", SinCos512(), false, {{"ENC2THL", 2097152}, {"ELRES_FRACT", 2}},
                   Interpolation(6), 0.0, 40.0},
        SourceCase{"SinusoidalHallStart", ReferenceMotor().motor_sensor, true,
                   {{"ENC2THL", 2147483}, {"OSR", 8}, {"ACR", 0x8000}, {"HALLCASE", 2}}, {}, 20.0, 150.0},
        SourceCase{"HallBlocks", ReferenceMotor().motor_sensor, true,
                   {{"ENC2THL", 2147483}, {"OSR", 8}, {"HALLCASE", 2}}, {}, 20.0, 5461.0 + 150.0},
        SourceCase{"Ssi17", Ssi17(), false,
                   {{"ENC2THL", 131072}, {"SSIREV", 17}, {"SSITURNS", 12}, {"ZAOFF", 6735}}, {}, 50.0, 40.0},
        SourceCase{"Resolver", Sensor(SensorType::resolver), false,
                   {{"ENC2THL", 4194304}, {"MECRESL", 4096}, {"ZAOFF", 0}}, {}, 50.0, 80.0},
        SourceCase{"LinearHalls", Sensor(SensorType::linear_hall), false, {{"DBTTH", 4}, {"ZAOFF", 0}}, {}, 50.0,
                   300.0}),
    [](const auto& param) { return std::string(param.param.name); });

// APOS_MT of linear Halls unwraps the calibrated ADC angle: an eighth of an electrical turn by
// hand is 512 counts at DBTTH 4 (4096 a period). An offset register 5000 counts high (a quarter
// of the amplitude taken off channel A) bends the angle: −9.63° read at θ_e = 0 and 37.24° at
// 45°, 533 counts. Loading the calibration itself does not move the counter.
TEST(LinearHallCounter, FollowsTheCalibratedChannels) {
  for (const std::int32_t offset : {32736, 32736 + 5000}) {
    SCOPED_TRACE("HALLAOFF " + std::to_string(offset));
    MotorModel motor = ReferenceMotor();
    motor.motor_sensor = Sensor(SensorType::linear_hall);
    Drive drive(ReferenceHardware(), motor);
    RegisterValues registers = ReferenceRegisters();
    registers.insert({{"DBTTH", 4}, {"HALLAOFF", offset}});
    ASSERT_TRUE(drive.LoadRegisters(registers).ok());
    const std::int32_t before = drive.ReadVariable("APOS_MT").value_or(0);
    drive.HandTurn(45.0 / 4.0 * M_PI / 180.0, 0.1);
    drive.RunUntil(0.3);
    const std::int32_t counted = drive.ReadVariable("APOS_MT").value_or(0) - before;
    EXPECT_NEAR(counted, offset == 32736 ? 512 : 533, 4);
  }
}

}  // namespace
}  // namespace drivesim::testing
