// The plug-in, loaded with dlopen, and its five exports.
#pragma once

#include <filesystem>

#include "drivebase/setup.h"

namespace kestrel::cli {

struct PluginExports {
  int (*editSetup)(CMC_Setup*) = nullptr;
  void (*computeAllOptions)(CMC_Setup*) = nullptr;
  drivebase::ScaleFunction getScaleFactor = nullptr;
  drivebase::ScaleFunction getScaleOffset = nullptr;
  int* sinusoidalMode = nullptr;  // g_bKufSinusoidalMode
};

class PluginLibrary {
 public:
  // libkestrel.so beside the running executable.
  static std::filesystem::path DefaultPath();

  // Loads the library and resolves every export; throws Failure naming the library and what
  // is missing.
  explicit PluginLibrary(const std::filesystem::path& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const PluginExports& exports() const { return exports_; }

 private:
  void* handle_;
  PluginExports exports_;
};

}  // namespace kestrel::cli
