// What happens to the installation: the scripted user's inputs, injected faults, the seed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace drivesim {

// A short circuit between two drive outputs ("A", "B", "C") or from one output to a rail.
struct ShortCircuitFault {
  char from = 'A';
  char to = 'B';                 // 'A' … 'C', or '+' / '-' for the bus rails
  double resistance_ohm = 0.05;
};

// Initial conditions of a run; actions during the run go through Drive's scripted-user members.
struct Scenario {
  std::optional<std::uint64_t> seed;      // overrides the motor file's noise seed
  bool enable_input_active = true;        // ENABLE input at its active level
  bool positive_limit_active = false;     // LSP input at its active level
  bool negative_limit_active = false;     // LSN input at its active level
  double analog_input_V = 0.0;            // potentiometer on the analogue reference input
  std::optional<ShortCircuitFault> short_circuit;  // fault "short"
  bool current_noise = true;              // false: current ADCs without noise
  bool ideal_converters = false;          // exact duties and current samples (whole counts), no noise
  bool rotor_locked = false;              // the shaft cannot move (locked-rotor measurements)
};

// Limits of the scripted user's environment: what is wrong with a value, or empty when it is
// valid. The drive's setters and the script steps check with these.
std::string SupplyProblem(double volts);
std::string LoadProblem(double torque);
std::string FrictionProblem(double coulomb, std::optional<double> breakaway);
std::string HandCouplingProblem(double stiffness, double damping);
std::string TemperatureProblem(double celsius);
std::string AnalogInputProblem(double volts, double duration_s);

}  // namespace drivesim
