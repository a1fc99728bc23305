// The scope logger's settings: each channel's scale, the fit of the scales to the window, and
// the settings as text in a setup option:
//
//   {"window_s": 0.5, "trigger_mode": 4, "trigger_slope": 1, "trigger_variable": "Speed_Reference",
//    "level": 950, "pretrigger_percent": 20,
//    "channels": [{"variable": "Speed_Reference", "flag": 1, "unit": "rpm", "scale": 200,
//                  "offset": 0}, ...]}
#include <algorithm>
#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "drivebase/scope_logger.h"

namespace {

using nlohmann::json;

// Divisions from the centre line to the top (and to the bottom) of the plot.
constexpr double kHalfDivisions = 4.0;

// The next step of the series after `step`.
double NextRoundStep(double step) { return drivebase::RoundStepAtLeast(step * 1.000001); }

bool IsNumber(const json& object, const char* key) { return object.contains(key) && object[key].is_number(); }

}  // namespace

// Negative powers of ten divide, so that 0.2 is the double nearest to 0.2, not 2 × 0.1.
double drivebase::RoundStepAtLeast(double at_least) {
  if (!(at_least > 0.0)) return 1.0;
  if (std::isinf(at_least)) return at_least;
  for (int exponent = static_cast<int>(std::floor(std::log10(at_least)));; ++exponent) {
    for (const double factor : {1.0, 2.0, 5.0}) {
      const double step = exponent >= 0 ? factor * std::pow(10.0, exponent) : factor / std::pow(10.0, -exponent);
      if (step >= at_least) return step;
    }
  }
}

bool CMC_ScopeLogger::RescaleVariable(const std::string& variable, const std::string& unit, double scale,
                                      double offset) {
  if (!(scale > 0.0) || !std::isfinite(scale) || !std::isfinite(offset)) return false;
  for (std::size_t i = 0; i < Variables().size(); ++i) {
    if (Variables()[i].name != variable) continue;
    ScaleOf(i) = {unit, scale, offset};
    return true;
  }
  return false;
}

bool CMC_ScopeLogger::ChangeChannelScale(int channel, double scale) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= Variables().size()) return false;
  if (!(scale > 0.0) || !std::isfinite(scale)) return false;
  ScaleOf(static_cast<std::size_t>(channel)).scale = scale;
  return true;
}

const drivebase::ScopeChannelScale& CMC_ScopeLogger::ChannelScale(int channel) const {
  static const drivebase::ScopeChannelScale kUnscaled;
  if (channel < 0 || static_cast<std::size_t>(channel) >= scales_.size()) return kUnscaled;
  return scales_[static_cast<std::size_t>(channel)];
}

drivebase::ScopeChannelScale& CMC_ScopeLogger::ScaleOf(std::size_t channel) {
  if (scales_.size() < Variables().size()) scales_.resize(Variables().size());
  return scales_[channel];
}

void CMC_ScopeLogger::Autoscale() {
  const CGraphDocument& document = GetGraphDocument();
  for (std::size_t channel = 0; channel < Variables().size(); ++channel) {
    const std::size_t column = channel + 1;
    if (!document.HasColumn(static_cast<int>(column))) continue;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (std::size_t row = 0; row < document.RowCount(); ++row) {
      const double value = document.Value(row, column);
      if (!std::isfinite(value)) continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
    if (low > high) continue;  // no point to fit
    const double spread = high - low;
    const double reach = spread > 0.0 ? spread : std::max(std::abs(high), 1.0);
    // The centre on a whole division; a wider division when the rounding pushes a point out.
    double scale = drivebase::RoundStepAtLeast(reach / (2.0 * kHalfDivisions));
    double offset = std::round((low + high) / 2.0 / scale) * scale;
    while (high > offset + kHalfDivisions * scale || low < offset - kHalfDivisions * scale) {
      scale = NextRoundStep(scale);
      offset = std::round((low + high) / 2.0 / scale) * scale;
    }
    drivebase::ScopeChannelScale& fitted = ScaleOf(channel);
    fitted.scale = scale;
    fitted.offset = offset;
  }
}

void CMC_ScopeLogger::SaveSettingsToSetupOption(const std::string& option) const {
  json channels = json::array();
  for (std::size_t i = 0; i < Variables().size(); ++i) {
    const drivebase::ScopeChannelScale& scale = ChannelScale(static_cast<int>(i));
    channels.push_back({{"variable", Variables()[i].name},
                        {"flag", Variables()[i].flag},
                        {"unit", scale.unit},
                        {"scale", scale.scale},
                        {"offset", scale.offset}});
  }
  const json settings{{"window_s", window_s_},
                      {"trigger_mode", triggerMode_},
                      {"trigger_slope", triggerSlope_},
                      {"trigger_variable", triggerVariable_},
                      {"level", level_},
                      {"pretrigger_percent", pretrigger_percent_},
                      {"channels", std::move(channels)}};
  Setup()->SetOption(option, settings.dump());
}

bool CMC_ScopeLogger::LoadSettingsFromSetupOption(const std::string& option) {
  if (Setup() == nullptr || UploadInProgress()) return false;
  const json settings = json::parse(Setup()->GetOptionNoError(option), nullptr, false);
  if (settings.is_discarded() || !settings.is_object()) return false;
  for (const char* key : {"window_s", "trigger_mode", "trigger_slope", "level", "pretrigger_percent"}) {
    if (!IsNumber(settings, key)) return false;
  }
  if (!settings.contains("trigger_variable") || !settings["trigger_variable"].is_string()) return false;
  if (!settings.contains("channels") || !settings["channels"].is_array()) return false;
  struct Channel {
    std::string variable;
    int flag;
    drivebase::ScopeChannelScale scale;
  };
  std::vector<Channel> channels;
  for (const json& entry : settings["channels"]) {
    if (!entry.is_object() || !entry.contains("variable") || !entry["variable"].is_string()) return false;
    if (!entry.contains("unit") || !entry["unit"].is_string()) return false;
    if (!IsNumber(entry, "flag") || !IsNumber(entry, "scale") || !IsNumber(entry, "offset")) return false;
    const std::string name = entry["variable"].get<std::string>();
    const double scale = entry["scale"].get<double>();
    if (Setup()->FindVariable(name, 0) == nullptr || !(scale > 0.0) || !std::isfinite(scale)) return false;
    channels.push_back({name, entry["flag"].get<double>() != 0.0 ? 1 : 0,
                        {entry["unit"].get<std::string>(), scale, entry["offset"].get<double>()}});
  }
  const double percent = settings["pretrigger_percent"].get<double>();
  if (!(percent >= 0.0 && percent <= 100.0) || percent != std::floor(percent)) return false;
  const double mode = settings["trigger_mode"].get<double>();
  const double slope = settings["trigger_slope"].get<double>();
  if (mode != std::floor(mode) || std::abs(mode) > 8 || (slope != 0.0 && slope != 1.0)) return false;

  // Everything is valid: the settings are taken only now.
  if (!ChangeSettings(settings["window_s"].get<double>(), static_cast<int>(mode), static_cast<int>(slope),
                      settings["trigger_variable"].get<std::string>(), settings["level"].get<double>(),
                      static_cast<std::uint16_t>(percent))) {
    return false;
  }
  Reset();
  for (const Channel& channel : channels) {
    AddVariable(channel.variable, channel.flag);
    scales_.push_back(channel.scale);
  }
  LocateItems();
  return true;
}
