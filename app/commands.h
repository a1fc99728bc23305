// The sub-commands of kestrel. Each registers itself on the application; its callback runs the
// command and stores the exit status.
#pragma once

#include <CLI/CLI.hpp>

#include "host.h"

namespace kestrel::cli {

void AddShowCommand(CLI::App& app, Host& host, int& status);
void AddSetCommand(CLI::App& app, Host& host, int& status);
void AddCheckCommand(CLI::App& app, int& status);
void AddScaleCommand(CLI::App& app, Host& host, int& status);
void AddOptionsCommand(CLI::App& app, Host& host, int& status);
void AddComputeCommand(CLI::App& app, Host& host, int& status);
void AddTuneCommand(CLI::App& app, Host& host, int& status);
void AddFiltersCommand(CLI::App& app, Host& host, int& status);
void AddEditCommand(CLI::App& app, Host& host, int& status);
void AddGuiCommand(CLI::App& app, Host& host, int& status);
void AddDriveCommand(CLI::App& app, Host& host, int& status);
void AddTestCommand(CLI::App& app, Host& host, int& status);
void AddCommissionCommand(CLI::App& app, Host& host, int& status);

// The whole command line: parses, runs the chosen sub-command, returns the exit status.
int Main(int argc, char** argv);

}  // namespace kestrel::cli
