// The plot directory, and the plots' files written into it.
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "drivebase/atomic_file.h"
#include "drivebase/graph.h"

namespace drivebase {
namespace {

std::mutex& DirectoryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& Directory() {
  static std::string directory;
  return directory;
}

}  // namespace

std::string PlotDirectory() {
  std::lock_guard lock(DirectoryMutex());
  return Directory().empty() ? std::filesystem::current_path().string() : Directory();
}

void SetPlotDirectory(const std::string& directory) {
  std::lock_guard lock(DirectoryMutex());
  Directory() = directory;
}

bool WritePlotFile(const std::string& name, std::string_view extension, std::string_view contents,
                   std::string& error) {
  if (name.empty()) {
    error = "cannot save a plot without a name (in '" + PlotDirectory() + "')";
    return false;
  }
  // The name is a file's name: a folder in it (or an absolute path) would write outside the
  // plot directory.
  if (name.find_first_of("/\\") != std::string::npos) {
    error = "cannot save the plot '" + name + "': its name must not name a folder";
    return false;
  }
  try {
    WriteFileAtomically(std::filesystem::path(PlotDirectory()) / (name + std::string(extension)), contents);
  } catch (const std::exception& failure) {
    error = failure.what();
    return false;
  }
  return true;
}

}  // namespace drivebase
