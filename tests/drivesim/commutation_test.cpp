// Commutation angles: SSI words of 12, 16, 17 and 20 bits with ZAOFF in min(B, 16)-bit units and
// the resolver worked by hand; the drive commutating from every source on a running motor; the
// linear Hall counter.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "control/angle_source.h"
#include "servo_program.h"

namespace drivesim::testing {
namespace {

// 4 pole pairs. SSI: ENC2THL = 4·2^(32 − B), a quarter electrical turn is 2^B/16 counts.
//   B = 12, ZAOFF 1000: (1256 − 1000)·4·16 = 16384, three turns on and one back alike.
//   B = 17: 80001 at alignment → 40000 in 16-bit units, ZAOFF 40000 mod 16384 = 7232: ≡ 0; + 8192 → 16384.
//   B = 20: 640016 → 40001, ZAOFF 7233; + 65536 + 15 → 16384.
// Resolver (B 0), MECRESL 4096, ENC2THL 4·2^32/4096, ZAOFF 100: (356 − 100)·4·65536/4096 = 16384; 99 → −64.
TEST(AngleSource, AbsoluteAndResolverCounts) {
  const std::vector<std::array<std::int64_t, 5>> cases = {   // B, ENC2THL, ZAOFF, counter, θ_e16
      {12, 4194304, 1000, 1256, 16384},  {12, 4194304, 1000, 13544, 16384}, {12, 4194304, 1000, -2840, 16384},
      {16, 262144, 7232, 11328, 16384},  {17, 131072, 7232, 80001, 0},      {17, 131072, 7232, 88193, 16384},
      {20, 16384, 7233, 640016, 0},      {20, 16384, 7233, 705567, 16384},  {0, 4194304, 100, 356, 16384},
      {0, 4194304, 100, 356 - 4096, 16384}, {0, 4194304, 100, 99, -64}};
  for (const auto& [bits, enc2thl, zaoff, counter, angle] : cases) {
    control::AngleRegisters r;
    r.ssiBits = static_cast<int>(bits);
    r.enc2thl = enc2thl;
    r.zaoff = static_cast<std::int32_t>(zaoff);
    r.mecresl = 4096;
    const auto count = static_cast<std::int32_t>(counter);
    EXPECT_EQ(bits > 0 ? control::AbsoluteAngle16(count, r) : control::ResolverAngle16(count, r), angle)
        << "B " << bits << ", counter " << counter;
  }
}

struct SourceCase {
  const char* name;
  SensorType type;
  bool halls;
  RegisterValues registers;
  double start_deg, tolerance16;   // rotor at COMMUTATE (electrical); |commutation − true angle|
};

void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }

class CommutationSource : public ::testing::TestWithParam<SourceCase> {};

// COMMUTATE on the rotor at rest, then 1000 counts (0.305 A) of torque current for 60 ms: the
// angle must match the true one and the rotor reach ω = (K·i − T_c)/J·t within the current
// loop's rise (a block's torque per pair ampere lies between 1 and 2/√3 of the sinusoidal one).
TEST_P(CommutationSource, TurnsTheRotorWithTheTrueAngle) {
  const SourceCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor.type = c.type;
  motor.motor_sensor.lines = c.type == SensorType::sincos ? 512 : 2000;
  motor.motor_sensor.offset_deg = 37.0;   // SSI, resolver: read 37° at θ_m = 0
  if (c.halls) motor.halls = HallModel{};
  Drive drive = LoadedDrive(motor, {}, c.registers);
  SetupOptions options;
  options.sincos_fract = 6;
  ASSERT_TRUE(drive.SetSetupOptions(options).ok());
  drive.HandTurn(c.start_deg / 4.0 * M_PI / 180.0, 0.05);
  drive.RunUntil(0.2);
  drive.HandRelease();
  drive.RunUntil(0.25);
  double error16 = 0.0;
  const auto torque = ServoConfigOf(control::ServoMode::torque);
  LaunchServo(drive, torque, [&](const programs::ProgramHost& host, control::Servo& servo, int k) {
    if (k == 0) servo.SetCurrentReference(1000);
    // The angle of the last fast sample, one current period ago.
    const double electrical = 4.0 * (drive.ShaftPosition() - drive.ShaftSpeed() * 1e-4);
    error16 = std::remainder(host.CommutationAngle() - electrical * 32768.0 / M_PI, 65536.0);
  });
  drive.RunUntil(0.31);
  EXPECT_LE(std::abs(error16), c.tolerance16);
  const double ideal = (0.12 * 1000 / kCurrentScale - 0.002) / 1e-4 * 0.06;
  EXPECT_NEAR(drive.ShaftSpeed(), 1.05 * ideal, 0.15 * ideal);
}

// Encoder: ENC2THL 4·2^30/2000. Sin/cos, 512 periods at 2^6 steps a quarter period commutated at
// 2^2 (ELRES_FRACT): 4·2^30/(512·2^2). Halls [1, 2, 3], HALLCASE 2, OSR start code 8: with ACR
// bit 15 the sinusoidal start takes the sector centre 0° at 20° and corrects itself at the edge
// at 30°; blocks otherwise. SSI 17 bits reading 37° at θ_m = 0: floor(2^17·37/360) = 13471 →
// 6735 in 16-bit units = ZAOFF. Resolver (MECRESL 4096) at 37°: floor(4096·37/360) = 420 = ZAOFF. Linear Halls nominally calibrated.
INSTANTIATE_TEST_SUITE_P(
    Sources, CommutationSource,
    ::testing::Values(
        SourceCase{"Encoder", SensorType::incremental, false, {{"ENC2THL", 2147483}}, 0.0, 40.0},
        SourceCase{"SinCos", SensorType::sincos, false, {{"ENC2THL", 2097152}, {"ELRES_FRACT", 2}}, 0.0, 40.0},
        SourceCase{"SinusoidalHallStart", SensorType::incremental, true,
                   {{"ENC2THL", 2147483}, {"OSR", 8}, {"ACR", 0x8000}, {"HALLCASE", 2}}, 20.0, 150.0},
        SourceCase{"HallBlocks", SensorType::incremental, true, {{"ENC2THL", 2147483}, {"OSR", 8}, {"HALLCASE", 2}},
                   20.0, 5461.0 + 150.0},
        SourceCase{"Ssi17", SensorType::ssi, false, {{"ENC2THL", 131072}, {"SSIREV", 17}, {"ZAOFF", 6735}}, 50.0, 40.0},
        SourceCase{"Resolver", SensorType::resolver, false, {{"ENC2THL", 4194304}, {"MECRESL", 4096}, {"ZAOFF", 420}}, 50.0,
                   80.0},
        SourceCase{"LinearHalls", SensorType::linear_hall, false, {{"DBTTH", 4}}, 50.0, 300.0}),
    [](const auto& param) { return std::string(param.param.name); });

// SCR bit 13 clear: blocks on the encoder's angle. 1 A of torque current, the shaft held 20°
// electrical past the commutated zero: sinusoidal, the current at 110° (A: cos 110° = −0.34 A);
// blocks, sector 0 (B+ C−) with phase A open and 1 A through B.
TEST(TrapezoidalCommutation, DrivesThePairOfTheEncoderSector) {
  for (const auto& [scr, phaseA, phaseB] : {std::tuple{0x2000, -0.34, 0.94}, {0, 0.0, 1.0}}) {
    Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"ENC2THL", 2147483}, {"SCR", scr}});
    drive.HandHold();
    LaunchServo(drive, ServoConfigOf(control::ServoMode::torque),
                [](const programs::ProgramHost&, control::Servo& servo, int k) {
                  if (k == 0) servo.SetCurrentReference(3274);
                });
    drive.RunUntil(0.002);
    drive.HandTurn(5.0 * M_PI / 180.0, 0.02);
    drive.RunUntil(0.1);
    EXPECT_NEAR(drive.PhaseCurrents_A()[0], phaseA, 0.05) << scr;
    EXPECT_NEAR(drive.PhaseCurrents_A()[1], phaseB, 0.05) << scr;
  }
}

// APOS_MT of linear Halls unwraps the calibrated ADC angle: an eighth of an electrical turn by
// hand is 512 counts at DBTTH 4. HALLAOFF 5000 counts high (a quarter of the amplitude taken off
// channel A) reads −9.63° at θ_e = 0 and 37.24° at 45°: 533 counts. Loading it moves nothing.
TEST(LinearHallCounter, FollowsTheCalibratedChannels) {
  for (const std::int32_t offset : {32736, 32736 + 5000}) {
    MotorModel motor = ReferenceMotor();
    motor.motor_sensor.type = SensorType::linear_hall;
    Drive drive = LoadedDrive(motor, {}, {{"DBTTH", 4}, {"HALLAOFF", offset}});
    const std::int32_t before = drive.ReadVariable("APOS_MT").value_or(0);
    drive.HandTurn(45.0 / 4.0 * M_PI / 180.0, 0.1);
    drive.RunUntil(0.3);
    EXPECT_NEAR(drive.ReadVariable("APOS_MT").value_or(0) - before, offset == 32736 ? 512 : 533, 4) << offset;
  }
}

}  // namespace
}  // namespace drivesim::testing
