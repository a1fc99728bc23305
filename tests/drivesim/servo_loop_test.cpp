// The drive's cascade on the simulated motor against the same loops on real numbers, the routing
// of the loops (rate, cascade or direct, the program's limits), and the protections of
// closed-loop motion: the control error after exactly TERRMAX / TSERRMAX slow samples beyond
// ERRMAX / SERRMAX (65535: off), the limit switches' quick stop, missing Halls.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "servo_program.h"

namespace drivesim::testing {
namespace {

using control::ServoMode;

// A 50 000-line encoder (31 831 counts/rad): one count is 0.6 % of the steps below.
constexpr double kCountsPerRad = 200000.0 / (2.0 * M_PI), kTs = 1e-3, kTc = 1e-4;
constexpr double kX = 1e-4 / 0.12 * kCurrentScale / (kCountsPerRad * kTs);   // X·Iscale/S

// A gain as the drive's pair K·2^s/32767, s = ceil(log2 k) above 1, else 0; the drive applies K·2^s/32768.
struct Pair {
  std::int32_t k, s;
  explicit Pair(double gain) : s(gain > 1.0 ? static_cast<int>(std::ceil(std::log2(gain))) : 0) {
    k = static_cast<std::int32_t>(std::lround(gain * 32767.0 / std::ldexp(1.0, s)));
  }
  double Effective() const { return k * std::ldexp(1.0, s) / 32768.0; }
};

// The loops on real numbers: outer PI(s) every Ts_S, current PI every Ts_C with its voltage acting
// over the next period, q-axis RL with back-EMF and a rigid rotor (50 sub-steps a period). No
// quantisation, no clamps, no d axis. Sample() returns the speed and position the outer loops saw.
struct LinearCascade {
  std::vector<Pair> gains;   // current Kp, Ki; speed Kp, Ki; position Kp, Ki
  bool position;
  double i = 0, w = 0, theta = 0, volts = 0, last = 0, iRef = 0, integral[3] = {0, 0, 0};

