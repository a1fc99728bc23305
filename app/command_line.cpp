#include <iostream>

#include "cli_error.h"
#include "commands.h"
#include "console_message_boxes.h"

namespace kestrel::cli {

int Main(int argc, char** argv) {
  CLI::App app{"kestrel: setup and commissioning of a brushless servo drive family"};
  app.name("kestrel");
  app.require_subcommand(1);
  app.fallthrough();  // --plugin may also follow the sub-command
  const ConsoleMessageBoxes console;
  Host host;
  app.add_option("--plugin", host.pluginPath,
                 "Plug-in library to load (default: libkestrel.so beside kestrel)");
  int status = 0;
  AddShowCommand(app, host, status);
  AddSetCommand(app, host, status);
  AddCheckCommand(app, status);
  AddScaleCommand(app, host, status);
  AddOptionsCommand(app, host, status);
  AddComputeCommand(app, host, status);
  AddTuneCommand(app, host, status);
  AddFiltersCommand(app, host, status);
  AddEditCommand(app, host, status);
  AddGuiCommand(app, host, status);
  AddDriveCommand(app, host, status);
  AddTestCommand(app, host, status);
  AddCommissionCommand(app, host, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help
    std::cerr << "kestrel: " << error.what() << " (see 'kestrel --help')\n";
    return kExitUsage;
  }
  return status;
}

}  // namespace kestrel::cli
