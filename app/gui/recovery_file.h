// The recovery file: while the setup has changes that are not saved, it is also kept here, beside
// the user's data, so that a crash or a kill of kestrel gui loses nothing; the next kestrel gui
// offers it. It holds the setup and the file it belongs to.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "drivebase/setup.h"

namespace kestrel::gui {

class RecoveryFile {
 public:
  explicit RecoveryFile(std::filesystem::path path) : path_(std::move(path)) {}

  // $XDG_DATA_HOME/kestrel/recovery.json, or ~/.local/share/kestrel/recovery.json.
  static std::filesystem::path DefaultPath();

  struct Recovered {
    CMC_Setup setup;
    std::string file;  // empty: it began as the embedded default setup
  };
  // What the file holds; none when there is no file. A file that cannot be read throws
  // std::runtime_error naming it and what is wrong.
  std::optional<Recovered> Read() const;
  // Writes the setup text atomically, unless the same was written last.
  void Keep(const std::string& setupText, const std::string& file);
  // Removes the file (the setup was saved, or its changes were given up).
  void Discard();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::string written_;
};

}  // namespace kestrel::gui
