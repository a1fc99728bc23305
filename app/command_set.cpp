// kestrel set: parameter values in their base units, written to a setup file. A new PWM frequency
// or loop divider goes through the computation engine's timing change, as in the Advanced dialog,
// unless --raw asks for the registers as they are.
#include <iostream>
#include <memory>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "compute/timing_change.h"
#include "dialogs/message_box_reporter.h"
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
  bool raw = false;
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

// What the timing change did besides the edit itself: dividers and periods it chose, serial
// clocks it raised, values it rescaled (internal values: loop samples and counts per sample).
void PrintTimingChange(const CMC_Setup& before, const CMC_Setup& after, const TimingChange& change) {
  const drivebase::ErrorReportingOff silent;  // a setup may lack some of them
  for (const char* name : {"PWM_freq", "CLPER", "SLPER", "Ts_C", "Ts_S"}) {
    const CMC_Parameter* parameter = after.FindParameter(name);
    const double old = before.GetParameterValueInBaseUnit(name);
    if (parameter == nullptr || parameter->GetValueInBaseUnit() == old) continue;
    std::cout << "  " << name << ": " << NumberText(old) << " -> " << NumberText(parameter->GetValueInBaseUnit())
              << (parameter->GetBaseUnitName().empty() ? "" : " ") << parameter->GetBaseUnitName() << '\n';
  }
  for (const SerialClockChange& clock : change.serialClocks) {
    if (clock.outcome == SerialClockOutcome::kRaised) {
      std::cout << "  " << clock.parameter << ": " << NumberText(clock.before_Hz) << " -> "
                << NumberText(clock.after_Hz) << " Hz (a read no longer fits in the loop at the old clock)\n";
    } else {
      std::cout << "  " << clock.parameter << ": the loop is too short to read the serial encoder at any clock\n";
    }
  }
  if (!change.rescaled.empty()) {
    std::cout << "  rescaled " << change.rescaled.size() << " time-dependent values by the slow-loop ratio "
              << NumberText(change.ratio) << " (internal values, each keeps its meaning in seconds):\n";
    for (const RescaledValue& value : change.rescaled) {
      std::cout << "    " << value.name << ": " << NumberText(value.before) << " -> " << NumberText(value.after) << '\n';
    }
  }
  const auto warnIf = [](bool tooShort, const char* loop, const char* minimum) {
    if (!tooShort) return;
    std::cout << "  warning: the " << loop << " loop period is below the drive's minimum (" << minimum
              << ") or too short for a serial encoder read\n";
  };
  warnIf(change.fastLoopTooShort, "fast", "Ts_C_min");
  warnIf(change.slowLoopTooShort, "slow", "Ts_S_min");
}

int RunSet(Host& host, const SetOptions& options) {
  const std::string target = options.source.OutputPath(options.out, "set");
  std::vector<Assignment> assignments;
  for (const std::string& text : options.assignments) assignments.push_back(ParseAssignment(text));

  CMC_Setup setup = host.LoadSetup(options.source);
  LoopTiming timing = ReadLoopTiming(&setup);
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
    if (!options.raw && IsTimingParameter(assignment.name) && after != before) {
      const CMC_Setup untimed = setup;
      const TimingChange change = ChangeTiming(&setup, assignment.name, timing, MessageBoxReporter());
      PrintTimingChange(untimed, setup, change);
    }
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
  set->add_flag("--raw", options->raw,
                 "Set PWM_freq, CLPER and SLPER as they are: no dividers chosen, no time rescaled");
  set->add_option("assignments", options->assignments, "NAME=VALUE in the base unit")->required();
  set->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunSet(host, *options); });
  });
}

}  // namespace kestrel::cli
