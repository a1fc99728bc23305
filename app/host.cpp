#include "host.h"

namespace kestrel::cli {

const PluginExports& Host::Plugin() {
  if (!plugin_) {
    plugin_ = std::make_unique<PluginLibrary>(pluginPath.empty() ? PluginLibrary::DefaultPath()
                                                                 : std::filesystem::path(pluginPath));
  }
  return plugin_->exports();
}

CMC_Setup Host::LoadSetup(const SetupSource& source) {
  CMC_Setup setup = source.Load();
  const PluginExports& plugin = Plugin();
  setup.SetScaleFunctions({plugin.getScaleFactor, plugin.getScaleOffset});
  return setup;
}

}  // namespace kestrel::cli
