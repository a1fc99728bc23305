// kestrel drive run: a drive program launched the way a commissioning test launches it, run in
// simulated time, its variables printed; kestrel drive programs: the drive's program catalogue.
#include <iostream>
#include <memory>

#include "cli_error.h"
#include "commands.h"
#include "drive_run.h"
#include "drivesim/catalogue.h"
#include "table_text.h"

namespace kestrel::cli {
namespace {

std::string VariablesText(const drivesim::ProgramDescriptor& program, drivesim::VariableDirection direction) {
  std::string text;
  for (const drivesim::ProgramVariable& variable : program.variables) {
    if (variable.direction != direction) continue;
    text += (text.empty() ? "" : " ") + variable.name;
  }
  return text.empty() ? "-" : text;
}

int ListPrograms() {
  std::vector<std::vector<std::string>> rows{{"PROGRAM", "INPUTS", "OUTPUTS", "BOTH"}};
  for (const drivesim::ProgramDescriptor& program : drivesim::ProgramCatalogue()) {
    rows.push_back({program.name, VariablesText(program, drivesim::VariableDirection::input),
                    VariablesText(program, drivesim::VariableDirection::output),
                    VariablesText(program, drivesim::VariableDirection::in_out)});
  }
  PrintTable(std::cout, rows);
  return 0;
}

void AddRunCommand(CLI::App& drive, Host& host, int& status) {
  auto options = std::make_shared<DriveRunOptions>();
  CLI::App* run = drive.add_subcommand(
      "run", "Launch a drive program as a commissioning test does (the setup's registers sent, its variables "
             "written), run it in simulated time until it ends, and print variables and MER in internal units");
  run->add_option("program", options->program, "Full program name, e.g. IE_Current_Controller_Tuning_Test")->required();
  run->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  AddDriveOptions(*run, options->drive);
  run->add_option("--set", options->sets, "NAME=VALUE: a variable of the program, in internal units (repeatable)");
  AddFaultOption(*run, options->faults);
  run->add_option("--for", options->forSeconds, "Simulated seconds to run at most (default: until the program ends)")
      ->check(CLI::PositiveNumber);
  run->add_option("--read", options->reads, "A program or drive variable or register to print after the run (repeatable)");
  run->add_option("--log", options->log, "NAME,...: variables the drive's logger records during the run");
  run->add_option("--csv", options->csv, "File for the logged points (time in s, then the variables)");
  run->add_option("--log-points", options->logPoints, "Points to log (default 100)")->check(CLI::PositiveNumber);
  run->add_option("--log-type", options->logType, "fast (default: every divider current-loop periods) or slow (speed loop)")
      ->check(CLI::IsMember({"fast", "slow"}));
  run->add_option("--log-divider", options->logDivider, "Loop periods between logged points (default 1)")
      ->check(CLI::PositiveNumber);
  run->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunDriveProgram(host, *options); });
  });
}

}  // namespace

void AddDriveCommand(CLI::App& app, Host& host, int& status) {
  CLI::App* drive = app.add_subcommand("drive", "Run the drive's test programs on the simulated drive");
  drive->require_subcommand(1);
  AddRunCommand(*drive, host, status);
  drive->add_subcommand("programs", "List the drive's programs with their input and output variables")
      ->callback([&status] { status = RunReportingErrors(ListPrograms); });
}

}  // namespace kestrel::cli
