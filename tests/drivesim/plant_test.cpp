// The motor model against closed forms (reference motor: R 0.9 Ω, L 1.2 mH, K 0.12 N·m/A, p 4).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/plant.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

using model::PlantInputs;
using model::PlantParams;
using model::PlantState;

constexpr double kR = 0.9, kL = 0.0012, kTau = kL / kR, kH = 50e-6;

// Leg voltages that put `alpha` volts on the α axis (phase A) with β = 0, around mid-bus.
PlantInputs AlphaVoltage(double alpha) {
  PlantInputs in;
  in.bus_V = 48.0;
  in.locked = true;
  in.legDriven = {true, true, true};
  in.legVoltage_V = {24.0 + alpha, 24.0 - 0.5 * alpha, 24.0 - 0.5 * alpha};
  return in;
}

// The locked rotor's current rises as U/R·(1 − e^(−t/τ)), τ = L/R, to U/R, and the rotor stays.
TEST(Plant, RlStepAlongPhaseAFollowsTheExponentialOfTauLOverRToVoltageOverResistance) {
  const PlantParams p = PlantParams::From(ReferenceMotor());
  PlantState s;
  const double U = 2.0;
  for (int n = 1; n <= 2000; ++n) {
    model::StepPlant(p, s, AlphaVoltage(U), {}, kH);
    const double expected = U / kR * (1.0 - std::exp(-n * kH / kTau));
    ASSERT_NEAR(s.current_A[0], expected, 1e-9 * U / kR) << "tick " << n;
    ASSERT_NEAR(s.current_A[1], -0.5 * expected, 1e-9 * U / kR);
  }
  EXPECT_NEAR(s.current_A[0], U / kR, 1e-9);
  EXPECT_EQ(s.position, 0.0);
}

TEST(Plant, OpenPhaseCCarriesVoltageOverTwoRWithTheSameTimeConstant) {
  MotorModel motor = ReferenceMotor();
  motor.open_phase = 'C';
  const PlantParams p = PlantParams::From(motor);
  PlantState s;
  PlantInputs in = AlphaVoltage(0.0);
  in.legVoltage_V = {25.0, 24.0, 24.0};
  for (int n = 1; n <= 400; ++n) {
    model::StepPlant(p, s, in, {}, kH);
    const double expected = 1.0 / (2.0 * kR) * (1.0 - std::exp(-n * kH / kTau));
    ASSERT_NEAR(s.current_A[0], expected, 1e-4 / (2.0 * kR)) << "tick " << n;
  }
  EXPECT_NEAR(s.current_A[1], -s.current_A[0], 1e-12);
  EXPECT_EQ(s.current_A[2], 0.0);
}

// Block commutation on a locked rotor: B+C− (A open) drives 2 V across two phases up to
// 2 V / 2R; then B+A− opens C, whose current freewheels through its upper diode (C at the bus)
// down to zero and stays there, while A takes over. The star's currents sum to zero at every
// step, so A and B end at ±2 V / 2R with nothing left circulating.
TEST(Plant, AnOpenedLegFreewheelsToZeroAndTheStarCurrentsStillSumToZero) {
  const PlantParams p = PlantParams::From(ReferenceMotor());
  PlantState s;
  PlantInputs in = AlphaVoltage(0.0);
  const double steady_A = 2.0 / (2.0 * kR);
  const auto run = [&](const std::array<bool, 3>& driven, const std::array<double, 3>& legs_V) {
    in.legDriven = driven;
    in.legVoltage_V = legs_V;
    bool reachedZero = false;
    for (int n = 1; n <= 400; ++n) {
      model::StepPlant(p, s, in, {}, kH);
      ASSERT_NEAR(s.current_A[0] + s.current_A[1] + s.current_A[2], 0.0, 1e-12) << "tick " << n;
      if (!driven[2] && reachedZero) {
        ASSERT_EQ(s.current_A[2], 0.0) << "tick " << n;
      }
      reachedZero = reachedZero || s.current_A[2] == 0.0;
    }
  };
  run({false, true, true}, {0.0, 25.0, 23.0});
  EXPECT_NEAR(s.current_A[1], steady_A, 1e-6);
  EXPECT_NEAR(s.current_A[2], -steady_A, 1e-6);
  run({true, true, false}, {23.0, 25.0, 0.0});
  EXPECT_EQ(s.current_A[2], 0.0);
  EXPECT_NEAR(s.current_A[1], steady_A, 1e-6);
  EXPECT_NEAR(s.current_A[0], -steady_A, 1e-6);
}

