// kestrel set: parameter values in their base units, written to a setup file.
#include <iostream>
#include <memory>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "drivebase/error_report.h"
#include "drivebase/setup_file.h"
#include "number_text.h"
#include "setup_source.h"

namespace kestrel::cli {
namespace {

struct SetOptions {
  SetupSource source;
  std::string out;
  std::vector<std::string> assignments;
};

struct Assignment {
  std::string name;
  double value;
};

Assignment ParseAssignment(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw UsageError("'" + text + "' is not NAME=VALUE");
  }
  const std::optional<double> value = ParseNumber(std::string_view(text).substr(equals + 1));
  if (!value) {
    throw UsageError("'" + text + "': the value must be a finite decimal number");
  }
  return {text.substr(0, equals), *value};
}

int RunSet(Host& host, const SetOptions& options) {
  const std::string target = options.source.OutputPath(options.out, "set");
  std::vector<Assignment> assignments;
  for (const std::string& text : options.assignments) assignments.push_back(ParseAssignment(text));

  CMC_Setup setup = host.LoadSetup(options.source);
  for (const Assignment& assignment : assignments) {
    CMC_Parameter* parameter = nullptr;
    {
      const drivebase::ErrorReportingOff silent;
      parameter = setup.FindParameter(assignment.name);
    }
    if (parameter == nullptr) {
      throw Failure("no parameter named '" + assignment.name + "' in " + options.source.Name());
    }
    const double before = parameter->GetValueInBaseUnit();
    if (!parameter->SetValueInBaseUnit(assignment.value)) {
      throw Failure("'" + parameter->GetName() + "' cannot hold " + NumberText(assignment.value));
    }
    const double after = parameter->GetValueInBaseUnit();
    std::cout << parameter->GetName() << ": " << NumberText(before) << " -> " << NumberText(after)
              << (parameter->GetBaseUnitName().empty() ? "" : " ")
              << parameter->GetBaseUnitName();
    if (after != assignment.value) std::cout << " (asked for " << NumberText(assignment.value) << ")";
    std::cout << '\n';
  }
  drivebase::SaveSetupFile(setup, target);
  return 0;
}

}  // namespace

void AddSetCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<SetOptions>();
  CLI::App* set = app.add_subcommand(
      "set", "Set parameters in their base units (the setup model limits and rounds as always) "
             "and write the setup");
  set->add_option("--setup", options->source.path, "Setup file to change (default: the embedded default setup)");
  set->add_option("--out", options->out, "File to write (default: the --setup file itself)");
  set->add_option("assignments", options->assignments, "NAME=VALUE in the base unit")->required();
  set->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunSet(host, *options); });
  });
}

}  // namespace kestrel::cli
