// Round-number ticks of a plot's axes and their labels.
#include "graph_axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace drivebase {
namespace {

constexpr int kMostTicks = 50;

// The label of tick `value` on an axis whose ticks are `step` apart: as many decimals as the step
// needs, so that 0.1 + 0.2 reads "0.3"; the exponent form for very large or very small numbers.
std::string TickLabel(double value, double step) {
  char text[40];
  if (std::abs(value) < step * 1e-6) value = 0.0;  // no "-0" or "1e-17" at the origin
  const double magnitude = std::max(std::abs(value), step);
  if (magnitude >= 1e7 || step < 1e-6) {
    std::snprintf(text, sizeof text, "%g", value);
  } else {
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
  }
  return text;
}

}  // namespace

double AxisTickStep(double low, double high, int targetCount) {
  if (!std::isfinite(low) || !std::isfinite(high) || high <= low || targetCount < 1) return 0.0;
  const double raw = (high - low) / targetCount;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / power;
  const double factor = fraction <= 1.0 ? 1.0 : fraction <= 2.0 ? 2.0 : fraction <= 5.0 ? 5.0 : 10.0;
  return factor * power;
}

std::vector<AxisTick> ChooseAxisTicks(double low, double high, int targetCount) {
  const double step = AxisTickStep(low, high, targetCount);
  if (step <= 0.0 || !std::isfinite(step)) return {};
  const double first = std::ceil(low / step - 1e-9);
  const double last = std::floor(high / step + 1e-9);
  std::vector<AxisTick> ticks;
  for (double i = first; i <= last && ticks.size() < kMostTicks; i += 1.0) {
    const double value = i * step;
    ticks.push_back({value, TickLabel(value, step)});
  }
  return ticks;
}

}  // namespace drivebase
