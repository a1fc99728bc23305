// The ticks of a plot's axis: round numbers (1, 2 or 5 times a power of ten) across its range.
#pragma once

#include <string>
#include <vector>

namespace drivebase {

struct AxisTick {
  double value;
  std::string label;
};

// About `targetCount` ticks from `low` to `high`, ends included when they fall on a tick; none
// when the range is empty or not finite.
std::vector<AxisTick> ChooseAxisTicks(double low, double high, int targetCount);

// The distance between ticks that ChooseAxisTicks uses for that range.
double AxisTickStep(double low, double high, int targetCount);

}  // namespace drivebase
