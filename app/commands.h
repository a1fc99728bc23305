// The sub-commands of kestrel. Each registers itself on the application; its callback runs the
// command and stores the exit status.
#pragma once

#include <CLI/CLI.hpp>

namespace kestrel::cli {

void AddShowCommand(CLI::App& app, int& status);
void AddSetCommand(CLI::App& app, int& status);
void AddCheckCommand(CLI::App& app, int& status);

// The whole command line: parses, runs the chosen sub-command, returns the exit status.
int Main(int argc, char** argv);

}  // namespace kestrel::cli
