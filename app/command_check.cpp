// kestrel check: every fault of one or more setup files.
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "drivebase/setup_file.h"

namespace kestrel::cli {
namespace {

std::vector<std::string> FaultsOfFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {"cannot be opened for reading"};
  std::ostringstream contents;
  contents << file.rdbuf();
  return drivebase::CheckSetupText(contents.str());
}

int RunCheck(const std::vector<std::string>& files) {
  std::size_t faulty = 0;
  for (const std::string& path : files) {
    const std::vector<std::string> faults = FaultsOfFile(path);
    if (faults.empty()) {
      std::cout << path << ": OK\n";
      continue;
    }
    ++faulty;
    for (const std::string& fault : faults) std::cout << path << ": " << fault << '\n';
  }
  if (faulty > 0) {
    throw Failure(std::to_string(faulty) + " of " + std::to_string(files.size()) +
                  " setup files have faults");
  }
  return 0;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& status) {
  auto files = std::make_shared<std::vector<std::string>>();
  CLI::App* check = app.add_subcommand("check", "Validate setup files and list every fault found");
  check->add_option("files", *files, "Setup files")->required();
  check->callback([files, &status] {
    status = RunReportingErrors([&] { return RunCheck(*files); });
  });
}

}  // namespace kestrel::cli
