// What a tuning run shows after it: rise time, overshoot and settling time of the measured
// response to the profile's first ramp, the gains with their register pairs, and the saved plot.
#include <cmath>
#include <vector>

#include "commissioning/save_question.h"
#include "commissioning/tuning_test.h"
#include "compute/speed_response.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::FormatG;
using kestrel::StepMetrics;

constexpr std::size_t kReferenceColumn = 1;
constexpr std::size_t kMeasuredColumn = 2;

std::string Duration(double time_s, const char* missing) {
  return std::isnan(time_s) ? std::string(missing) : FormatG(time_s * 1000.0) + " ms";
}
std::string RiseTime(const StepMetrics& m) { return Duration(m.rise_s, "not reached"); }
std::string Overshoot(const StepMetrics& m) { return FormatG(m.overshoot_pct) + " %"; }
std::string SettlingTime(const StepMetrics& m) { return Duration(m.settling_s, "not settled"); }

using Plateau = CTuningTest::Plateau;

std::optional<Plateau> FirstPlateau(const CGraphDocument& logged) {
  const std::size_t rows = logged.RowCount();
  if (rows < 3 || logged.Columns().size() <= kMeasuredColumn) return std::nullopt;
  std::size_t start = 0;
  while (start + 1 < rows && logged.Value(start + 1, kReferenceColumn) == logged.Value(0, kReferenceColumn)) ++start;
  std::size_t peak = start;
  for (std::size_t row = start; row < rows; ++row) {
    if (std::fabs(logged.Value(row, kReferenceColumn)) > std::fabs(logged.Value(peak, kReferenceColumn))) peak = row;
  }
  const double level = logged.Value(peak, kReferenceColumn);
  std::size_t end = peak;
  while (end + 1 < rows && logged.Value(end + 1, kReferenceColumn) == level) ++end;
  if (level == logged.Value(0, kReferenceColumn)) return std::nullopt;
  return Plateau{logged.Value(start, 0), level, end};
}

}  // namespace

// The speed test's prediction over the same rows, one loop period each from the profile's start,
// in the unit of the logged reference (the plateau's value against the profile's own).
std::optional<StepMetrics> CTuningTest::PredictFirstRamp(const std::vector<double>& time_s, const Plateau& plateau) {
  if (loop_.profileKind != kestrel::ProfileKind::speed) return std::nullopt;
  const kestrel::SpeedLoopModel model = kestrel::SpeedLoopModelOf(GetSetup());
  const std::vector<double> reference16 = kestrel::ProfileReference16(launchedProfile_);
  if (model.plantGain == 0.0 || reference16.size() < time_s.size()) return std::nullopt;
  double plateau16 = 0.0;
  for (const double r16 : reference16) plateau16 = std::fabs(r16) > std::fabs(plateau16) ? r16 : plateau16;
  if (plateau16 == 0.0) return std::nullopt;
  const double shownPerInternal = plateau.level / (plateau16 / 65536.0);
  std::vector<double> predicted = kestrel::PredictSpeedResponse(model, reference16);
  predicted.resize(time_s.size());
  for (double& speed : predicted) speed *= shownPerInternal;
  return kestrel::MeasureStepResponse(time_s, predicted, plateau.start_s, plateau.level);
}

void CTuningTest::FinishResponseFigures() {
  measured_.reset();
  predicted_.reset();
  const CGraphDocument& logged = logger_->GetGraphDocument();
  if (const std::optional<Plateau> plateau = FirstPlateau(logged)) {
    std::vector<double> time_s, value;
    for (std::size_t row = 0; row <= plateau->endRow; ++row) {
      time_s.push_back(logged.Value(row, 0));
      value.push_back(logged.Value(row, kMeasuredColumn));
    }
    measured_ = kestrel::MeasureStepResponse(time_s, value, plateau->start_s, plateau->level);
    predicted_ = PredictFirstRamp(time_s, *plateau);
  }
  const auto show = [this](int id, const char* name, std::string (*format)(const StepMetrics&)) {
    std::string text = std::string(name) + ": " + (measured_ ? format(*measured_) : std::string("-"));
    if (predicted_) text += " (predicted " + format(*predicted_) + ")";
    SetChildText(id, text);
  };
  show(kRiseTimeText, "Rise time", RiseTime);
  show(kOvershootText, "Overshoot", Overshoot);
  show(kSettlingText, "Settling time", SettlingTime);
}

std::vector<CMyTestDlg::TestResultLine> CTuningTest::ResultLines() const {
  const CMC_Setup* setup = GetSetup();
  using kestrel::dialogs::Value;
  std::vector<TestResultLine> lines;
  for (const kestrel::GainPair& pair : loop_.tunedGains) {
    lines.push_back({pair.gain, FormatG(Value(setup, pair.gain)) + " (" + pair.mantissa + " = " +
                                    FormatG(Value(setup, pair.mantissa)) + ", " + pair.shift + " = " +
                                    FormatG(Value(setup, pair.shift)) + ")"});
  }
  const auto add = [&](const char* name, std::string (*format)(const StepMetrics&)) {
    if (measured_) lines.push_back({name, format(*measured_)});
    if (predicted_) lines.push_back({std::string(name) + " (predicted)", format(*predicted_)});
  };
  add("Rise time", RiseTime);
  add("Overshoot", Overshoot);
  add("Settling time", SettlingTime);
  return lines;
}

// The plot of the last run as SVG and CSV: the data logger's, the drive's scope window, or the
// values the test read live.
bool CTuningTest::SaveAllPlots(std::string& error) {
  if (!OnlineMode() || scope_ != nullptr) {
    CMC_Logger* logger = OnlineMode() ? static_cast<CMC_Logger*>(scope_.get()) : logger_.get();
    if (logger->SaveGraph(loop_.plotName)) return true;
    error = logger->LastError();
    return false;
  }
  return liveGraph_.CreateWMF(loop_.plotName, error) && oscilloscope_.Filter().ExportToASCII(loop_.plotName, error);
}
