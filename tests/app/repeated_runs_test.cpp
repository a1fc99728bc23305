// The statistics of repeated runs (kestrel test --repeat), worked by hand.
#include <gtest/gtest.h>

#include <sstream>

#include "repeated_runs.h"

namespace kestrel::cli {
namespace {

TEST(RepeatedRuns, PrintEachRunThenMeanAndSampleSpread) {
  RepeatedRuns runs;
  for (const double r : {0.89, 0.9, 0.91}) runs.Add({{"R", "Ohm", r}, {"L", "H", 1e-3}});
  std::ostringstream out;
  runs.Print(out);
  // Deviations −0.01, 0, 0.01: Σ² = 2e-4, / (3 − 1) → 1e-4, σ = 0.01 = 1.111 % of 0.9.
  EXPECT_EQ(out.str(),
            "Run 1: R = 0.89 Ohm, L = 0.001 H\nRun 2: R = 0.9 Ohm, L = 0.001 H\nRun 3: R = 0.91 Ohm, L = 0.001 H\n"
            "R: mean 0.9 Ohm, spread 0.01 Ohm (1.11111 %)\nL: mean 0.001 H, spread 0 H (0 %)\n");
  EXPECT_THROW(runs.Add({{"L", "H", 1e-3}}), std::invalid_argument);
  EXPECT_THROW(SpreadOf(std::vector<double>{1.0}), std::invalid_argument);
}

}  // namespace
}  // namespace kestrel::cli
