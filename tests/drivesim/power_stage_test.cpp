// Power stage: current ADC scale, saturation and noise; duty quantisation with its carry; the
// dead-time loss per leg; linear motors and transmissions as the mechanics see them.
#include <gtest/gtest.h>

#include <cmath>

#include "model/plant.h"
#include "model/power_stage.h"
#include "model/random.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

model::AdcChannel ReferenceCurrentAdc() {
  model::AdcChannel adc;
  adc.countsPerUnit = 65472.0 / 20.0;
  adc.step = 64;
  adc.lo = -32736;
  adc.hi = 32736;
  return adc;
}

TEST(CurrentAdc, OneAmpereIsIscaleCountsRoundedToTheStepAndTenAmperesSaturate) {
  model::AdcChannel adc = ReferenceCurrentAdc();
  model::NoiseSource noise(1);
  // Codes lie at −32736 + 64·k: 3273.6 → code 563 → 3296; 0 A reads +32 until calibrated.
  EXPECT_EQ(adc.Sample(1.0, noise), 3296);
  EXPECT_EQ(adc.Sample(0.0, noise), 32);
  EXPECT_EQ(adc.Sample(10.0, noise), 32736);
  EXPECT_EQ(adc.Sample(-10.0, noise), -32736);
  EXPECT_EQ(adc.Sample(10.5, noise), 32736);
  adc.ideal = true;
  EXPECT_EQ(adc.Sample(1.0, noise), 3274);      // whole counts without the ADC step
}

TEST(CurrentAdc, NoiseOfOneStepHasSigmaSixtyFourCountsAndNoBias) {
  model::AdcChannel adc = ReferenceCurrentAdc();
  adc.noiseSteps = 1.0;
  model::NoiseSource noise(5);
  const int n = 200000;
  double sum = 0.0, squares = 0.0;
  for (int k = 0; k < n; ++k) {
    const double v = adc.Sample(0.1, noise) - 327.36;
    sum += v;
    squares += v * v;
  }
  const double mean = sum / n;
  EXPECT_NEAR(mean, 0.0, 1.0);   // dithering removes the quantisation bias
  // σ² = 64² + 64²/12 (noise plus quantisation); the tabulated tails cut a little off.
  EXPECT_NEAR(std::sqrt(squares / n - mean * mean), std::sqrt(64.0 * 64.0 * (1.0 + 1.0 / 12.0)), 1.5);
}

TEST(Duty, CarryMakesTheMeanVoltageEqualTheCommand) {
  model::PowerStageParams p;
  model::PowerStageState s;
  s.driven = true;
  s.bus_V = 48.0;
  s.duty = {0.5123456, 0.5, 0.2500049};
  double sumA = 0.0, sumC = 0.0;
  const int n = 1000;
  for (int k = 0; k < n; ++k) {
    const auto v = model::LegVoltages(p, s, {0.0, 0.0, 0.0}, 0.0012, 1);
    sumA += v[0];
    sumC += v[2];
    EXPECT_NEAR(v[0] / 48.0 * 1000.0, std::round(v[0] / 48.0 * 1000.0), 1e-9);  // whole ticks
  }
  EXPECT_NEAR(sumA / n, 0.5123456 * 48.0, 1e-6 * 48.0);
  EXPECT_NEAR(sumC / n, 0.2500049 * 48.0, 1e-6 * 48.0);
  p.quantiseDuty = true;
  model::PowerStageState noCarry = s;
  noCarry.carry = {0.0, 0.0, 0.0};
  // Without the carry the error of one period reaches up to half a tick (24 mV).
  const double tick_V = 48.0 / 1000.0;
  const auto first = model::LegVoltages(p, noCarry, {0.0, 0.0, 0.0}, 0.0012, 1);
  EXPECT_LE(std::abs(first[0] - 0.5123456 * 48.0), 0.5 * tick_V + 1e-12);
}

// Dead time of 1 µs at 20 kHz on 48 V: V_d = 0.96 V per leg, full above the knee
// i_knee = V_bus·T_pwm/(8·L_s) = 0.25 A, linear below.
TEST(DeadTime, LegErrorIsMinusVdAboveTheKneeAndLinearBelow) {
  model::PowerStageParams p;
  p.deadTime_s = 1e-6;
  p.quantiseDuty = false;
  model::PowerStageState s;
  s.bus_V = 48.0;
  const auto v = model::LegVoltages(p, s, {1.5, -0.125, 0.0}, 0.0012, 1);
  EXPECT_NEAR(v[0], 24.0 - 0.96, 1e-12);
  EXPECT_NEAR(v[1], 24.0 + 0.48, 1e-12);
  EXPECT_NEAR(v[2], 24.0, 1e-12);
  // A current along phase A (1.5 A, −0.75 A, −0.75 A) loses (4/3)·V_d = 1.28 V along α.
  const auto w = model::LegVoltages(p, s, {1.5, -0.75, -0.75}, 0.0012, 1);
  EXPECT_NEAR((2.0 / 3.0) * (w[0] - 0.5 * (w[1] + w[2])), -1.28, 1e-12);
}

// A linear motor: F = Kf·i_q, θ_e = 2π·x/τ, and x = ½·(F/M)·t² from rest.
TEST(Linear, ForceConstantAndPolePitch) {
  MotorModel motor;
  motor.kind = MotorKind::linear;
  motor.pole_pitch_m = 0.032;
  motor.torque_constant = 40.0;
  motor.rotor_inertia = 2.0;
  const model::PlantParams p = model::PlantParams::From(motor);
  EXPECT_NEAR(p.TorqueConstant(), 40.0, 1e-12);
  model::PlantState s;
  s.position = 0.008;  // a quarter pitch: θ_e = 90°
  EXPECT_NEAR(s.ElectricalAngle(p), M_PI / 2.0, 1e-12);
  // 1 A on q at θ_e = 90°: α = −sin θ = −1, β = cos θ = 0.
  s.current_A = {-1.0, 0.5, 0.5};
  EXPECT_NEAR(model::ElectromagneticTorque(p, s), 40.0, 1e-9);
}

// Through a 3:1 transmission the load inertia counts 1/9 and a load torque 1/3.
TEST(Transmission, ReflectsLoadInertiaAndTorque) {
  MotorModel motor = ReferenceMotor();
  motor.motor_displacement = 3.0;
  motor.load_displacement = 1.0;
  motor.load_constant_torque = 0.3;
  const model::PlantParams p = model::PlantParams::From(motor);
  EXPECT_NEAR(p.inertia, 3.3e-5 + 6.7e-5 / 9.0, 1e-18);
  EXPECT_NEAR(p.load, 0.1, 1e-15);
  motor.motor_displacement = -2.0;
  EXPECT_NEAR(model::PlantParams::From(motor).inertia, 3.3e-5 + 6.7e-5 / 4.0, 1e-18);
}

}  // namespace
}  // namespace drivesim::testing
