// What the commands share: the plug-in (loaded on first use, from --plugin or beside the
// executable) and the setups, which convert their values through the plug-in's scales.
#pragma once

#include <memory>
#include <string>

#include "plugin_library.h"
#include "setup_source.h"

namespace kestrel::cli {

class Host {
 public:
  std::string pluginPath;  // empty: libkestrel.so beside the executable

  const PluginExports& Plugin();

  // The setup of the source, converting through the plug-in.
  CMC_Setup LoadSetup(const SetupSource& source);

 private:
  std::unique_ptr<PluginLibrary> plugin_;
};

}  // namespace kestrel::cli
