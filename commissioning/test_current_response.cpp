// The current test's step response: what the quantised gains predict, the figures of the
// measured and the predicted step, the plot that shows both, and the warning before Start.
#include <algorithm>
#include <cmath>
#include <vector>

#include "commissioning/save_question.h"
#include "commissioning/test_current.h"
#include "compute/scale_functions.h"
#include "dialogs/setup_values.h"
#include "drivebase/units.h"

namespace {

using kestrel::FormatG;
using kestrel::StepMetrics;

constexpr std::size_t kReferenceColumn = 1;
constexpr std::size_t kMeasuredColumn = 2;
constexpr std::size_t kLoggedColumns = 4;  // time, reference, measured, voltage
constexpr double kWarningOvershoot_pct = 50.0;
constexpr int kWarningSamples = 200;  // current-loop periods of the prediction behind the warning

std::string Duration(double time_s, const char* missing) {
  return std::isnan(time_s) ? std::string(missing) : FormatG(time_s * 1000.0) + " ms";
}

std::string RiseTime(const StepMetrics& m) { return Duration(m.rise_s, "not reached"); }
std::string Overshoot(const StepMetrics& m) { return FormatG(m.overshoot_pct) + " %"; }
std::string SettlingTime(const StepMetrics& m) { return Duration(m.settling_s, "not settled"); }

// The current handed to the step program, in the drive's counts and in amperes.
int StepCurrent_counts(const CMC_Setup* setup) {
  return CTestCurrent::SaturatedCurrent(setup->GetParameterValueInInternalUnit("TestCurrent"));
}

double StepCurrent_A(const CMC_Setup* setup) {
  const CMC_Parameter* current = setup->FindParameter("TestCurrent");
  return current != nullptr ? current->BaseFromInternal(StepCurrent_counts(setup)) : 0.0;
}

// What the user should know of the gains before Start; nothing to warn about without the motor's
// data to predict from.
std::string PredictionWarning(const kestrel::PredictedStep& step) {
  if (step.current_A.empty()) return "";
  if (!step.stable) return "Warning: with these gains the current loop is predicted to be unstable.";
  if (step.metrics.overshoot_pct <= kWarningOvershoot_pct) return "";
  return "Warning: with these gains the current step is predicted to overshoot by " + FormatG(step.metrics.overshoot_pct) +
         " %.";
}

}  // namespace

// The step of the test current, from the counts the drive gets.
kestrel::PredictedStep CTestCurrent::Predict(double duration_s) const {
  return kestrel::PredictCurrentStepOfCounts(*GetSetup(), StepCurrent_counts(GetSetup()), 0.0, duration_s);
}

void CTestCurrent::ShowPredictionWarning() {
  const CMC_Setup* setup = GetSetup();
  SetChildText(kWarningText, PredictionWarning(Predict(kWarningSamples * GetCurrentLoopPeriod(setup))));
}

// The columns of the logger and the predicted current; the prediction of the coming upload.
void CTestCurrent::StartComparisonPlot() {
  std::vector<drivebase::GraphColumn> columns = logger_->GetGraphDocument().Columns();
  const std::string unit = columns.size() > kMeasuredColumn ? columns[kMeasuredColumn].unit : "A";
  // The prediction is in amperes; it is drawn in the unit of the measured current beside it.
  const drivebase::UnitFamily* family = drivebase::FindFamilyOfUnit(unit);
  const double amperesPerUnit = family != nullptr ? drivebase::BaseUnitsPerUnit(*family, unit) : 0.0;
  predictedPerAmpere_ = amperesPerUnit > 0.0 ? 1.0 / amperesPerUnit : 1.0;
  columns.resize(kLoggedColumns);
  columns.push_back({"Predicted_Current", unit});
  comparison_.SetColumns(std::move(columns));
  stepTime_s_ = -1.0;
  measured_.reset();
  predicted_.reset();
  if (!logger_->UploadInProgress()) return;
  const CMC_Setup* setup = GetSetup();
  predicted_ = Predict(static_cast<double>(logger_->GetPointsNo()) * GetCurrentLoopPeriod(setup));
  if (predicted_->current_A.empty()) predicted_.reset();
}

// The point read last, with the predicted current at its time: nothing before the logged
// reference has stepped, then the prediction from that instant.
void CTestCurrent::AddComparisonRow() {
  const CGraphDocument& logged = logger_->GetGraphDocument();
  if (logged.RowCount() == 0 || logged.Columns().size() < kLoggedColumns) return;
  const std::size_t last = logged.RowCount() - 1;
  std::vector<double> row;
  for (std::size_t column = 0; column < kLoggedColumns; ++column) row.push_back(logged.Value(last, column));
  const double time_s = row[0];
  const double step_A = StepCurrent_A(GetSetup());
  if (stepTime_s_ < 0.0 && step_A != 0.0 && row[kReferenceColumn] / step_A >= 0.5) stepTime_s_ = time_s;
  double predicted_A = 0.0;
  if (stepTime_s_ >= 0.0 && predicted_ && !predicted_->current_A.empty()) {
    const double period_s = GetCurrentLoopPeriod(GetSetup());
    const auto index = static_cast<std::size_t>(std::max(0.0, std::round((time_s - stepTime_s_) / period_s)));
    predicted_A = predicted_->current_A[std::min(index, predicted_->current_A.size() - 1)];
  }
  row.push_back(predicted_A * predictedPerAmpere_);
  comparison_.AddRow(row);
}

void CTestCurrent::FinishStepFigures() {
  const std::size_t rows = comparison_.RowCount();
  if (stepTime_s_ >= 0.0 && rows > 0) {
    std::vector<double> time_s(rows), current(rows);
    for (std::size_t row = 0; row < rows; ++row) {
      time_s[row] = comparison_.Value(row, 0);
      current[row] = comparison_.Value(row, kMeasuredColumn);
    }
    measured_ = kestrel::MeasureStepResponse(time_s, current, stepTime_s_, comparison_.Value(rows - 1, kReferenceColumn));
  }
  graph_.RefreshGraph();
  ShowStepFigures();
}

void CTestCurrent::ShowStepFigures() {
  const auto figure = [this](const char* name, std::string (*format)(const StepMetrics&)) {
    std::string text = std::string(name) + ": " + (measured_ ? format(*measured_) : std::string("-"));
    if (predicted_) text += " (predicted " + format(predicted_->metrics) + ")";
    return text;
  };
  SetChildText(kRiseTimeText, figure("Rise time", RiseTime));
  SetChildText(kOvershootText, figure("Overshoot", Overshoot));
  SetChildText(kSettlingText, figure("Settling time", SettlingTime));
}

std::vector<CMyTestDlg::TestResultLine> CTestCurrent::ResultLines() const {
  std::vector<TestResultLine> lines{GainLine(kestrel::kCurrentProportional), GainLine(kestrel::kCurrentIntegral)};
  const auto add = [&](const char* name, std::string (*format)(const StepMetrics&)) {
    if (measured_) lines.push_back({std::string(name) + " (measured)", format(*measured_)});
    if (predicted_) lines.push_back({std::string(name) + " (predicted)", format(predicted_->metrics)});
  };
  add("Rise time", RiseTime);
  add("Overshoot", Overshoot);
  add("Settling time", SettlingTime);
  return lines;
}

// The plot as shown: the logged curves with the predicted current, as SVG and CSV.
bool CTestCurrent::SaveAllPlots(std::string& error) {
  if (comparisonFilter_ == nullptr) return true;
  return graph_.CreateWMF("CurrentTuning", error) && comparisonFilter_->ExportToASCII("CurrentTuning", error);
}
