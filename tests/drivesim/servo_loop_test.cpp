// The drive's cascade (current, speed and position loops on the simulated motor) against the
// same loops on real numbers: a linear discrete model with the current loop's one period of
// delay, the speed measured as the position's change per sample, no quantisation and no clamps.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "reference_drive.h"
#include "servo_program.h"

namespace drivesim::testing {
namespace {

constexpr double kLines = 50000.0;                                  // fine encoder: a count is 0.6 % of the steps below
constexpr double kCountsPerRad = 4.0 * kLines / (2.0 * M_PI);       // 31 831 counts/rad
constexpr double kTs = 1e-3, kTc = 1e-4;
constexpr double kInertia = 1e-4, kTorqueConstant = 0.12, kPolePairs = 4.0;
constexpr double kSpeedScale = kCountsPerRad * kTs;                 // S: counts/sample per rad/s
constexpr double kPlantGain = kInertia / kTorqueConstant;           // X = J/K

struct Gains {
  GainPair kpc{24226, 1}, kic{5963, 0};   // TuneCurrentController at 2000 rad/s, damping 1
  GainPair kps, kis, kpp{0, 0}, kip{0, 0};
};

// TuneSpeedController: Kp = 2ζω·X·Iscale/S, Ki = ω²·T·X·Iscale/S; TunePositionController
// (cascade, one sensor): Kp = 2ζω·S/P, Ki = ω²·T·S/P with S/P = T.
Gains Tuned(double speedBand, double positionBand) {
  Gains g;
  const double x = kPlantGain * kCurrentScale / kSpeedScale;
  g.kps = EncodeGain(2.0 * speedBand * x);
  g.kis = EncodeGain(speedBand * speedBand * kTs * x);
  if (positionBand > 0.0) {
    g.kpp = EncodeGain(2.0 * positionBand * kTs);
    g.kip = EncodeGain(positionBand * positionBand * kTs * kTs);
  }
  return g;
}

// The loops on real numbers, one fast tick at a time: outer loops at every tenth tick, then
// the current PI, whose voltage acts over the next period; q-axis RL with back-EMF, rigid rotor
// (integrated in 50 sub-steps per period).
class LinearCascade {
 public:
  LinearCascade(const Gains& g, bool positionLoop) : g_(g), positionLoop_(positionLoop) {}

  // One Ts_S: the outer loops, then ten current periods. Returns what the outer loops measured:
  // the speed (counts/sample) or the position (counts).
  struct Measured {
    double speed, position;
  };
  Measured Sample(double reference) {
    const Measured measured{OuterLoops(reference), lastPosition_};
    for (int k = 0; k < 10; ++k) Tick();
    return measured;
  }

 private:
  static double PI(GainPair kp, GainPair ki, double& integral, double error) {
    integral += EffectiveGain(ki) * error;
    return EffectiveGain(kp) * error + integral;
  }
  double OuterLoops(double reference) {
    const double position = theta_ * kCountsPerRad;
    const double speed = position - lastPosition_;
    lastPosition_ = position;
    const double speedReference = positionLoop_ ? PI(g_.kpp, g_.kip, positionIntegral_, reference - position) : reference;
    currentReference_ = PI(g_.kps, g_.kis, speedIntegral_, speedReference - speed);
    return speed;
  }
  void Tick() {
    const double u = PI(g_.kpc, g_.kic, currentIntegral_, currentReference_ - current_ * kCurrentScale);
    const double volts = pendingVolts_;
    pendingVolts_ = u / kVoltageScale;
    const double flux = kTorqueConstant / (1.5 * kPolePairs);
    const double h = kTc / 50.0;
    for (int n = 0; n < 50; ++n) {
      current_ += h * (volts - 0.9 * current_ - kPolePairs * omega_ * flux) / 1.2e-3;
      omega_ += h * kTorqueConstant * current_ / kInertia;
      theta_ += h * omega_;
    }
  }

