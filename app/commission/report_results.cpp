#include "commission/report_results.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "commissioning/save_question.h"
#include "repeated_runs.h"

namespace kestrel::cli {
namespace {

using ResultLine = CMC_TestDlg::TestResultLine;
using MeasuredValue = CMC_TestDlg::MeasuredValue;

constexpr std::string_view kPredicted = " (predicted)";
constexpr std::string_view kMeasured = " (measured)";
constexpr const char* kNoValue = "-";

bool NamesGain(const std::string& label, const std::vector<TunedGain>& gains) {
  return std::any_of(gains.begin(), gains.end(), [&](const TunedGain& gain) { return gain.scaled == label; });
}

// The measured line that pairs with the metric: "METRIC (measured)" before a plain "METRIC".
std::optional<std::size_t> MeasuredLineOf(const std::string& metric, const std::vector<ResultLine>& results,
                                          const std::vector<bool>& taken) {
  for (const std::string& label : {metric + std::string(kMeasured), metric}) {
    for (std::size_t k = 0; k < results.size(); ++k) {
      if (!taken[k] && results[k].label == label) return k;
    }
  }
  return std::nullopt;
}

std::optional<double> ValueNamed(const std::vector<MeasuredValue>& run, const std::string& name) {
  for (const MeasuredValue& value : run) {
    if (value.name == name) return value.value;
  }
  return std::nullopt;
}

// Each value any run reports, once, in the order the runs first name them.
std::vector<MeasuredValue> ValuesNamed(const std::vector<std::vector<MeasuredValue>>& runs) {
  std::vector<MeasuredValue> named;
  for (const std::vector<MeasuredValue>& run : runs) {
    for (const MeasuredValue& value : run) {
      if (!ValueNamed(named, value.name)) named.push_back(value);
    }
  }
  return named;
}

}  // namespace

ArrangedResults ArrangeResults(const std::vector<ResultLine>& results, const std::vector<TunedGain>& gains) {
  std::vector<bool> taken(results.size(), false);
  std::vector<std::pair<std::size_t, MetricPair>> pairs;
  for (std::size_t k = 0; k < results.size(); ++k) {
    const std::string& label = results[k].label;
    if (!label.ends_with(kPredicted)) continue;
    const std::string metric = label.substr(0, label.size() - kPredicted.size());
    taken[k] = true;
    const std::optional<std::size_t> measured = MeasuredLineOf(metric, results, taken);
    if (!measured) {
      taken[k] = false;
      continue;
    }
    taken[*measured] = true;
    pairs.push_back({*measured, {metric, results[*measured].value, results[k].value}});
  }
  std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  ArrangedResults arranged;
  for (auto& [position, pair] : pairs) arranged.metrics.push_back(std::move(pair));
  for (std::size_t k = 0; k < results.size(); ++k) {
    if (!taken[k] && !NamesGain(results[k].label, gains)) arranged.lines.push_back(results[k]);
  }
  return arranged;
}

std::vector<std::string> RunsTableHeader(std::size_t runs) {
  std::vector<std::string> header{"Value", "Unit"};
  for (std::size_t run = 1; run <= runs; ++run) header.push_back("Run " + std::to_string(run));
  header.insert(header.end(), {"Mean", "Spread", "Spread (%)"});
  return header;
}

std::vector<std::vector<std::string>> RunsTableRows(const std::vector<std::vector<MeasuredValue>>& runs) {
  std::vector<std::vector<std::string>> rows;
  for (const MeasuredValue& named : ValuesNamed(runs)) {
    std::vector<std::string> row{named.name, named.unit};
    std::vector<double> values;
    for (const std::vector<MeasuredValue>& run : runs) {
      const std::optional<double> value = ValueNamed(run, named.name);
      row.push_back(value ? FormatG(*value) : kNoValue);
      if (value) values.push_back(*value);
    }
    if (values.size() < 2) {
      row.insert(row.end(), {values.empty() ? kNoValue : FormatG(values.front()), kNoValue, kNoValue});
    } else {
      const Spread spread = SpreadOf(values);
      row.insert(row.end(), {FormatG(spread.mean), FormatG(spread.deviation),
                             std::isnan(spread.deviation_pct) ? kNoValue : FormatG(spread.deviation_pct)});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace kestrel::cli
