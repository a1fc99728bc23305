#include "model/plant.h"

#include <algorithm>
#include <cmath>

namespace drivesim::model {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt3 = 1.7320508075688772;

int PhaseIndex(char letter) { return letter - 'A'; }
int Sign(double x) { return (x > 0.0) - (x < 0.0); }

// sin and cos of θ_e, recomputed only when the rotor has moved.
void UpdateTrig(const PlantParams& p, PlantState& s) {
  if (s.position == s.trigPosition) return;
  const double theta_e = s.ElectricalAngle(p);
  s.sinTheta = std::sin(theta_e);
  s.cosTheta = std::cos(theta_e);
  s.trigPosition = s.position;
}

// Back-EMF of each motor phase: e_x = −ω_e·ψ·sin(θ_e − 2π·k_x/3).
std::array<double, 3> BackEmf(const PlantParams& p, const PlantState& s) {
  const double omega_e = p.electrical_per_unit * s.speed;
  const double theta_e = s.ElectricalAngle(p);
  std::array<double, 3> e{};
  for (int k = 0; k < 3; ++k) e[static_cast<std::size_t>(k)] = -omega_e * p.flux_Vs * std::sin(theta_e - kTwoPi * k / 3.0);
  return e;
}

std::array<double, 3> MotorVoltages(const PlantParams& p, const PlantInputs& in) {
  std::array<double, 3> v{};
  for (std::size_t leg = 0; leg < 3; ++leg) v[static_cast<std::size_t>(p.motorPhaseOfLeg[leg])] = in.legVoltage_V[leg];
  return v;
}

// 1.5·k_e·ψ·i_q of the present currents, i_q at the angle of sin θ_e and cos θ_e.
double TorqueAt(const PlantParams& p, const PlantState& s, double sinTheta, double cosTheta) {
  const double iAlpha = (2.0 / 3.0) * (s.current_A[0] - 0.5 * (s.current_A[1] + s.current_A[2]));
  const double iBeta = (s.current_A[1] - s.current_A[2]) / kSqrt3;
  const double iq = -iAlpha * sinTheta + iBeta * cosTheta;
  return p.TorqueConstant() * iq;
}

// Balanced star, all legs driven: per αβ axis, with v and e frozen over h,
//   i(t+h) = i·e^(−h/τ) + (v − e)/R·(1 − e^(−h/τ)),  τ = L_s/R.
void StepBalancedExact(const PlantParams& p, PlantState& s, const PlantInputs& in, double h) {
  const std::array<double, 3> v = MotorVoltages(p, in);
  const double vAlpha = (2.0 / 3.0) * (v[0] - 0.5 * (v[1] + v[2]));
  const double vBeta = (v[1] - v[2]) / kSqrt3;
  const double omega_e = p.electrical_per_unit * s.speed;
  const double eAlpha = -omega_e * p.flux_Vs * s.sinTheta;
  const double eBeta = omega_e * p.flux_Vs * s.cosTheta;
  const double R = p.resistance_ohm[0];
  if (h != s.decayStep_s) {
    s.decay = std::exp(-h * R / p.inductance_H);
    s.decayStep_s = h;
  }
  const double decay = s.decay;
  const double iAlpha = s.current_A[0];
  const double iBeta = (s.current_A[1] - s.current_A[2]) / kSqrt3;
  const double nextAlpha = iAlpha * decay + (vAlpha - eAlpha) / R * (1.0 - decay);
  const double nextBeta = iBeta * decay + (vBeta - eBeta) / R * (1.0 - decay);
  s.current_A = {nextAlpha, -0.5 * nextAlpha + 0.5 * kSqrt3 * nextBeta,
                 -0.5 * nextAlpha - 0.5 * kSqrt3 * nextBeta};
}

// Which motor phases conduct over a step, and at what terminal voltage: driven legs at their leg
// voltage; an open leg through one of its diodes (`diode` +1: the lower one, current into the
// terminal, 0 V; −1: the upper one, current out of it, V_bus).
struct Conduction {
  std::array<bool, 3> conducting{};
  std::array<bool, 3> idle{};   // open legs without current
  std::array<int, 3> diode{};
  std::array<double, 3> v{};
  int count = 0;

