// What happens to the installation: the scripted user's inputs, injected faults, the seed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "drivesim/faults.h"
#include "drivesim/status.h"

namespace drivesim {

// A short circuit between two drive outputs ("A", "B", "C") or from one output to a rail.
struct ShortCircuitFault {
  char from = 'A';
  char to = 'B';                 // 'A' … 'C', or '+' / '-' for the bus rails
  double resistance_ohm = 0.05;
};

// The resolver's signals as the R/D converter receives them: the envelopes sin and cos of the
// resolver angle on the excitation carrier, with gain mismatch and offsets (relative to the
// nominal amplitude) and the phase shift of the returned carrier.
struct ResolverSignals {
  double sin_gain = 1.0;
  double cos_gain = 1.0;
  double sin_offset = 0.0;
  double cos_offset = 0.0;
  double carrier_phase_deg = 0.0;
};

// Initial conditions of a run; actions during the run go through Drive's scripted-user members.
struct Scenario {
  std::optional<std::uint64_t> seed;      // overrides the motor file's noise seed
  bool enable_input_active = true;        // ENABLE input at its active level
  bool positive_limit_active = false;     // LSP input at its active level
  bool negative_limit_active = false;     // LSN input at its active level
  // Limit switches on the load: LSP is also active at load positions (rad or m) at or beyond
  // positive_limit_at, LSN at or below negative_limit_at.
  std::optional<double> positive_limit_at;
  std::optional<double> negative_limit_at;
  double analog_input_V = 0.0;            // potentiometer on the analogue reference input
  std::optional<ShortCircuitFault> short_circuit;  // fault "short"
  bool current_noise = true;              // false: current ADCs without noise
  bool ideal_converters = false;          // exact duties and current samples (whole counts), no noise
  bool rotor_locked = false;              // the shaft cannot move (locked-rotor measurements)
  // Temperatures that the drive's sensors read, and the amplitude of the sin/cos or resolver
  // signals relative to their nominal level.
  double drive_temperature_C = 25.0;
  double motor_temperature_C = 25.0;
  double sensor_signal_amplitude = 1.0;
  ResolverSignals resolver_signals;
  Faults faults;                          // every fault but the short circuit
};

// Limits of the scripted user's environment: what is wrong with a value, or empty when it is
// valid. The drive's setters and the script steps check with these.
std::string SupplyProblem(double volts);
std::string LoadProblem(double torque);
std::string FrictionProblem(double coulomb, std::optional<double> breakaway);
std::string HandCouplingProblem(double stiffness, double damping);
std::string TemperatureProblem(double celsius);
std::string AnalogInputProblem(double volts, double duration_s);

// Applies one fault entry, "NAME ARGS" (see Faults; "short A B 0.05" sets the short circuit,
// "short A -" a short to the negative rail with 0.05 Ω). Fails, changing nothing, naming the
// entry and what is wrong.
Status ApplyFaultEntry(std::string_view entry, Scenario& scenario);

// Removes every fault of one name ("short", "open_phase", "program_lacks", …): the installation
// is again as its files describe it. Fails, changing nothing, for a name that is not a fault.
Status ClearFaultEntry(std::string_view name, Scenario& scenario);

}  // namespace drivesim
