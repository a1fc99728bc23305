// kestrel scale: the plug-in's factor and offset for a unit and a parameter or variable name.
#include <cstdio>
#include <memory>

#include "cli_error.h"
#include "commands.h"

namespace kestrel::cli {
namespace {

struct ScaleOptions {
  SetupSource source;
  std::string unit;
  std::string name;
};

int RunScale(Host& host, const ScaleOptions& options) {
  CMC_Setup setup = host.LoadSetup(options.source);
  const PluginExports& plugin = host.Plugin();
  const double factor = plugin.getScaleFactor(&setup, options.unit.c_str(), options.name.c_str());
  const double offset = plugin.getScaleOffset(&setup, options.unit.c_str(), options.name.c_str());
  std::printf("%.17g %.17g\n", factor, offset);
  return 0;
}

}  // namespace

void AddScaleCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<ScaleOptions>();
  CLI::App* scale = app.add_subcommand(
      "scale", "Print the factor and the offset from the internal unit to UNIT for NAME; a value "
               "v shows as (v + offset) * factor");
  scale->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  scale->add_option("unit", options->unit, "Unit, e.g. A, \"V \" (DC bus), rad/s, °C")->required();
  scale->add_option("name", options->name, "Parameter or drive variable name")->required();
  scale->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunScale(host, *options); });
  });
}

}  // namespace kestrel::cli
