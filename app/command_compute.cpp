// kestrel compute: every register from the user-level parameters, then ComputeAllOptions through
// the plug-in's export (the user level derived back, limits, options and units), as a dialog
// does before it hands the setup on.
#include <bit>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "compute/registers.h"
#include "drivebase/setup_file.h"
#include "number_text.h"
#include "dialogs/message_box_reporter.h"
#include "table_text.h"

namespace kestrel::cli {
namespace {

struct ComputeOptions {
  SetupSource source;
  std::string out;
  bool diff = false;
};

// What the setup holds, by name: parameters as their base-unit value, and options.
struct SetupValues {
  std::map<std::string, double> parameters;
  std::map<std::string, std::string> options;
};

SetupValues Values(const CMC_Setup& setup) {
  SetupValues values;
  for (const auto& p : setup.Parameters()) values.parameters[p->GetName()] = p->GetValueInBaseUnit();
  for (const auto& o : setup.Options()) values.options[o->name] = o->value;
  return values;
}

// The same double bit for bit (NaN equals NaN, 0 is not -0).
bool Same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// One row per parameter or option whose value changed: name, old, new, unit.
std::vector<std::vector<std::string>> Changes(const CMC_Setup& setup, const SetupValues& before) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& p : setup.Parameters()) {
    const double old = before.parameters.at(p->GetName());
    const double now = p->GetValueInBaseUnit();
    if (!Same(old, now)) {
      rows.push_back({p->GetName(), NumberText(old), NumberText(now), UnitText(p->GetBaseUnitName())});
    }
  }
  for (const auto& o : setup.Options()) {
    const auto old = before.options.find(o->name);
    if (old == before.options.end()) {
      rows.push_back({o->name, "(none)", '"' + o->value + '"', "option"});
    } else if (old->second != o->value) {
      rows.push_back({o->name, '"' + old->second + '"', '"' + o->value + '"', "option"});
    }
  }
  return rows;
}

int RunCompute(Host& host, const ComputeOptions& options) {
  CMC_Setup setup = host.LoadSetup(options.source);
  const SetupValues before = Values(setup);
  ComputeAllRegisters(&setup, MessageBoxReporter());
  host.Plugin().computeAllOptions(&setup);
  const std::vector<std::vector<std::string>> changes = Changes(setup, before);

  const std::string target = options.out.empty() ? options.source.path : options.out;
  if (!target.empty()) drivebase::SaveSetupFile(setup, target);
  if (options.diff && !changes.empty()) {
    std::vector<std::vector<std::string>> rows{{"NAME", "OLD", "NEW", "UNIT"}};
    rows.insert(rows.end(), changes.begin(), changes.end());
    PrintTable(std::cout, rows);
  }
  std::cout << options.source.Name() << ": " << changes.size()
            << (changes.size() == 1 ? " value changed" : " values changed");
  if (!target.empty()) std::cout << ", written to " << target;
  std::cout << '\n';
  return 0;
}

}  // namespace

void AddComputeCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<ComputeOptions>();
  CLI::App* command = app.add_subcommand(
      "compute", "Compute every drive register from the user-level parameters, then derive the user "
                 "level back with limits, options and units (ComputeAllOptions of the plug-in)");
  command->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  command->add_option("--out", options->out, "File to write (default: the --setup file; none for the default setup)");
  command->add_flag("--diff", options->diff, "List every parameter and option that changed, old and new");
  command->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunCompute(host, *options); });
  });
}

}  // namespace kestrel::cli
