// What a tuning run shows after it: rise time, overshoot and settling time of the measured
// response to the profile's first ramp and of the one the quantised gains predict, the predicted
// curve beside the measured one, the gains with their register pairs, and the saved plot.
#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "commissioning/save_question.h"
#include "commissioning/tuning_test.h"
#include "compute/position_response.h"
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

// What the quantised gains predict at each logged row (one loop period each; row k + 1 logs the
// period that takes the profile's k-th reference, and the program holds its last reference after
// the profile): the speed, or the position over the test's loops, in the unit of the logged
// reference (its first value and the plateau against the profile's own); empty for a setup that
// lacks what the models need.
std::vector<double> CTuningTest::PredictedResponse(const CGraphDocument& logged, const Plateau& plateau) const {
  CMC_Setup* setup = GetSetup();
  const bool speedTest = loop_.profileKind == kestrel::ProfileKind::speed;
  const kestrel::SpeedLoopModel speed =
      speedTest ? kestrel::SpeedLoopModelOf(setup) : kestrel::CascadedSpeedLoopModelOf(setup);
  const std::optional<kestrel::PositionLoopModel> position =
      speedTest ? std::nullopt : kestrel::PositionLoopModelOf(setup);
  std::vector<double> reference16 = kestrel::ProfileReference16(launchedProfile_);
  if (speed.plantGain == 0.0 || reference16.empty() || (!speedTest && !position)) return {};
  double plateau16 = 0.0;
  for (const double r16 : reference16) plateau16 = std::fabs(r16) > std::fabs(plateau16) ? r16 : plateau16;
  const double start = logged.Value(0, kReferenceColumn);
  const double shownPerInternal = (plateau.level - start) / std::floor(plateau16 / 65536.0);
  if (!std::isfinite(shownPerInternal)) return {};
  const std::size_t rows = logged.RowCount();
  reference16.resize(std::max(rows, reference16.size()), reference16.back());
  std::vector<double> predicted = speedTest ? kestrel::PredictSpeedResponse(speed, reference16)
                                            : kestrel::PredictPositionResponse(*position, speed, reference16);
  predicted.insert(predicted.begin(), 0.0);
  predicted.resize(rows);
  for (double& value : predicted) value = start + value * shownPerInternal;
  return predicted;
}

// The predicted response drawn beside the measured one: the logged rows get one column more, and
// the logger's plot (the one saved as well) a thin curve of it. The logger sets its own columns
// again at the next upload.
void CTuningTest::DrawPredictedResponse(const std::vector<double>& predicted) {
  CGraphDocument& logged = logger_->GetGraphDocument();
  std::vector<drivebase::GraphColumn> columns = logged.Columns();
  if (predicted.size() != logged.RowCount() || columns.size() <= kMeasuredColumn) return;
  std::vector<std::vector<double>> rows(logged.RowCount());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    for (std::size_t column = 0; column < columns.size(); ++column) rows[row].push_back(logged.Value(row, column));
    rows[row].push_back(predicted[row]);
  }
  const int predictedColumn = static_cast<int>(columns.size());
  const bool speedTest = loop_.profileKind == kestrel::ProfileKind::speed;
  columns.push_back({speedTest ? "Predicted_Speed" : "Predicted_Position", columns[kMeasuredColumn].unit});
  logged.SetColumns(std::move(columns));
  for (const std::vector<double>& row : rows) logged.AddRow(row);
  CGraphFilter& filter = *logged.GetFilter(0);
  const auto& curves = filter.Curves();
  const bool drawn =
      std::any_of(curves.begin(), curves.end(), [&](const CXYCurve& c) { return c.YColumn() == predictedColumn; });
  if (!drawn) filter.Add(CXYCurve(1, 0, predictedColumn, 1, RGB16(12)));
  loggerGraph_.RefreshGraph();
}

// Row 0 is the trigger and row k + 1 logs the profile's k-th period: the plateau whose response
// the figures measure, that of the largest reference (the first ramp's end unless a bidirectional
// profile's rounding makes the way back larger), is reached at the row after its first period.
std::size_t CTuningTest::RowsToThePlateau() const {
  const std::vector<double> reference16 = kestrel::ProfileReference16(launchedProfile_);
  const auto largest = [](double a, double b) { return std::fabs(a) < std::fabs(b); };
  const auto peak = std::max_element(reference16.begin(), reference16.end(), largest);
  const auto rows = static_cast<std::size_t>(peak - reference16.begin()) + 2;
  return std::min(rows, static_cast<std::size_t>(logger_->LaunchSettings().points));
}

// The mask of a run drops a missing Hall sensor; when the drive stopped the motor for it (or for
// any other error) before the ramp was logged, that error is what the user must see, not figures
// of a ramp that never ended.
bool CTuningTest::UploadHoldsTheStep() {
  const std::size_t rows = logger_->GetGraphDocument().RowCount();
  if (rows >= RowsToThePlateau()) return true;
  FailForMissingData(rows == 0);
  return false;
}

void CTuningTest::FailForMissingData(bool nothing) {
  if (CheckDriveErrors(1, kEveryDriveError) == 0) return;
  Fail(nothing ? kNoDataText : kTooFewPointsText);
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
    const std::vector<double> predicted = PredictedResponse(logged, *plateau);
    if (!predicted.empty()) {
      predicted_ = kestrel::MeasureStepResponse(time_s, std::span(predicted).first(time_s.size()), plateau->start_s,
                                                plateau->level);
      DrawPredictedResponse(predicted);
    }
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
  std::vector<TestResultLine> lines;
  for (const kestrel::GainPair& pair : loop_.tunedGains) lines.push_back(GainLine(pair));
  const auto add = [&](const char* name, std::string (*format)(const StepMetrics&)) {
    if (measured_) lines.push_back({std::string(name) + " (measured)", format(*measured_)});
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
