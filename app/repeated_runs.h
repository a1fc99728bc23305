// The values of a test run several times (kestrel test NAME --repeat N): each run's values, then
// for each value its mean and spread (the sample standard deviation, also in % of the mean), so
// that a user sees how far to trust a single run.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "drivebase/test_dlg.h"

namespace kestrel::cli {

struct Spread {
  double mean = 0.0;
  double deviation = 0.0;      // sample standard deviation: divided by n − 1
  double deviation_pct = 0.0;  // of the mean's magnitude; NaN for a mean of 0
};

// The mean and spread of at least two values (std::invalid_argument for fewer).
Spread SpreadOf(std::span<const double> values);

// A value a run reports, in the unit it is printed in.
using RunValue = CMC_TestDlg::MeasuredValue;

class RepeatedRuns {
 public:
  // The values of one more run; every run reports the same names in the same order
  // (std::invalid_argument otherwise).
  void Add(const std::vector<RunValue>& values);
  std::size_t Runs() const { return runs_.size(); }
  // Runs were added, but they report no value.
  bool MeasuresNothing() const { return !runs_.empty() && runs_.front().empty(); }

  // One line per run ("Run 2: R = 0.9003 Ohm, L = 0.0012 H"), then per value
  // "R: mean 0.9003 Ohm, spread 0.0004 Ohm (0.044 %)"; with one run only its line, with none
  // nothing.
  void Print(std::ostream& out) const;

 private:
  std::vector<std::vector<RunValue>> runs_;
};

}  // namespace kestrel::cli
