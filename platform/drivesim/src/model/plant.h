// The motor as the power stage sees it: three phase currents, the electrical model (star phase
// equations, or their exact αβ solution when balanced and fully driven) and the mechanics.
#pragma once

#include <array>
#include <cmath>

#include "drivesim/motor_model.h"

namespace drivesim::model {

// What the motor file fixes, in the form the equations use (star equivalent, reflected load).
struct PlantParams {
  std::array<double, 3> resistance_ohm{};  // per motor phase (star equivalent)
  double inductance_H = 0.0;               // synchronous inductance L_s (star equivalent)
  double flux_Vs = 0.0;                    // ψ
  double electrical_per_unit = 0.0;        // θ_e per rad (p) or per m (2π/τ)
  double inertia = 0.0;                    // J (or M) reflected to the motor
  double coulomb = 0.0;                    // T_c
  double breakaway = 0.0;                  // T_s ≥ T_c: the net torque that starts a rotor at rest
  double viscous = 0.0;                    // b
  double load = 0.0;                       // constant load torque reflected to the motor
  double gravity = 0.0;                    // T_g of the gravity term T_g·sin(θ_load), load side
  double ratio = 1.0;                      // transmission r: θ_load = θ_m/r
  bool rotary = true;                      // false: a linear motor, whose gravity load is a constant force
  std::array<int, 3> motorPhaseOfLeg{0, 1, 2};  // Π: motor phase on drive output x
  int openLeg = -1;                        // drive output whose phase wire is open, −1 none

  static PlantParams From(const MotorModel& motor);
  bool Balanced() const {                  // equal R and no open wire
    return openLeg < 0 && resistance_ohm[0] == resistance_ohm[1] && resistance_ohm[1] == resistance_ohm[2];
  }
  double TorqueConstant() const { return 1.5 * electrical_per_unit * flux_Vs; }
};

struct PlantState {
  std::array<double, 3> current_A{};       // motor phase currents a, b, c (into the terminal)
  std::array<bool, 3> openLegIdle{};       // an open leg whose current has reached 0
  double position = 0.0;                   // θ_m (rad) or x (m)
  double speed = 0.0;                      // ω_m or v
  // Derived values kept to save work: sin/cos of θ_e at `trigPosition`, e^(−h·R/L) for `decayStep_s`.
  double trigPosition = 0.0, sinTheta = 0.0, cosTheta = 1.0;
  double decayStep_s = 0.0, decay = 1.0;
  double ElectricalAngle(const PlantParams& p) const { return p.electrical_per_unit * position; }
};

// Inputs held over one step: leg voltages to the negative rail, which legs switch, the bus,
// and the external torque (hand, gravity) with its stiffness-free part.
struct PlantInputs {
  std::array<double, 3> legVoltage_V{};
  std::array<bool, 3> legDriven{};
  double bus_V = 0.0;
  bool locked = false;                     // the rotor cannot move
};

// Torque of the hand (or any external spring-damper) at a position and speed.
struct ExternalTorque {
  bool engaged = false;
  double stiffness = 0.0, damping = 0.0, targetPosition = 0.0, targetSpeed = 0.0;
  double At(double position, double speed) const {
    return engaged ? -stiffness * (position - targetPosition) - damping * (speed - targetSpeed) : 0.0;
  }
};

// The load torque at the motor: T_load plus the gravity term reflected through the transmission,
// T_g·sin(θ_m/r)/r (on a linear motor the gravity load is the constant force T_g/r).
double LoadTorque(const PlantParams& p, double position);
// Whether a rotor at rest with no current stays at rest: |load torque| ≤ T_s.
inline bool RestHolds(const PlantParams& p, const PlantState& s) {
  if (s.speed != 0.0) return false;
  return std::abs(p.gravity == 0.0 ? p.load : LoadTorque(p, s.position)) <= p.breakaway;
}

// Whether the bridge's diodes may conduct with the power stage off: the line-to-line back-EMF
// peak √3·ψ·|ω_e| reaches the bus.
inline bool DiodesMayConduct(const PlantParams& p, const PlantState& s, double bus_V) {
  return 1.7320508075688772 * p.flux_Vs * std::abs(s.speed) * p.electrical_per_unit >= bus_V;
}

// Electromagnetic torque 1.5·k_e·ψ·i_q of the present currents.
double ElectromagneticTorque(const PlantParams& p, const PlantState& s);
// Advances currents and mechanics by h seconds.
void StepPlant(const PlantParams& p, PlantState& s, const PlantInputs& in, const ExternalTorque& hand,
               double h_s);
// Leg current of drive output x (motor phase current through the wiring permutation).
inline double LegCurrent(const PlantParams& p, const PlantState& s, int leg) {
  if (leg == p.openLeg) return 0.0;
  return s.current_A[static_cast<std::size_t>(p.motorPhaseOfLeg[static_cast<std::size_t>(leg)])];
}
// The leg currents of all three drive outputs.
inline std::array<double, 3> LegCurrents(const PlantParams& p, const PlantState& s) {
  return {LegCurrent(p, s, 0), LegCurrent(p, s, 1), LegCurrent(p, s, 2)};
}

}  // namespace drivesim::model