  void StartDiode(std::size_t m, int which, double bus_V) {
    idle[m] = false;
    conducting[m] = true;
    diode[m] = which;
    v[m] = which > 0 ? 0.0 : bus_V;
    ++count;
  }
};

// The star point of the conducting phases: v_n = Σ (v_x − R_x·i_x − e_x)/n_c.
double NeutralVoltage(const PlantParams& p, const PlantState& s, const std::array<double, 3>& e, const Conduction& c) {
  double neutral_V = 0.0;
  for (std::size_t m = 0; m < 3; ++m) {
    if (c.conducting[m]) neutral_V += (c.v[m] - p.resistance_ohm[m] * s.current_A[m] - e[m]) / c.count;
  }
  return neutral_V;
}

// An idle open leg starts to conduct when its terminal would leave the rails: above V_bus through
// its upper diode, below 0 V through its lower one. With no phase conducting the two extreme
// back-EMFs start together once their difference exceeds the bus (a generator charging it); the
// others see the neutral point of the conducting phases.
void StartDiodes(const PlantParams& p, const PlantState& s, double bus_V, const std::array<double, 3>& e,
                 Conduction& c) {
  if (c.count == 0) {
    std::size_t high = 3, low = 3;
    for (std::size_t m = 0; m < 3; ++m) {
      if (!c.idle[m]) continue;
      if (high == 3 || e[m] > e[high]) high = m;
      if (low == 3 || e[m] < e[low]) low = m;
    }
    if (high == 3 || high == low || e[high] - e[low] <= bus_V) return;
    c.StartDiode(high, -1, bus_V);
    c.StartDiode(low, +1, bus_V);
  }
  const double neutral_V = NeutralVoltage(p, s, e, c);
  for (std::size_t m = 0; m < 3; ++m) {
    if (!c.idle[m]) continue;
    const double terminal_V = neutral_V + e[m];
    if (terminal_V > bus_V) c.StartDiode(m, -1, bus_V);
    if (terminal_V < 0.0) c.StartDiode(m, +1, bus_V);
  }
}

// Phase model over the conducting phases, trapezoidal in the resistive term:
//   L_s·di_x/dt = v_x − v_n − R_x·i_x − e_x,  v_n = Σ (v_x − R_x·i_x − e_x)/n_c.
// An open leg carrying current is clamped by a diode (0 V for i > 0, V_bus for i < 0) until its
// current reaches 0, and starts again when its terminal leaves the rails; an open wire never
// conducts.
void StepPhaseModel(const PlantParams& p, PlantState& s, const PlantInputs& in, double h) {
  std::array<int, 3> legOfPhase{};
  for (int leg = 0; leg < 3; ++leg) legOfPhase[static_cast<std::size_t>(p.motorPhaseOfLeg[static_cast<std::size_t>(leg)])] = leg;
  const std::array<double, 3> e = BackEmf(p, s);
  Conduction c;
  for (std::size_t m = 0; m < 3; ++m) {
    const int leg = legOfPhase[m];
    const auto legIndex = static_cast<std::size_t>(leg);
    if (leg == p.openLeg) continue;
    if (in.legDriven[legIndex]) {
      s.openLegIdle[legIndex] = false;
      c.v[m] = in.legVoltage_V[legIndex];
    } else {
      if (s.openLegIdle[legIndex] || s.current_A[m] == 0.0) {
        s.openLegIdle[legIndex] = true;
        c.idle[m] = true;
        continue;
      }
      c.diode[m] = Sign(s.current_A[m]);
      c.v[m] = c.diode[m] > 0 ? 0.0 : in.bus_V;
    }
    c.conducting[m] = true;
    ++c.count;
  }
  StartDiodes(p, s, in.bus_V, e, c);
  if (c.count < 2) {
    s.current_A = {0.0, 0.0, 0.0};
    return;
  }
  const double vn = NeutralVoltage(p, s, e, c);
  std::array<bool, 3> unblocked{};
  double sum_A = 0.0;
  int unblockedCount = 0;
  for (std::size_t m = 0; m < 3; ++m) {
    if (!c.conducting[m]) {
      s.current_A[m] = 0.0;
      continue;
    }
    s.openLegIdle[static_cast<std::size_t>(legOfPhase[m])] = false;
    const double a = h * p.resistance_ohm[m] / (2.0 * p.inductance_H);
    const double before = s.current_A[m];
    double next = (before * (1.0 - a) + h * (c.v[m] - vn - e[m]) / p.inductance_H) / (1.0 + a);
    // A diode carries current one way only.
    if (c.diode[m] != 0 && Sign(next) != c.diode[m]) {
      next = 0.0;
    } else {
      unblocked[m] = true;
      ++unblockedCount;
    }
    s.current_A[m] = next;
    sum_A += next;
  }
  // The star point takes no current: what a blocking diode no longer carries (and any rounding)
  // is shared by the phases still conducting, so that i_a + i_b + i_c stays 0.
  if (unblockedCount == 0) return;
  for (std::size_t m = 0; m < 3; ++m) {
    if (unblocked[m]) s.current_A[m] -= sum_A / unblockedCount;
  }
}

// J·dω/dt = T_e − T_f − b·ω − T_load + T_hand, dθ/dt = ω: the speed by Euler on the step's mean
// electromagnetic torque, the position by the mean of the speeds at both ends (exact under a
// constant torque, so the rotor neither leads nor lags the currents that drive it). At rest the
// rotor stays while |net| ≤ T_s; moving, T_f = T_c·sign(ω); a speed that would cross zero stops.
// Forced inline: it runs at every plant step and a call would spill the step's doubles.
[[gnu::always_inline]] inline void StepMechanics(const PlantParams& p, PlantState& s, const ExternalTorque& hand, double h,
                                                 double torque) {
  const double load = p.gravity == 0.0 ? p.load : LoadTorque(p, s.position);
  const double net = torque - load - p.viscous * s.speed + hand.At(s.position, s.speed);
  const double before = s.speed;
  if (s.speed == 0.0) {
    if (std::abs(net) <= p.breakaway) return;
    s.speed = h * (net - p.coulomb * Sign(net)) / p.inertia;
  } else {
    const double next = s.speed + h * (net - p.coulomb * Sign(s.speed)) / p.inertia;
    s.speed = Sign(next) == Sign(s.speed) ? next : 0.0;
  }
  s.position += 0.5 * (before + s.speed) * h;
}

}  // namespace

