#include "recovery_file.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "drivebase/atomic_file.h"
#include "drivebase/setup_file.h"

namespace kestrel::gui {
namespace {

constexpr const char* kFormat = "kestrel-recovery";

}  // namespace

std::filesystem::path RecoveryFile::DefaultPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::filesystem::path folder = data != nullptr && *data != '\0' ? std::filesystem::path(data)
                                 : home != nullptr               ? std::filesystem::path(home) / ".local" / "share"
                                                                 : std::filesystem::temp_directory_path();
  return folder / "kestrel" / "recovery.json";
}

std::optional<RecoveryFile::Recovered> RecoveryFile::Read() const {
  std::ifstream in(path_);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  const nlohmann::json content = nlohmann::json::parse(text.str(), nullptr, false);
  if (content.is_discarded() || !content.is_object() || content.value("format", "") != kFormat ||
      !content.contains("setup") || !content["setup"].is_string()) {
    throw std::runtime_error(path_.string() + ": not a recovery file of kestrel gui");
  }
  return Recovered{drivebase::ParseSetup(content["setup"].get<std::string>(), path_.string()),
                   content.value("file", "")};
}

void RecoveryFile::Keep(const std::string& setupText, const std::string& file) {
  const std::string contents = nlohmann::json{{"format", kFormat}, {"file", file}, {"setup", setupText}}.dump(1);
  if (contents == written_) return;
  std::filesystem::create_directories(path_.parent_path());
  drivebase::WriteFileAtomically(path_, contents);
  written_ = contents;
}

void RecoveryFile::Discard() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
  written_.clear();
}

}  // namespace kestrel::gui
