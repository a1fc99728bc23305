// The scope logger's capture: the drive's scope armed from the settings, the frames it sends
// written into the window's points, and the stop.
#include "drivebase/scope_logger.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "drivebase/units.h"
#include "drivebase/value_types.h"
#include "drivebase/variable.h"

namespace {

// Samples the drive's scope memory holds for one window: the sampling divider is the smallest
// that fits the window into it.
constexpr int kScopeMemorySamples = 1000;
constexpr const char* kInternalUnit = "IU";

// The slow loop's period, 2 · SLPER · PWMPER / DSP_freq; 0 when the setup cannot give it.
double SlowLoopPeriod_s(const CMC_Setup& setup) {
  double factors[3] = {};
  const char* names[3] = {"SLPER", "PWMPER", "DSP_freq"};
  for (int i = 0; i < 3; ++i) {
    const CMC_Parameter* parameter = setup.FindParameter(names[i]);
    if (parameter == nullptr) return 0.0;
    factors[i] = parameter->GetValueInBaseUnit();
  }
  if (!(factors[0] > 0.0 && factors[1] > 0.0 && factors[2] > 0.0)) return 0.0;
  return 2.0 * factors[0] * factors[1] / factors[2];
}

std::uint16_t WordAt(const std::uint8_t* payload, int word) {
  std::uint16_t value = 0;
  std::memcpy(&value, payload + 2 * word, sizeof value);
  return value;
}

}  // namespace

CMC_ScopeLogger::CMC_ScopeLogger(CMC_Setup* setup, CMC_CoffFormat* image) : CMC_Logger(setup, image) {}

CMC_ScopeLogger::~CMC_ScopeLogger() {
  if (UploadInProgress()) CMC_Comm::DisarmScope();
}

bool CMC_ScopeLogger::ChangeSettings(double window_s, int triggerMode, int triggerSlope,
                                     const std::string& triggerVariable, double level,
                                     std::uint16_t pretrigger_percent) {
  const bool knownMode = triggerMode == drivebase::kScopeFreeRunning || triggerMode == drivebase::kScopeNormal ||
                         triggerMode == drivebase::kScopeSingle;
  if (!(window_s > 0.0) || !std::isfinite(window_s) || !knownMode || pretrigger_percent > 100) return false;
  if (!std::isfinite(level)) return false;
  window_s_ = window_s;
  triggerMode_ = triggerMode;
  triggerSlope_ = triggerSlope == drivebase::kScopeFalling ? drivebase::kScopeFalling : drivebase::kScopeRising;
  triggerVariable_ = triggerVariable;
  level_ = level;
  pretrigger_percent_ = pretrigger_percent;
  return true;
}

void CMC_ScopeLogger::Reset() {
  if (UploadInProgress()) EndUploadData();
  ClearVariables();
  scales_.clear();
  capture_ = {};
}

std::string CMC_ScopeLogger::ChannelName(int channel) const {
  if (channel < 0 || static_cast<std::size_t>(channel) >= Variables().size()) return "";
  return Variables()[static_cast<std::size_t>(channel)].name;
}

bool CMC_ScopeLogger::TriggerLevelInternal(double& internal) const {
  const CMC_Variable* variable = Setup()->FindVariable(triggerVariable_, 0);
  if (variable == nullptr) {
    CMC_Comm::SetLastErrorText("The setup has no drive variable '" + triggerVariable_ + "' to trigger the scope");
    return false;
  }
  internal = level_;
  // The level is in the unit the variable's column shows: its display unit for a flag-1 channel.
  const std::vector<drivebase::GraphColumn>& columns = GetGraphDocument().Columns();
  for (std::size_t i = 0; i < Variables().size() && i + 1 < columns.size(); ++i) {
    if (Variables()[i].name != triggerVariable_ || columns[i + 1].unit == kInternalUnit) continue;
    const double perUnit = drivebase::BaseUnitsPerUnit(variable->GetUnitType(), columns[i + 1].unit);
    internal = variable->InternalFromBase(perUnit != 0.0 ? level_ * perUnit : level_);
    break;
  }
  return true;
}

bool CMC_ScopeLogger::PlanCapture(Capture& capture, drivebase::ScopeSettings& settings) const {
  const double period_s = Setup() != nullptr ? SlowLoopPeriod_s(*Setup()) : 0.0;
  if (period_s <= 0.0) {
    CMC_Comm::SetLastErrorText("The scope's sampling period needs the setup's SLPER, PWMPER and DSP_freq");
    return false;
  }
  if (Variables().empty()) {
    CMC_Comm::SetLastErrorText("The scope has no channel to capture");
    return false;
  }
  for (const LoggedVariable& logged : Variables()) {
    const CMC_Variable* variable = Setup()->FindVariable(logged.name, 0);
    if (variable == nullptr) {
      CMC_Comm::SetLastErrorText("The setup has no drive variable '" + logged.name + "' for the scope");
      return false;
    }
    const int type = variable->GetType();
    capture.channels.push_back(
        {variable->GetSizeInWords(), type != drivebase::kUnsigned16 && type != drivebase::kUnsigned32});
    capture.wordsPerSample += capture.channels.back().words;
    settings.channels.push_back(logged.name);
  }
  capture.divider = std::max(1, static_cast<int>(std::ceil(window_s_ / (period_s * kScopeMemorySamples))));
  capture.samplePeriod_s = period_s * capture.divider;
  capture.windowSamples =
      std::clamp(static_cast<int>(std::lround(window_s_ / capture.samplePeriod_s)), 1, kScopeMemorySamples);
  capture.pretriggerSamples = std::min(capture.windowSamples * pretrigger_percent_ / 100, capture.windowSamples - 1);
  settings.type = 1;
  settings.divider = capture.divider;
  settings.window = capture.windowSamples;
  settings.single = triggerMode_ == drivebase::kScopeSingle;
  if (triggerMode_ == drivebase::kScopeFreeRunning || triggerVariable_.empty()) return true;
  double level = 0.0;
  if (!TriggerLevelInternal(level)) return false;
  settings.trigger = drivebase::ScopeTrigger{triggerVariable_, level, triggerSlope_ == drivebase::kScopeRising,
                                             capture.pretriggerSamples};
  return true;
}

