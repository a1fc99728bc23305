// kestrel compute: every register from the user-level parameters, then ComputeAllOptions through
// the plug-in's export (the user level derived back, limits, options and units), as a dialog
// does before it hands the setup on.
#include <iostream>
#include <memory>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "compute/registers.h"
#include "drivebase/setup_file.h"
#include "number_text.h"
#include "dialogs/message_box_reporter.h"
#include "setup_changes.h"
#include "table_text.h"

namespace kestrel::cli {
namespace {

struct ComputeOptions {
  SetupSource source;
  std::string out;
  bool diff = false;
};

int RunCompute(Host& host, const ComputeOptions& options) {
  CMC_Setup setup = host.LoadSetup(options.source);
  const SetupValues before = ValuesOf(setup);
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
