#include "drivebase/diagrams.h"

#include <algorithm>
#include <cstdlib>

#include "ui/window.h"

namespace {

constexpr std::array<long, 26> kStandardLines{100,  200,  250,  256,  360,  400,  500,  512,  600,
                                              720,  800,  1000, 1024, 1250, 1500, 1800, 2000, 2048,
                                              2500, 3000, 3600, 4000, 4096, 5000, 8192, 10000};

}  // namespace

void CDiagram::Repaint() {
  ++repaints_;
  if (GetSafeHwnd() != nullptr) RedrawWindow();
}

bool CDiagram::CanAttachTo(ui::ControlKind kind) const {
  return kind == ui::ControlKind::Static;
}

void CAngleDiagram::SetTheta(double theta_rad) { theta_rad_ = theta_rad; }

void CLinearEncoderDiagram::SetLimits(double lower, double upper) {
  lower_ = std::min(lower, upper);
  upper_ = std::max(lower, upper);
}

void CLinearEncoderDiagram::SetPosition(double position) { position_ = position; }

void CHallDiagram::Reset() { statuses_.fill(kNotSeen); }

void CHallDiagram::SetStatus(int slice, SliceStatus status) {
  if (slice < 0 || slice >= kSlices) return;
  statuses_[static_cast<std::size_t>(slice)] = status;
}

CHallDiagram::SliceStatus CHallDiagram::Status(int slice) const {
  if (slice < 0 || slice >= kSlices) return kNotSeen;
  return statuses_[static_cast<std::size_t>(slice)];
}

long CResolution::FindBestResolution(long lines) {
  const long magnitude = std::labs(lines);
  long best = kStandardLines.front();
  for (const long standard : kStandardLines) {
    if (std::labs(standard - magnitude) < std::labs(best - magnitude)) best = standard;
  }
  return lines < 0 ? -best : best;
}

long CResolution::GetResolution(int index) {
  if (index < 0 || index >= Count()) return 0;
  return kStandardLines[static_cast<std::size_t>(index)];
}

int CResolution::Count() { return static_cast<int>(kStandardLines.size()); }
