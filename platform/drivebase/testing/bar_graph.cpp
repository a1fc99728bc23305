#include "drivebase/bar_graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "ui/window.h"

namespace {

// A value in thousandths, held within the range of the window's integer positions.
int Thousandths(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLimit = std::numeric_limits<int>::max() / 2;
  return static_cast<int>(std::clamp(std::round(value * 1000.0), -kLimit, kLimit));
}

}  // namespace

void CBarGraph::SetRange(double lower, double upper) {
  lower_ = lower;
  upper_ = upper;
}

void CBarGraph::SetValue(double value) { value_ = value; }

std::string CBarGraph::ValueText() const {
  if (format_.empty()) return {};
  char text[64];
  std::snprintf(text, sizeof text, format_.c_str(), value_);
  return text;
}

void CBarGraph::Repaint() {
  ++repaints_;
  ui::Window* window = GetSafeHwnd();
  if (window == nullptr) return;
  window->rangeMin = Thousandths(std::min(lower_, upper_));
  window->rangeMax = Thousandths(std::max(lower_, upper_));
  window->position = std::clamp(Thousandths(value_), window->rangeMin, window->rangeMax);
  RedrawWindow();
}

bool CBarGraph::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Progress; }