bool CMC_ScopeLogger::StartCapture(std::optional<drivebase::LoggerSettings>& launchWith) {
  launchWith.reset();
  if (UploadInProgress()) EndUploadData();
  Capture capture;
  drivebase::ScopeSettings settings;
  if (!PlanCapture(capture, settings)) return Fail(CMC_Comm::GetLastErrorText());
  if (!CMC_Comm::ArmScope(settings)) return Fail(CMC_Comm::GetLastErrorText());
  capture_ = capture;
  // Untriggered windows start at their first sample: no part of them lies before a trigger.
  const int before = settings.trigger ? capture.pretriggerSamples : 0;
  std::vector<drivebase::LoggedPoint> points(static_cast<std::size_t>(capture.windowSamples));
  for (std::size_t i = 0; i < points.size(); ++i) {
    points[i].time_s = (static_cast<double>(i) - before) * capture.samplePeriod_s;
    points[i].values.assign(capture.channels.size(), 0.0);
  }
  capture_.pretriggerSamples = before;
  StartFilling(std::move(points));
  firstToDraw_ = 0;
  pointsToDraw_ = 0;
  return true;
}

void CMC_ScopeLogger::AbandonCapture() {
  CMC_Comm::DisarmScope();
  CMC_Logger::EndUploadData();
}

void CMC_ScopeLogger::EndUploadData() {
  if (!UploadInProgress()) return;
  if (!CMC_Comm::DisarmScope()) {
    Fail(CMC_Comm::GetLastErrorText());
    return;
  }
  CMC_Logger::EndUploadData();
}

bool CMC_ScopeLogger::DoGracefulStop() {
  if (!UploadInProgress()) return true;
  int running = 0;
  if (!CMC_Comm::GetScopeRunning(running)) return Fail(CMC_Comm::GetLastErrorText());
  if (running != 0) return false;
  // The frames of the window's end may still wait on the link: they go to the handler first.
  CMC_Comm::CheckForUnrequestedMessages();
  return true;
}

int CMC_ScopeLogger::OnFrameReceive(const std::uint8_t* payload, int bytes) {
  pointsToDraw_ = 0;
  if (!UploadInProgress() || payload == nullptr || capture_.wordsPerSample == 0) return 0;
  if (bytes < 2 || bytes % 2 != 0) return 0;
  const int sampleWords = bytes / 2 - 1;
  if (sampleWords == 0 || sampleWords % capture_.wordsPerSample != 0) return 0;
  const int first = WordAt(payload, 0);
  const int samples = sampleWords / capture_.wordsPerSample;
  if (first + samples > capture_.windowSamples) return 0;
  int word = 1;
  for (int k = 0; k < samples; ++k) {
    const int index = first + k;
    drivebase::LoggedPoint point{(index - capture_.pretriggerSamples) * capture_.samplePeriod_s, {}};
    for (const ChannelLayout& channel : capture_.channels) {
      std::uint32_t raw = WordAt(payload, word++);
      if (channel.words == 2) raw |= static_cast<std::uint32_t>(WordAt(payload, word++)) << 16;
      double value = raw;
      if (channel.isSigned && channel.words == 1) value = static_cast<std::int16_t>(raw);
      if (channel.isSigned && channel.words == 2) value = static_cast<std::int32_t>(raw);
      point.values.push_back(value);
    }
    ReplacePoint(static_cast<std::size_t>(index), std::move(point));
  }
  firstToDraw_ = static_cast<std::size_t>(first);
  pointsToDraw_ = samples;
  return samples;
}

drivebase::LoggerSettings CMC_ScopeLogger::LaunchSettings() const {
  drivebase::LoggerSettings settings{std::max(capture_.windowSamples, 1), 1, capture_.divider, {}};
  for (const LoggedVariable& variable : Variables()) settings.variables.push_back(variable.name);
  return settings;
}

bool CMC_ScopeLogger::ApplySettings(const drivebase::LoggerSettings& settings) {
  if (settings.type != 1 || settings.points < 1 || settings.points > kScopeMemorySamples || settings.divider < 1) {
    return false;
  }
  capture_.windowSamples = settings.points;
  capture_.divider = settings.divider;
  return true;
}