  double PI(int loop, double error) {
    integral[loop] += gains[static_cast<std::size_t>(2 * loop + 1)].Effective() * error;
    return gains[static_cast<std::size_t>(2 * loop)].Effective() * error + integral[loop];
  }
  std::pair<double, double> Sample(double reference) {
    const double counts = theta * kCountsPerRad, speed = counts - last;
    last = counts;
    iRef = PI(1, (position ? PI(2, reference - counts) : reference) - speed);
    for (int k = 0; k < 10; ++k) {
      const double applied = volts;
      volts = PI(0, iRef - i * kCurrentScale) / kVoltageScale;
      for (int n = 0; n < 50; ++n) {
        i += kTc / 50 * (applied - 0.9 * i - 4.0 * w * 0.02) / 1.2e-3;
        w += kTc / 50 * 0.12 * i / 1e-4;
        theta += kTc / 50 * w;
      }
    }
    return {speed, counts};
  }
};

struct CascadeCase {
  const char* name;
  ServoMode mode;
  double positionBand, step;   // step: speed (counts/sample) or position (counts)
  int samples;
};

class ServoCascade : public ::testing::TestWithParam<CascadeCase> {};

// The tunings' gains (speed: Kp = 2ζω·X·Iscale/S, Ki = ω²·T·X·Iscale/S at 200 rad/s; position,
// cascade on one sensor: Kp = 2ζω·T, Ki = ω²·T² at 20 rad/s; current: the reference's 24226/1,
// 5963/0), noise off: speed step of 5 rad/s, position step of 2000 counts, within 2 % of the step.
TEST_P(ServoCascade, FollowsTheLinearDiscreteModel) {
  const CascadeCase& c = GetParam();
  const bool position = c.mode == ServoMode::position;
  const double wp = c.positionBand;
  LinearCascade model{{Pair(1.47867), Pair(0.18199), Pair(400.0 * kX), Pair(4e4 * kTs * kX), Pair(2.0 * wp * kTs),
                       Pair(wp * wp * kTs * kTs)},
                      position};
  MotorModel motor = ReferenceMotor();
  motor.coulomb_friction = motor.viscous_friction = 0.0;
  motor.motor_sensor.lines = 50000;
  DriveHardware hardware = ReferenceHardware();
  hardware.supply_resistance_ohm = 0.0;
  Scenario scenario;
  scenario.ideal_converters = true;
  scenario.current_noise = false;
  const auto& g = model.gains;
  ASSERT_EQ(g[2].k, 17551);  // 34.28 = 17551·2^6/32767
  Drive drive = LoadedDrive(motor, scenario,
                            {{"ENC2THL", 85899}, {"KPS", g[2].k}, {"SFTKPS", g[2].s}, {"KIS", g[3].k},
                             {"SFTKIS", g[3].s}, {"KPP", g[4].k}, {"SFTKPP", g[4].s}, {"KIP", g[5].k},
                             {"SFTKIP", g[5].s}, {"ACR", 0x200}},
                            hardware);
  std::vector<double> measured;
  LaunchServo(drive, ServoConfigOf(c.mode), [&](const programs::ProgramHost&, control::Servo& s, int k) {
    if (k > 0) return measured.push_back(position ? s.Position() : s.Speed());
    s.SetSpeedReference16(position ? 0 : static_cast<std::int64_t>(c.step) << 16);
    s.SetTargetPosition(position ? static_cast<std::int32_t>(c.step) : 0);
  });
  drive.RunUntil(c.samples * kTs + 1e-5);
  ASSERT_EQ(measured.size(), static_cast<std::size_t>(c.samples));
  double peak = 0.0;
  for (std::size_t k = 0; k < measured.size(); ++k) {
    const auto [speed, counts] = model.Sample(c.step);
    peak = std::max(peak, position ? counts : speed);
    EXPECT_NEAR(measured[k], position ? counts : speed, 0.02 * c.step) << "sample " << k + 1;
  }
  EXPECT_GT(peak, 1.02 * c.step);  // the comparison covers the overshoot
}

INSTANTIATE_TEST_SUITE_P(Loops, ServoCascade,
                         ::testing::Values(CascadeCase{"SpeedStep", ServoMode::speed, 0.0, 159.0, 60},
                                           CascadeCase{"PositionStep", ServoMode::position, 20.0, 2000.0, 400}),
                         [](const auto& param) { return std::string(param.param.name); });

// Rotor locked; Kp = Ki = 0.5 (16384/0) for speed, Kp 0.5 for position. At the fifth slow sample:
//   speed 100: P 50 + I 5·50 = 300; UPGRADE bit 6: 49 samples at Ts_C before it → 2500; the
//   program's current limit 200 caps output and integral. Position 1000, direct (also by ACR
//   bit 9 clear): 500 (limit 300); cascade: 500 held to the program's speed 40 → P 20 + I 5·20 = 120.
TEST(ServoRouting, CurrentReferenceAtTheFifthSample) {
  struct Case {
    control::ServoConfig servo;
    std::int32_t upgrade, reference, fifth;
  };
  const Case cases[] = {{ServoConfigOf(ServoMode::speed), 0, 100, 300},
                        {ServoConfigOf(ServoMode::speed), 0x40, 100, 2500},
                        {ServoConfigOf(ServoMode::speed, true, 200), 0, 100, 200},
                        {ServoConfigOf(ServoMode::position, false), 0, 1000, 500},
                        {ServoConfigOf(ServoMode::position), 0, 1000, 500},
                        {ServoConfigOf(ServoMode::position, false, 300, 40), 0, 1000, 300},
                        {ServoConfigOf(ServoMode::position, true, {}, 40), 0, 1000, 120}};
  for (std::size_t n = 0; n < std::size(cases); ++n) {
    const Case& c = cases[n];
    Drive drive = LoadedDrive(ReferenceMotor(), LockedRotor(),
                              {{"KPS", 16384}, {"KIS", 16384}, {"KPP", 16384}, {"UPGRADE", c.upgrade}});
    std::int32_t fifth = 0;
    LaunchServoStep(drive, c.servo, c.reference, [&](control::Servo& servo, int k) {
      if (k == 5) fifth = servo.CurrentReference();
    });
    drive.RunUntil(6e-3);
    EXPECT_EQ(fifth, c.fifth) << "case " << n;
  }
}

// Rotor locked, no gains but KPP where named: the errors stay at the references (speed 100
// counts/sample, target 5000). Trip at the named sample (0: none within 100), not one earlier.
TEST(ControlError, TripsAfterExactlyTheSampleCount) {
  using control::ServoMode;
  struct Case {
    ServoMode mode;
    RegisterValues registers;
    int tripSample;
  };
  const std::vector<Case> cases = {
      {ServoMode::speed, {{"SERRMAX", 50}, {"TSERRMAX", 5}}, 5},
      {ServoMode::speed, {{"SERRMAX", 100}, {"TSERRMAX", 5}}, 0},   // at the limit is no error
      {ServoMode::speed, {{"SERRMAX", 50}, {"TSERRMAX", 65535}}, 0},
      {ServoMode::position, {{"ERRMAX", 1000}, {"TERRMAX", 7}}, 7},
      {ServoMode::position, {{"ERRMAX", 1000}, {"ERRMAXL", 5000}, {"TERRMAX", 3}}, 0},   // ERRMAXL replaces ERRMAX
      // The cascade (ACR bit 9) closes the speed loop too: its reference 0.5·5000 = 2500 > 2000.
      {ServoMode::position, {{"ACR", 0x200}, {"KPP", 16384}, {"SERRMAX", 2000}, {"TSERRMAX", 4}}, 4}};
  for (std::size_t n = 0; n < cases.size(); ++n) {
    SCOPED_TRACE("case " + std::to_string(n));
    const Case& c = cases[n];
    Drive drive = LoadedDrive(ReferenceMotor(), LockedRotor(), c.registers);
    LaunchServoStep(drive, ServoConfigOf(c.mode), c.mode == ServoMode::position ? 5000 : 100);
    const int samples = c.tripSample > 0 ? c.tripSample : 100;
    drive.RunUntil((samples - 0.5) * 1e-3);
    EXPECT_EQ(drive.Mer(), 0);
    drive.RunUntil((samples + 0.02) * 1e-3);
    EXPECT_EQ(drive.Mer(), c.tripSample > 0 ? mer::kControlError : 0);
    EXPECT_EQ(drive.ProgramRunning() && drive.AxisOn(), c.tripSample == 0);
  }
}

// DIGIN_ACTIVE_LEVEL 0xA000: ENABLE and LSP active high, LSN active low; 0xC000: LSN high, LSP
// low. A switch trips towards its side (reference or speed), not away from it: the bit at the
// first sample, current reference 0 for 20 ms with the axis on, then off; the bit survives a
// reset while the input stays active.
TEST(LimitSwitch, QuickStopsMotionTowardsIt) {
  struct Case {
    std::int32_t reference, levels;
    bool lspHigh, lsnHigh;
    double hand_rad;
    std::uint16_t bit;
  };
  const std::vector<Case> cases = {{20, 0xA000, true, true, 0.0, mer::kPositiveLimit},
                                   {20, 0xC000, false, false, 0.0, mer::kPositiveLimit},
                                   {-20, 0xC000, true, true, 0.0, mer::kNegativeLimit},
                                   {-20, 0xA000, false, false, 0.0, mer::kNegativeLimit},
                                   {-20, 0xA000, true, true, 0.0, 0},
                                   {20, 0xC000, true, true, 0.0, 0},
                                   {0, 0xC000, false, true, -1.0, mer::kNegativeLimit}};  // turned by hand
  for (std::size_t n = 0; n < cases.size(); ++n) {
    SCOPED_TRACE("case " + std::to_string(n));
    const Case& c = cases[n];
    Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"DIGIN_ACTIVE_LEVEL", c.levels}});
    LaunchServoStep(drive, ServoConfigOf(control::ServoMode::speed), c.reference);
    const bool enableHigh = (c.levels & 0x8000) != 0;
    drive.SetDigitalInputLevels(enableHigh, c.lspHigh, c.lsnHigh);
    if (c.hand_rad != 0.0) drive.HandTurn(c.hand_rad, 0.1);
    drive.RunUntil(5.02e-3);
    EXPECT_EQ(drive.Mer(), c.bit);
    drive.HandRelease();
    drive.RunUntil(15e-3);
    EXPECT_TRUE(drive.AxisOn());
    if (c.bit == 0) continue;
    EXPECT_EQ(drive.ReadVariable("Current_Reference"), 0);
    drive.RunUntil(30e-3);
    EXPECT_FALSE(drive.AxisOn() || drive.ProgramRunning());
    drive.Reset();
    drive.SetDigitalInputLevels(enableHigh, !c.lspHigh, !c.lsnHigh);
    EXPECT_EQ(drive.Mer(), c.bit);
    drive.Reset();
    EXPECT_EQ(drive.Mer(), 0);
  }
}

