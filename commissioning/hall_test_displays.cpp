#include "commissioning/hall_test_displays.h"

#include <cmath>

#include "compute/setup_access.h"

HallTestDisplays::HallTestDisplays(CWnd& dialog, bool linear)
    : dialog_(dialog), linear_(linear), state_(dialog, kHallStateEdit, linear ? linearHalls_ : halls_) {}

void HallTestDisplays::Attach(bool withPhase) {
  if (linear_) {
    linearEncoder_.SubclassDlgItem(kPositionDiagram, &dialog_);
    linearHalls_.SubclassDlgItem(kHallDiagram, &dialog_);
  } else {
    encoder_.SubclassDlgItem(kPositionDiagram, &dialog_);
    halls_.SubclassDlgItem(kHallDiagram, &dialog_);
  }
  if (withPhase) phase_.SubclassDlgItem(kPhaseDiagram, &dialog_);
}

void HallTestDisplays::Reset(const CMC_Setup* setup) {
  state_.Reset();
  ShowPhaseAngle(0.0);
  if (!linear_) return ShowEncoderAngle(0.0);
  const double limit = kestrel::CountsPerPolePitch(setup);
  linearEncoder_.SetLimits(-limit, limit);
  ShowLinearPosition(0.0);
}

void HallTestDisplays::ShowEncoderAngle(double angle_rad) {
  encoder_.SetTheta(angle_rad);
  encoder_.Repaint();
}

void HallTestDisplays::ShowLinearPosition(double counts) {
  linearEncoder_.SetPosition(counts);
  linearEncoder_.Repaint();
}

void HallTestDisplays::ShowPhaseAngle(double angle_rad) {
  phase_.SetTheta(angle_rad);
  phase_.Repaint();
}

namespace kestrel {

double CountsPerPolePitch(const CMC_Setup* setup) {
  const double resolution = OptionalInternalValue(setup, "Resolution");
  if (!(resolution > 0.0)) return 0.0;
  return std::trunc(OptionalInternalValue(setup, "PolePitch") / resolution);
}

}  // namespace kestrel
