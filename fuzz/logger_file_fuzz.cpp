// Fuzzes the logger file loader over the default setup's drive variables: every input is either
// refused (the logger left as it was) or loads into a logger that saves, loads again and saves
// again to exactly the same text.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "drivebase/logger.h"
#include "kestrel/default_setup.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CMC_Setup setup = kestrel::LoadDefaultSetup();
  static const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                              ("logger_file_fuzz_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path input = folder / "input.json", first = folder / "first.json",
                              second = folder / "second.json";
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  CMC_SingleAxisLogger logger(&setup, nullptr);
  const drivebase::LoggerSettings before = logger.LaunchSettings();
  if (!logger.Load(input.string())) {
    const drivebase::LoggerSettings after = logger.LaunchSettings();
    if (after.points != before.points || after.type != before.type || after.divider != before.divider ||
        logger.GetVariablesNo() != 0 || logger.GetPointsNo() != 0) {
      std::abort();  // a refused file changed the logger
    }
    return 0;
  }
  if (!logger.Save(first.string())) std::abort();
  CMC_SingleAxisLogger again(&setup, nullptr);
  if (!again.Load(first.string()) || !again.Save(second.string())) std::abort();
  if (ReadAll(first) != ReadAll(second)) std::abort();
  return 0;
}
