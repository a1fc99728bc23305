// Setup files: JSON, versioned, one parameter per line, values in the drive's internal unit and
// limits in base units, every double written so that it reads back bit for bit. The format is
// described in docs/setup-format.md.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "drivebase/setup.h"

namespace drivebase {

inline constexpr std::string_view kSetupFormatName = "kestrel-setup";
inline constexpr int kSetupFormatVersion = 1;

// A setup text that cannot be used, with every fault found, each naming the entry.
class SetupFileError : public std::runtime_error {
 public:
  SetupFileError(const std::string& source, std::vector<std::string> faults);
  const std::string& source() const { return source_; }
  const std::vector<std::string>& faults() const { return faults_; }

 private:
  std::string source_;
  std::vector<std::string> faults_;
};

// Reads a setup from its text; source names it in messages. Throws SetupFileError.
CMC_Setup ParseSetup(std::string_view text, const std::string& source);

// Every fault of the text; empty when it is a valid setup.
std::vector<std::string> CheckSetupText(std::string_view text);

std::string SerializeSetup(const CMC_Setup& setup);

// Reads the file into the setup; on failure (SetupFileError, also for an unreadable file) the
// setup is left exactly as it was.
void LoadSetupFile(const std::filesystem::path& path, CMC_Setup& setup);
CMC_Setup ReadSetupFile(const std::filesystem::path& path);

// Saves atomically: a failed save (std::runtime_error) leaves an existing file untouched.
void SaveSetupFile(const CMC_Setup& setup, const std::filesystem::path& path);

}  // namespace drivebase
