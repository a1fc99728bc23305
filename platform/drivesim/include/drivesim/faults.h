// Faults injected into a simulated installation: on the motor's phases, its sensors and the
// drive's program images. Each has a scenario entry "NAME ARGS" (ApplyFaultEntry) so that a
// test or a script can inject it before or during a run.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "drivesim/catalogue.h"

namespace drivesim {

// A linear Hall output held at a fixed voltage.
struct StuckLinearHall {
  char channel = 'A';
  double volts = 2.5;
};

using VariableSets = std::map<std::string, std::set<std::string, std::less<>>, std::less<>>;

struct Faults {
  std::array<double, 3> phase_resistance_factor{1.0, 1.0, 1.0};  // "phase_resistance B 1.5": R of motor phase B × 1.5
  std::optional<char> open_phase;         // "open_phase A": the wire of drive output A is open
  std::optional<std::array<char, 3>> phase_order;  // "phase_order ACB": motor phase on drive output A, B, C
  bool encoder_dead = false;              // "encoder_dead": no signals from the motor sensor (counter frozen, no index)
  bool no_index = false;                  // "no_index": the motor encoder's index pulse is missing
  std::optional<int> hall_missing;        // "hall_missing 2": Hall input 2 unconnected (reads 1)
  std::optional<char> lh_missing;         // "lh_missing C": linear Hall C reads 0 V
  std::optional<StuckLinearHall> lh_stuck;  // "lh_stuck A 2.5": linear Hall A stays at 2.5 V
  VariableSets program_lacks;             // "program_lacks PROGRAM VARIABLE": the image and program memory lack it
  VariableSets program_skips;             // "program_skips PROGRAM VARIABLE": the program never writes the output
  std::set<std::string, std::less<>> program_missing;  // "program_missing PROGRAM": no image, no program
};

// A program as a drive with these faults holds it: the catalogue's, less the variables the
// faults remove; nullopt for a program the drive lacks (or that the catalogue does not have).
std::optional<ProgramDescriptor> InstalledProgram(std::string_view name, const Faults& faults);

}  // namespace drivesim
