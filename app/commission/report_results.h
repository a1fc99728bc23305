// A step's results as the commissioning report lays them out: the result lines, the step metrics
// measured beside predicted, and the values of repeated runs with their mean and spread.
#pragma once

#include <string>
#include <vector>

#include "commission/road_record.h"

namespace kestrel::cli {

// A step metric as the run measured it and as the tuned gains predict it ("Rise time").
struct MetricPair {
  std::string metric, measured, predicted;
};

struct ArrangedResults {
  std::vector<CMC_TestDlg::TestResultLine> lines;  // shown as label and value, in the test's order
  std::vector<MetricPair> metrics;                 // in the order of the measured lines
};

// Pairs "X (predicted)" with "X (measured)", or with a plain "X" (the tuning tests name the
// measured metric without a suffix), into metrics; a line without its pair stays a line. A line
// naming one of the tuned gains is left out: the gains' table shows it with its registers.
ArrangedResults ArrangeResults(const std::vector<CMC_TestDlg::TestResultLine>& results,
                               const std::vector<TunedGain>& gains);

// The header and rows of the runs' table: per value its name, unit, each run's value, the mean,
// the spread (sample standard deviation) in the value's unit and in % of the mean. The values are
// those any run reports, found in each run by name; a run without one shows "-" and is left out of
// its mean.
std::vector<std::string> RunsTableHeader(std::size_t runs);
std::vector<std::vector<std::string>> RunsTableRows(const std::vector<std::vector<CMC_TestDlg::MeasuredValue>>& runs);

}  // namespace kestrel::cli
