#include "plugin_library.h"

#include <dlfcn.h>

#include "cli_error.h"

namespace kestrel::cli {
namespace {

void* Resolve(void* handle, const std::filesystem::path& path, const char* symbol) {
  void* address = ::dlsym(handle, symbol);
  if (address == nullptr) {
    ::dlclose(handle);
    throw Failure("plug-in " + path.string() + " does not export '" + symbol + "'");
  }
  return address;
}

}  // namespace

std::filesystem::path PluginLibrary::DefaultPath() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::current_path() : executable.parent_path()) / "libkestrel.so";
}

PluginLibrary::PluginLibrary(const std::filesystem::path& path)
    : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ == nullptr) {
    const char* reason = ::dlerror();
    throw Failure("cannot load the plug-in: " + std::string(reason != nullptr ? reason : path.string()));
  }
  exports_.editSetup = reinterpret_cast<int (*)(CMC_Setup*)>(Resolve(handle_, path, "EditSetup"));
  exports_.computeAllOptions =
      reinterpret_cast<void (*)(CMC_Setup*)>(Resolve(handle_, path, "ComputeAllOptions"));
  exports_.getScaleFactor =
      reinterpret_cast<drivebase::ScaleFunction>(Resolve(handle_, path, "GetScaleFactor"));
  exports_.getScaleOffset =
      reinterpret_cast<drivebase::ScaleFunction>(Resolve(handle_, path, "GetScaleOffset"));
  exports_.sinusoidalMode = static_cast<int*>(Resolve(handle_, path, "g_bKufSinusoidalMode"));
}

PluginLibrary::~PluginLibrary() { ::dlclose(handle_); }

}  // namespace kestrel::cli
