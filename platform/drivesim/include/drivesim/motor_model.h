// The true motor of a simulated drive: electrical and mechanical data, wiring, transmission,
// load, sensors, supply and noise, as a motor file describes them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "drivesim/file_error.h"

namespace drivesim {

enum class MotorKind { rotary, linear };
enum class PhaseConnection { star, delta };
enum class SensorType { none, incremental, sincos, linear_hall, resolver, ssi, biss };

// A position sensor on the motor or on the load.
struct SensorModel {
  SensorType type = SensorType::incremental;
  int lines = 2000;                 // incremental / sin-cos periods per revolution (rotary)
  double resolution_m = 1e-6;       // incremental on a linear axis: metres per count
  double period_m = 2e-5;           // sin/cos on a linear axis: metres per signal period
  bool reversed = false;            // counts down while the motor turns a → b → c
  double index_deg = 0.0;           // mechanical angle of the index pulse (rotary)
  int single_turn_bits = 17;        // SSI / BiSS
  int turn_bits = 12;               // SSI / BiSS
  bool gray = false;                // SSI / BiSS coding
  double offset_deg = 0.0;          // SSI / BiSS single-turn angle, a resolver's angle, read at θ_m = 0
  int resolver_pole_pairs = 1;      // resolver
};

// Digital Hall sensors: which physical sensor is on Hall input 1, 2, 3, inversion and shift.
struct HallModel {
  std::array<int, 3> order{1, 2, 3};
  bool inverted = false;
  double shift_deg = 0.0;           // electrical shift δ of the sensors from their nominal place
};

// Everything a motor file holds; rotary quantities in rad, N·m, kg·m², linear ones in m, N, kg.
struct MotorModel {
  std::string name;
  MotorKind kind = MotorKind::rotary;
  int pole_pairs = 4;                          // rotary
  double pole_pitch_m = 0.032;                 // linear: one electrical period
  double resistance_ohm = 0.9;                 // per phase (star) or per winding (delta)
  double inductance_H = 0.0012;                // per phase (star) or per winding (delta)
  PhaseConnection connection = PhaseConnection::star;
  double torque_constant = 0.12;               // N·m/A (rotary) or N/A (linear), per A of peak phase current
  double rotor_inertia = 3.3e-5;               // kg·m² (rotary) or moving mass kg (linear)
  double coulomb_friction = 0.0;               // N·m or N
  double viscous_friction = 0.0;               // N·m·s/rad or N·s/m
  std::array<char, 3> phase_order{'A', 'B', 'C'};  // motor phase on drive output A, B, C
  std::optional<char> open_phase;              // drive output whose phase wire is open
  double load_inertia = 0.0;                   // load side kg·m² or kg
  double load_constant_torque = 0.0;           // load side N·m or N
  double motor_displacement = 6.283185307179586;   // transmission: motor side per ...
  double load_displacement = 6.283185307179586;    // ... load side displacement
  double supply_voltage_V = 48.0;
  SensorModel motor_sensor;
  std::optional<HallModel> halls;
  std::optional<SensorModel> load_sensor;
  std::uint64_t noise_seed = 1;
  double current_noise_lsb = 1.0;              // σ of the current-ADC noise in ADC steps

  // Transmission ratio r = motor displacement / load displacement.
  double TransmissionRatio() const { return motor_displacement / load_displacement; }
  // Star-equivalent phase resistance (R/3 for a delta winding).
  double StarResistance_ohm() const;
  // Star-equivalent synchronous inductance (L/3 for a delta winding).
  double StarInductance_H() const;
  // Total inertia (or mass) seen by the motor: J_m + J_load/r².
  double TotalInertia() const;
  // Flux linkage ψ = K/(1.5·p) (rotary) or Kf·τ/(3π) (linear).
  double FluxLinkage_Vs() const;
};

// Parses a motor file's text (JSON); `source` names it in errors. Validates every key; throws
// MotorFileError naming the source, the key and what is wrong.
MotorModel ParseMotorFile(std::string_view text, const std::string& source);
// Reads and parses a motor file. Throws MotorFileError naming the file.
MotorModel LoadMotorFile(const std::string& path);
// The built-in motor: the motor of the default setup.
MotorModel DefaultMotor();
// The built-in motor file's text.
std::string_view DefaultMotorText();

}  // namespace drivesim
