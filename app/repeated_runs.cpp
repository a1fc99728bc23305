#include "repeated_runs.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "commissioning/save_question.h"

namespace kestrel::cli {

Spread SpreadOf(std::span<const double> values) {
  if (values.size() < 2) throw std::invalid_argument("a spread needs at least two values");
  double sum = 0.0;
  for (const double value : values) sum += value;
  const auto n = static_cast<double>(values.size());
  Spread spread;
  spread.mean = sum / n;
  double squares = 0.0;
  for (const double value : values) squares += (value - spread.mean) * (value - spread.mean);
  spread.deviation = std::sqrt(squares / (n - 1.0));
  spread.deviation_pct = spread.mean != 0.0 ? spread.deviation / std::fabs(spread.mean) * 100.0
                                            : std::numeric_limits<double>::quiet_NaN();
  return spread;
}

void RepeatedRuns::Add(const std::vector<RunValue>& values) {
  if (!runs_.empty()) {
    const std::vector<RunValue>& first = runs_.front();
    bool same = first.size() == values.size();
    for (std::size_t k = 0; same && k < values.size(); ++k) same = first[k].name == values[k].name;
    if (!same) throw std::invalid_argument("run " + std::to_string(runs_.size() + 1) + " reports other values than run 1");
  }
  runs_.push_back(values);
}

void RepeatedRuns::Print(std::ostream& out) const {
  for (std::size_t run = 0; run < runs_.size(); ++run) {
    out << "Run " << run + 1 << ':';
    const char* separator = " ";
    for (const RunValue& value : runs_[run]) {
      out << separator << value.name << " = " << FormatG(value.value) << ' ' << value.unit;
      separator = ", ";
    }
    out << '\n';
  }
  if (runs_.size() < 2) return;
  for (std::size_t k = 0; k < runs_.front().size(); ++k) {
    std::vector<double> values;
    for (const std::vector<RunValue>& run : runs_) values.push_back(run[k].value);
    const Spread spread = SpreadOf(values);
    const RunValue& named = runs_.front()[k];
    out << named.name << ": mean " << FormatG(spread.mean) << ' ' << named.unit << ", spread "
        << FormatG(spread.deviation) << ' ' << named.unit << " (" << FormatG(spread.deviation_pct) << " %)\n";
  }
}

}  // namespace kestrel::cli
