// Program images as the host holds them: loaded from the program directory, with the words of
// their user variables.
#include <fstream>
#include <sstream>
#include <system_error>

#include "drivebase/program_image.h"

namespace drivebase {
namespace {

std::filesystem::path g_programDirectory;

std::filesystem::path ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : executable.parent_path();
}

ProgramDescriptor ReadDescriptorFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ProgramImageError(path + ": cannot be opened (no such program image?)");
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw ProgramImageError(path + ": cannot be read");
  ProgramDescriptor descriptor = ParseProgramDescriptor(text.str(), path);
  const std::string stem = std::filesystem::path(path).stem().string();
  if (descriptor.name != stem) {
    throw ProgramImageError(path + ": describes the program \"" + descriptor.name + "\", not \"" + stem + "\"");
  }
  return descriptor;
}

}  // namespace

std::filesystem::path ProgramDirectory() {
  return g_programDirectory.empty() ? ExecutableDirectory() / "programs" : g_programDirectory;
}

void SetProgramDirectory(const std::filesystem::path& directory) { g_programDirectory = directory; }

std::filesystem::path ProgramImagePath(std::string_view program) {
  return ProgramDirectory() / (std::string(program) + ".out");
}

}  // namespace drivebase

bool CMC_CoffFormat::ReadCoff() {
  try {
    drivebase::ProgramDescriptor descriptor = drivebase::ReadDescriptorFile(fileName_);
    values_.clear();
    for (const drivebase::ProgramVariableSpec& variable : descriptor.variables) values_.push_back(variable.initial);
    descriptor_ = std::move(descriptor);
    loadError_.clear();
    launchSerial_ = 0;
    return true;
  } catch (const drivebase::ProgramImageError& error) {
    loadError_ = error.what();
    return false;
  }
}

bool CMC_CoffFormat::ReadCoff(const std::string& path) {
  const std::string previous = fileName_;
  fileName_ = path;
  if (ReadCoff()) return true;
  if (IsLoaded()) fileName_ = previous;  // the loaded image stays what it was
  return false;
}

bool CMC_CoffFormat::GetVariableValue(std::string_view name, double& internal) const {
  if (!IsLoaded()) return false;
  const auto& variables = descriptor_->variables;
  for (std::size_t i = 0; i < variables.size(); ++i) {
    if (variables[i].name == name) {
      internal = values_[i];
      return true;
    }
  }
  return false;
}

bool CMC_CoffFormat::SetVariableValue(std::string_view name, double internal) {
  if (!IsLoaded()) return false;
  const auto& variables = descriptor_->variables;
  for (std::size_t i = 0; i < variables.size(); ++i) {
    if (variables[i].name != name) continue;
    const std::optional<double> word = drivebase::StoreAs(variables[i].type, internal);
    if (!word) return false;
    values_[i] = *word;
    return true;
  }
  return false;
}
