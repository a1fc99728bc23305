// kestrel options: ComputeAllOptions through the plug-in's export, and the setup written.
#include <iostream>
#include <memory>

#include "cli_error.h"
#include "commands.h"
#include "drivebase/setup_file.h"

namespace kestrel::cli {
namespace {

struct OptionsOptions {
  SetupSource source;
  std::string out;
};

int RunOptions(Host& host, const OptionsOptions& options) {
  const std::string target = options.source.OutputPath(options.out, "options");
  CMC_Setup setup = host.LoadSetup(options.source);
  host.Plugin().computeAllOptions(&setup);
  drivebase::SaveSetupFile(setup, target);
  return 0;
}

}  // namespace

void AddOptionsCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<OptionsOptions>();
  CLI::App* command = app.add_subcommand(
      "options", "Run ComputeAllOptions of the plug-in on the setup and write the setup");
  command->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  command->add_option("--out", options->out, "File to write (default: the --setup file itself)");
  command->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunOptions(host, *options); });
  });
}

}  // namespace kestrel::cli
