// What a tuning run shows after it: rise time, overshoot and settling time of the measured
// response to the profile's first ramp, the gains with their register pairs, and the saved plot.
#include <algorithm>
#include <cmath>
#include <span>
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

// The speed the quantised gains predict at each logged row (one loop period each; row k + 1
// logs the period that takes the profile's k-th reference, and the program holds its last
// reference after the profile), in the unit of the
// logged reference (the plateau's value against the profile's own); empty for the position test
// or a setup that lacks what the model needs.
std::vector<double> CTuningTest::PredictedSpeed(std::size_t rows, const Plateau& plateau) const {
  if (loop_.profileKind != kestrel::ProfileKind::speed) return {};
  const kestrel::SpeedLoopModel model = kestrel::SpeedLoopModelOf(GetSetup());
  std::vector<double> reference16 = kestrel::ProfileReference16(launchedProfile_);
  if (model.plantGain == 0.0 || reference16.empty()) return {};
  double plateau16 = 0.0;
  for (const double r16 : reference16) plateau16 = std::fabs(r16) > std::fabs(plateau16) ? r16 : plateau16;
  if (plateau16 == 0.0) return {};
  reference16.resize(std::max(rows, reference16.size()), reference16.back());
  const double shownPerInternal = plateau.level / (plateau16 / 65536.0);
  std::vector<double> predicted = kestrel::PredictSpeedResponse(model, reference16);
  predicted.insert(predicted.begin(), 0.0);
  predicted.resize(rows);
  for (double& speed : predicted) speed *= shownPerInternal;
  return predicted;
}

// The predicted speed drawn beside the measured one: the logged rows get one column more, and
// the logger's plot (the one saved as well) a thin curve of it. The logger sets its own columns
// again at the next upload.
void CTuningTest::DrawPredictedSpeed(const std::vector<double>& predicted) {
  CGraphDocument& logged = logger_->GetGraphDocument();
  std::vector<drivebase::GraphColumn> columns = logged.Columns();
  if (predicted.size() != logged.RowCount() || columns.size() <= kMeasuredColumn) return;
  std::vector<std::vector<double>> rows(logged.RowCount());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    for (std::size_t column = 0; column < columns.size(); ++column) rows[row].push_back(logged.Value(row, column));
    rows[row].push_back(predicted[row]);
  }
  const int predictedColumn = static_cast<int>(columns.size());
  columns.push_back({"Predicted_Speed", columns[kMeasuredColumn].unit});
  logged.SetColumns(std::move(columns));
  for (const std::vector<double>& row : rows) logged.AddRow(row);
  CGraphFilter& filter = *logged.GetFilter(0);
  const auto& curves = filter.Curves();
  const bool drawn = std::any_of(curves.begin(), curves.end(), [&](const CXYCurve& c) { return c.YColumn() == predictedColumn; });
  if (!drawn) filter.Add(CXYCurve(1, 0, predictedColumn, 1, RGB16(12)));
  loggerGraph_.RefreshGraph();
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
    const std::vector<double> predicted = PredictedSpeed(logged.RowCount(), *plateau);
    if (!predicted.empty()) {
      predicted_ = kestrel::MeasureStepResponse(time_s, std::span(predicted).first(time_s.size()), plateau->start_s,
                                                plateau->level);
      DrawPredictedSpeed(predicted);
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
