// Fuzzes the setup loader with arbitrary text. Each input must either be rejected with
// SetupFileError or load into a setup that survives a save/load round trip bit for bit, and
// CheckSetupText must find no fault exactly when the text loads.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "drivebase/error_report.h"
#include "drivebase/setup_file.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "setup_loader_fuzz: %s\n", what.c_str());
  std::abort();
}

std::optional<CMC_Setup> Load(std::string_view text) {
  try {
    return drivebase::ParseSetup(text, "fuzz");
  } catch (const drivebase::SetupFileError&) {
    return std::nullopt;
  }
}

// The first line where the texts differ, both versions, for the failure message.
std::string FirstDifference(std::string_view saved, std::string_view savedAgain) {
  std::size_t start = 0;
  int line = 1;
  while (true) {
    const std::size_t end = saved.find('\n', start);
    const std::size_t endAgain = savedAgain.find('\n', start);
    const std::string_view first = saved.substr(start, end - start);
    const std::string_view second = savedAgain.substr(start, endAgain - start);
    if (first != second || end == std::string_view::npos) {
      return "line " + std::to_string(line) + ":\n  first save:  " + std::string(first) +
             "\n  second save: " + std::string(second);
    }
    start = end + 1;
    ++line;
  }
}

void CheckRoundTrip(const CMC_Setup& setup) {
  const std::string saved = drivebase::SerializeSetup(setup);
  std::optional<CMC_Setup> reloaded;
  try {
    reloaded = drivebase::ParseSetup(saved, "fuzz (saved)");
  } catch (const drivebase::SetupFileError& error) {
    Fail(std::string("a saved setup does not load again: ") + error.what() + "\n" + saved);
  }
  const std::string savedAgain = drivebase::SerializeSetup(*reloaded);
  if (savedAgain != saved) {
    Fail("a reloaded setup saves differently, " + FirstDifference(saved, savedAgain));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Rejected inputs are the normal case here; their messages would only flood the log.
  drivebase::SetErrorSink([](const std::string&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<CMC_Setup> setup = Load(text);
  const bool checkedSound = drivebase::CheckSetupText(text).empty();
  if (checkedSound != setup.has_value()) {
    Fail(setup ? "CheckSetupText finds faults in a text that loads"
               : "CheckSetupText finds no fault in a text that does not load");
  }
  if (setup) CheckRoundTrip(*setup);
  return 0;
}
