// The commissioning reports of a kestrel gui session, served beside the page: /reports/N/ is the
// N-th report's directory (its index.html and its plots). A request never leaves its directory:
// no "." or ".." segment, no link that points out of it, regular files only.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui_server.h"

namespace kestrel::gui {

class ReportDirectories {
 public:
  // Any thread: serves the directory from now on; returns the address of its page,
  // "/reports/N/index.html". std::runtime_error naming it when it does not exist.
  std::string Add(const std::filesystem::path& directory);
  // Any thread: the file that a request's path names ("/reports/2/plots/01-phase/current.svg");
  // none when the path names no file of a report.
  std::optional<ServedFile> Find(std::string_view path) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::filesystem::path> directories_;  // as the file system names them (canonical)
};

// A new, empty directory for the report of a commissioning of the setup at `setupFile`: beside
// it, "NAME-commissioning", else "NAME-commissioning-2", "-3" ..., the first that is free; for the
// embedded default setup (an empty name), a new "kestrel-commissioning-XXXXXX" in the system's
// temporary directory. std::runtime_error naming the directory when it cannot be made.
std::filesystem::path NewReportDirectory(const std::string& setupFile);

}  // namespace kestrel::gui