PlantParams PlantParams::From(const MotorModel& motor) {
  PlantParams p;
  const double R = motor.StarResistance_ohm();
  p.resistance_ohm = {R, R, R};
  p.inductance_H = motor.StarInductance_H();
  p.flux_Vs = motor.FluxLinkage_Vs();
  p.electrical_per_unit = motor.kind == MotorKind::rotary ? static_cast<double>(motor.pole_pairs)
                                                          : kTwoPi / motor.pole_pitch_m;
  p.inertia = motor.TotalInertia();
  p.coulomb = motor.coulomb_friction;
  p.breakaway = motor.coulomb_friction;
  p.viscous = motor.viscous_friction;
  p.ratio = motor.TransmissionRatio();
  p.load = motor.load_constant_torque / p.ratio;
  p.rotary = motor.kind == MotorKind::rotary;
  for (std::size_t leg = 0; leg < 3; ++leg) p.motorPhaseOfLeg[leg] = PhaseIndex(motor.phase_order[leg]);
  p.openLeg = motor.open_phase ? PhaseIndex(*motor.open_phase) : -1;
  return p;
}

double LoadTorque(const PlantParams& p, double position) {
  const double shape = p.rotary ? std::sin(position / p.ratio) : 1.0;
  return p.load + p.gravity * shape / p.ratio;
}

double ElectromagneticTorque(const PlantParams& p, const PlantState& s) {
  if (s.trigPosition == s.position) return TorqueAt(p, s, s.sinTheta, s.cosTheta);
  const double theta_e = s.ElectricalAngle(p);
  return TorqueAt(p, s, std::sin(theta_e), std::cos(theta_e));
}

void StepPlant(const PlantParams& p, PlantState& s, const PlantInputs& in, const ExternalTorque& hand,
               double h_s) {
  const bool allDriven = in.legDriven[0] && in.legDriven[1] && in.legDriven[2];
  const bool noneDriven = !in.legDriven[0] && !in.legDriven[1] && !in.legDriven[2];
  if (noneDriven && s.current_A == std::array<double, 3>{0.0, 0.0, 0.0} && !DiodesMayConduct(p, s, in.bus_V)) {
    // Power stage off, no current and the line-to-line back-EMF below the bus: only the mechanics move.
    if (!in.locked) StepMechanics(p, s, hand, h_s, 0.0);
    return;
  }
  UpdateTrig(p, s);
  if (allDriven && p.Balanced()) {
    // The rotor does not move within StepBalancedExact: sin and cos of θ_e stay those just updated.
    const double torqueBefore = TorqueAt(p, s, s.sinTheta, s.cosTheta);
    StepBalancedExact(p, s, in, h_s);
    if (!in.locked) StepMechanics(p, s, hand, h_s, 0.5 * (torqueBefore + TorqueAt(p, s, s.sinTheta, s.cosTheta)));
    return;
  }
  const double R = std::max({p.resistance_ohm[0], p.resistance_ohm[1], p.resistance_ohm[2]});
  const double tau = p.inductance_H / R;
  const int substeps = std::clamp(static_cast<int>(std::ceil(8.0 * h_s / tau)), 4, 64);
  const double h = h_s / substeps;
  for (int k = 0; k < substeps; ++k) {
    const double torqueBefore = ElectromagneticTorque(p, s);
    StepPhaseModel(p, s, in, h);
    if (!in.locked) StepMechanics(p, s, hand, h, 0.5 * (torqueBefore + ElectromagneticTorque(p, s)));
  }
}

}  // namespace drivesim::model