// Switches at ±0.25 rev of the load behind a 3:1 transmission: moving at ±20 counts a sample the
// motor turns 0.75 rev before the load reaches LSP (LSN backwards).
TEST(LimitSwitch, FollowsTheLoadThroughTheTransmission) {
  MotorModel motor = ReferenceMotor();
  motor.motor_displacement = 3.0 * 2.0 * M_PI;
  for (const auto& [reference, bit] : {std::pair{20, mer::kPositiveLimit}, {-20, mer::kNegativeLimit}}) {
    Drive drive = LoadedDrive(motor, {}, {{"ENC2THL", 2147484}, {"KPS", 27424}, {"SFTKPS", 10}, {"KIS", 21939},
                                          {"SFTKIS", 7}});
    ASSERT_TRUE(drive.SetLimitSwitchPosition(Drive::DigitalInput::positive_limit, 0.5 * M_PI).ok());
    ASSERT_TRUE(drive.SetLimitSwitchPosition(Drive::DigitalInput::negative_limit, -0.5 * M_PI).ok());
    LaunchServoStep(drive, ServoConfigOf(control::ServoMode::speed), reference);
    while (drive.Mer() == 0 && drive.Now_s() < 1.0) drive.RunUntil(drive.Now_s() + 1e-3);
    EXPECT_EQ(drive.Mer(), bit);
    EXPECT_NEAR(std::abs(drive.ShaftPosition()) / (2.0 * M_PI), 0.75, 0.01) << reference;
  }
}

// A servo commutating with Halls that the motor lacks (code 7) trips 0x0020 at the third fast
// sample after engagement (ticks 0, 2, 4: 0.2 ms), PCR bit 6 or not.
TEST(HallMissing, TripsAHallCommutatedServo) {
  Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"OSR", 8}, {"HALLCASE", 2}});
  LaunchServoStep(drive, ServoConfigOf(control::ServoMode::torque), 0);
  drive.RunUntil(0.15e-3);
  EXPECT_EQ(drive.Mer(), 0);
  drive.RunUntil(0.25e-3);
  EXPECT_EQ(drive.Mer(), mer::kHallMissing);
  EXPECT_FALSE(drive.AxisOn());
}

}  // namespace
}  // namespace drivesim::testing
