// What a tuning run shows after it: rise time, overshoot and settling time of the measured
// response to the profile's first ramp, the gains with their register pairs, and the saved plot.
#include <cmath>
#include <vector>

#include "commissioning/save_question.h"
#include "commissioning/tuning_test.h"
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

// The first plateau of the logged reference: where it starts to move, the value it holds and the
// row after which it leaves that value again.
struct Plateau {
  double start_s = 0.0;
  double level = 0.0;
  std::size_t endRow = 0;
};

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

void CTuningTest::FinishResponseFigures() {
  measured_.reset();
  const CGraphDocument& logged = logger_->GetGraphDocument();
  if (const std::optional<Plateau> plateau = FirstPlateau(logged)) {
    std::vector<double> time_s, value;
    for (std::size_t row = 0; row <= plateau->endRow; ++row) {
      time_s.push_back(logged.Value(row, 0));
      value.push_back(logged.Value(row, kMeasuredColumn));
    }
    measured_ = kestrel::MeasureStepResponse(time_s, value, plateau->start_s, plateau->level);
  }
  const auto show = [this](int id, const char* name, std::string (*format)(const StepMetrics&)) {
    SetChildText(id, std::string(name) + ": " + (measured_ ? format(*measured_) : std::string("-")));
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
  if (measured_) {
    lines.push_back({"Rise time", RiseTime(*measured_)});
    lines.push_back({"Overshoot", Overshoot(*measured_)});
    lines.push_back({"Settling time", SettlingTime(*measured_)});
  }
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
