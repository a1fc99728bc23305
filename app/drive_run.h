// kestrel drive run: one drive program launched, run and read as a commissioning test does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "drive_options.h"
#include "host.h"
#include "setup_source.h"

namespace kestrel::cli {

struct DriveRunOptions {
  std::string program;
  SetupSource source;
  DriveOptions drive;
  std::vector<std::string> sets;   // NAME=VALUE, program variables in internal units
  std::vector<std::string> faults; // "NAME ARGS": faults injected into the simulated drive before the launch
  double forSeconds = 0.0;        // 0: until the program ends
  std::vector<std::string> reads;
  std::string log;                 // NAME,... of the logged variables
  std::string csv;
  int logPoints = 100;
  std::string logType = "fast";
  int logDivider = 1;
};

// Launches the program, runs it until it ends (or for --for seconds), prints "NAME = VALUE" for
// each --read and for MER, and writes the logged points to --csv.
int RunDriveProgram(Host& host, const DriveRunOptions& options);

}  // namespace kestrel::cli