  Gains g_;
  bool positionLoop_;
  double current_ = 0.0, omega_ = 0.0, theta_ = 0.0, pendingVolts_ = 0.0, lastPosition_ = 0.0;
  double currentIntegral_ = 0.0, speedIntegral_ = 0.0, positionIntegral_ = 0.0, currentReference_ = 0.0;
};

Drive FineEncoderDrive(const Gains& g, bool cascade) {
  MotorModel motor = ReferenceMotor();
  motor.coulomb_friction = 0.0;
  motor.viscous_friction = 0.0;
  motor.motor_sensor.lines = static_cast<int>(kLines);
  DriveHardware hardware = ReferenceHardware();
  hardware.supply_resistance_ohm = 0.0;
  Scenario scenario;
  scenario.ideal_converters = true;
  scenario.current_noise = false;
  Drive drive(hardware, motor, scenario);
  RegisterValues registers = ReferenceRegisters();
  registers.insert({{"ENC2THL", static_cast<std::int32_t>(std::lround(kPolePairs * std::ldexp(1.0, 30) / kLines))},
                    {"KPS", g.kps.gain}, {"SFTKPS", g.kps.shift}, {"KIS", g.kis.gain}, {"SFTKIS", g.kis.shift},
                    {"KPP", g.kpp.gain}, {"SFTKPP", g.kpp.shift}, {"KIP", g.kip.gain}, {"SFTKIP", g.kip.shift},
                    {"ACR", cascade ? 0x200 : 0}});
  EXPECT_TRUE(drive.LoadRegisters(registers).ok());
  return drive;
}

// The encoding of the tuning helpers reproduces the reference drive's registers.
TEST(ServoCascade, TunedGainsOfTheReferenceMotor) {
  const double x = kPlantGain * kCurrentScale / (8000.0 / (2.0 * M_PI) * kTs);
  const GainPair kp = EncodeGain(2.0 * 200.0 * x), ki = EncodeGain(200.0 * 200.0 * kTs * x);
  EXPECT_EQ(kp.gain, 27424);
  EXPECT_EQ(kp.shift, 10);
  EXPECT_EQ(ki.gain, 21939);
  EXPECT_EQ(ki.shift, 7);
}

struct CascadeCase {
  const char* name;
  control::ServoMode mode;
  double speedBand, positionBand;
  double step;   // speed (counts/sample) or position (counts)
  int samples;
};

class ServoCascade : public ::testing::TestWithParam<CascadeCase> {};

// Speed step of 5 rad/s (159 counts/sample) under 200 rad/s gains; position step of 2000
// counts under 20 rad/s over the speed loop. Within 2 % of the step at every sample.
TEST_P(ServoCascade, FollowsTheLinearDiscreteModel) {
  const CascadeCase& c = GetParam();
  const bool position = c.mode == control::ServoMode::position;
  const Gains gains = Tuned(c.speedBand, c.positionBand);
  Drive drive = FineEncoderDrive(gains, true);
  std::vector<double> measured;
  control::ServoConfig config;
  config.mode = c.mode;
  ASSERT_TRUE(LaunchServo(drive, config, [&](const programs::ProgramHost&, control::Servo& servo, int sample) {
                if (sample == 0) {
                  servo.SetSpeedReference16(position ? 0 : static_cast<std::int64_t>(c.step) << 16);
                  servo.SetTargetPosition(position ? static_cast<std::int32_t>(c.step) : 0);
                  return;
                }
                measured.push_back(position ? servo.Position() : servo.Speed());
              }).ok());
  drive.RunUntil(c.samples * kTs + 1e-5);
  ASSERT_EQ(measured.size(), static_cast<std::size_t>(c.samples));

  LinearCascade model(gains, position);
  double peak = 0.0;
  for (int k = 0; k < c.samples; ++k) {
    SCOPED_TRACE("sample " + std::to_string(k + 1));
    const LinearCascade::Measured sample = model.Sample(c.step);
    const double expected = position ? sample.position : sample.speed;
    peak = std::max(peak, expected);
    EXPECT_NEAR(measured[static_cast<std::size_t>(k)], expected, 0.02 * c.step);
  }
  EXPECT_GT(peak, 1.02 * c.step);  // the comparison covers the overshoot, not only the settled value
}

INSTANTIATE_TEST_SUITE_P(Loops, ServoCascade,
                         ::testing::Values(CascadeCase{"SpeedStep", control::ServoMode::speed, 200.0, 0.0, 159.0, 60},
                                           CascadeCase{"PositionStep", control::ServoMode::position, 200.0, 20.0,
                                                       2000.0, 400}),
                         [](const auto& param) { return std::string(param.param.name); });

struct RoutingCase {
  const char* name;
  control::ServoConfig config;
  std::int32_t reference;      // speed (counts/sample) or target (counts)
  RegisterValues registers;
  std::int32_t currentReference;   // at the fifth slow sample
};

void PrintTo(const RoutingCase& c, std::ostream* os) { *os << c.name; }

class ServoRouting : public ::testing::TestWithParam<RoutingCase> {};

// Rotor locked, so the errors stay put. Speed gains Kp = Ki = 0.5 (16384/0), position Kp 0.5.
//   speed 100: I = 5·50, P = 50 → 300; UPGRADE bit 6: 49 loop samples at Ts_C before the fifth
//   slow tick → 49·50 + 50 = 2500; the program's current limit 200 caps output and integral.
//   position 1000, direct: 0.5·1000 = 500 is the current reference (limit 300 → 300);
//   cascade: 500 limited to the program's speed 40 → P 20 + I 5·20 = 120.
TEST_P(ServoRouting, CurrentReferenceAtTheFifthSample) {
  const RoutingCase& c = GetParam();
  Scenario scenario;
  scenario.rotor_locked = true;
  Drive drive(ReferenceHardware(), ReferenceMotor(), scenario);
  RegisterValues registers = ReferenceRegisters();
  registers.insert({{"KPS", 16384}, {"SFTKPS", 0}, {"KIS", 16384}, {"SFTKIS", 0}, {"KPP", 16384}, {"SFTKPP", 0}});
  for (const auto& [name, value] : c.registers) registers[name] = value;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  std::int32_t fifth = 0;
  ASSERT_TRUE(LaunchServo(drive, c.config, [&](const programs::ProgramHost&, control::Servo& servo, int sample) {
                if (sample == 0) {
                  servo.SetSpeedReference16(static_cast<std::int64_t>(c.reference) << 16);
                  servo.SetTargetPosition(c.reference);
                }
                if (sample == 5) fifth = servo.CurrentReference();
              }).ok());
  drive.RunUntil(6e-3);
  EXPECT_EQ(fifth, c.currentReference);
}

control::ServoConfig Config(control::ServoMode mode, bool cascade, std::optional<std::int32_t> currentLimit,
                            std::optional<std::int32_t> speedLimit) {
  control::ServoConfig config;
  config.mode = mode;
  config.cascade = cascade;
  config.currentLimit = currentLimit;
  config.speedLimit = speedLimit;
  return config;
}

INSTANTIATE_TEST_SUITE_P(
    Loops, ServoRouting,
    ::testing::Values(
        RoutingCase{"SpeedAtTheSlowRate", Config(control::ServoMode::speed, true, {}, {}), 100, {}, 300},
        RoutingCase{"SpeedAtTheFastRate", Config(control::ServoMode::speed, true, {}, {}), 100, {{"UPGRADE", 0x40}}, 2500},
        RoutingCase{"SpeedWithTheProgramsCurrentLimit", Config(control::ServoMode::speed, true, 200, {}), 100, {}, 200},
        RoutingCase{"DirectPosition", Config(control::ServoMode::position, false, {}, {}), 1000, {}, 500},
        RoutingCase{"DirectPositionLimited", Config(control::ServoMode::position, false, 300, 40), 1000, {}, 300},
        RoutingCase{"CascadeWithTheProgramsSpeedLimit", Config(control::ServoMode::position, true, {}, 40), 1000, {},
                    120}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::testing
