// kestrel options: ComputeAllOptions through the plug-in's export, and the setup written.
#include <algorithm>
#include <iostream>
#include <map>
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

std::map<std::string, std::string> OptionValues(const CMC_Setup& setup) {
  std::map<std::string, std::string> values;
  for (const auto& option : setup.Options()) values[option->name] = option->value;
  return values;
}

// Every option after the run, with what it was when the run changed it.
void PrintOptions(const CMC_Setup& setup, const std::map<std::string, std::string>& before) {
  std::size_t width = 0;
  for (const auto& option : setup.Options()) width = std::max(width, option->name.size());
  for (const auto& option : setup.Options()) {
    std::cout << option->name << std::string(width - option->name.size() + 2, ' ') << '"'
              << option->value << '"';
    const auto old = before.find(option->name);
    if (old == before.end()) {
      std::cout << "  (new)";
    } else if (old->second != option->value) {
      std::cout << "  (was \"" << old->second << "\")";
    }
    std::cout << '\n';
  }
}

int RunOptions(Host& host, const OptionsOptions& options) {
  const std::string target = options.source.OutputPath(options.out, "options");
  CMC_Setup setup = host.LoadSetup(options.source);
  const std::map<std::string, std::string> before = OptionValues(setup);
  host.Plugin().computeAllOptions(&setup);
  drivebase::SaveSetupFile(setup, target);
  PrintOptions(setup, before);
  return 0;
}

}  // namespace

void AddOptionsCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<OptionsOptions>();
  CLI::App* command = app.add_subcommand(
      "options", "Run ComputeAllOptions of the plug-in on the setup, write the setup and list its options");
  command->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  command->add_option("--out", options->out, "File to write (default: the --setup file itself)");
  command->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunOptions(host, *options); });
  });
}

}  // namespace kestrel::cli