// A delta winding of R, L shows R/3, L/3 per star phase: the locked-rotor current reaches
// 3·U/R·(1 − e^(−1)) after one time constant L/R.
TEST(Plant, DeltaTerminalsSeeTheStarEquivalent) {
  MotorModel motor = ReferenceMotor();
  motor.connection = PhaseConnection::delta;
  PlantState s;
  model::StepPlant(PlantParams::From(motor), s, AlphaVoltage(1.0), {}, kTau);
  EXPECT_NEAR(s.current_A[0], 3.0 / kR * (1.0 - std::exp(-1.0)), 1e-9);
}

// Turning at constant speed with all legs at the same voltage, the steady currents follow the
// dq equations: 0 = R·i_d − ω_e·L·i_q, 0 = R·i_q + ω_e·L·i_d + ω_e·ψ, and the drag torque is K·i_q.
TEST(Plant, BackEmfAndTorqueFollowTheTorqueConstant) {
  MotorModel motor = ReferenceMotor();
  motor.rotor_inertia = 1e9;  // the speed stays where it is set
  motor.coulomb_friction = 0.0;
  motor.viscous_friction = 0.0;
  const PlantParams p = PlantParams::From(motor);
  PlantState s;
  s.speed = 10.0;
  PlantInputs in = AlphaVoltage(0.0);
  in.locked = false;
  for (int n = 0; n < 400; ++n) model::StepPlant(p, s, in, {}, kH);
  const double omega_e = 4.0 * s.speed, psi = 0.12 / 6.0;
  const double iq = -omega_e * psi * kR / (kR * kR + omega_e * omega_e * kL * kL);
  EXPECT_NEAR(model::ElectromagneticTorque(p, s), 0.12 * iq, 0.005 * std::abs(0.12 * iq));
  EXPECT_NEAR(p.TorqueConstant(), 0.12, 1e-15);
}

// A current vector of 1 A on the q axis makes K newton-metres whatever the rotor angle.
TEST(Plant, TorqueIsKPerAmpereOfCurrentVectorAmplitude) {
  const PlantParams p = PlantParams::From(ReferenceMotor());
  for (double theta_e : {0.0, 0.4, 2.0, -2.9}) {
    PlantState s;
    s.position = theta_e / 4.0;
    const double alpha = -std::sin(theta_e), beta = std::cos(theta_e);
    s.current_A = {alpha, -0.5 * alpha + 0.5 * std::sqrt(3.0) * beta, -0.5 * alpha - 0.5 * std::sqrt(3.0) * beta};
    EXPECT_NEAR(model::ElectromagneticTorque(p, s), 0.12, 1e-12) << theta_e;
  }
}

// A constant load torque against Coulomb friction: ω = (T − T_c)/J·t, θ = ½·α·t²; below the
// breakaway torque the rotor does not move at all. The bus stays above the line-to-line back-EMF
// (√3·0.08 V·s·480 rad/s = 66.5 V at the end), so the diodes do not brake the rotor.
TEST(Plant, ConstantTorqueAcceleratesAgainstCoulombFrictionOrIsHeld) {
  for (const double load : {-0.05, 0.0019}) {
    MotorModel motor = ReferenceMotor();
    motor.viscous_friction = 0.0;
    motor.load_constant_torque = load;  // negative: a load pushing forward
    const PlantParams p = PlantParams::From(motor);
    PlantState s;
    PlantInputs in;
    in.bus_V = 100.0;
    const int n = 20000;
    for (int k = 0; k < n; ++k) model::StepPlant(p, s, in, {}, kH);
    const double a = std::max(0.0, -load - 0.002) / 1e-4, t = n * kH;
    EXPECT_NEAR(s.speed, a * t, 1e-9 * a * t) << load;
    EXPECT_NEAR(s.position, 0.5 * a * t * t, 1e-4 * 0.5 * a * t * t) << load;
  }
}

// Swapping two phases (order "ACB") turns a positive sequence of leg voltages backwards.
TEST(Plant, SwappedPhasesTurnThePositiveSweepBackwards) {
  for (const char* order : {"ABC", "ACB"}) {
    MotorModel motor = ReferenceMotor();
    std::copy(order, order + 3, motor.phase_order.begin());
    const PlantParams p = PlantParams::From(motor);
    PlantState s;
    // Current vector at +90° electrical from the rotor at rest: positive torque for ABC.
    PlantInputs in = AlphaVoltage(0.0);
    in.locked = false;
    const double beta = 1.0;
    in.legVoltage_V = {24.0, 24.0 + 0.5 * std::sqrt(3.0) * beta, 24.0 - 0.5 * std::sqrt(3.0) * beta};
    for (int k = 0; k < 200; ++k) model::StepPlant(p, s, in, {}, kH);
    if (order[1] == 'B') {
      EXPECT_GT(s.speed, 0.0) << order;
    } else {
      EXPECT_LT(s.speed, 0.0) << order;
    }
  }
}

}  // namespace
}  // namespace drivesim::testing
