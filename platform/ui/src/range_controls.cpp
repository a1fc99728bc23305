// Controls that hold a position within a range: sliders, spin buttons and progress bars.
#include "ui/controls.h"
#include "ui/window.h"

namespace {

void SetWindowRange(ui::Window& window, int first, int second) {
  window.rangeMin = first;
  window.rangeMax = second;
  window.position = ui::ClampToRange(window, window.position);
}

int MoveTo(ui::Window& window, int position) {
  const int previous = window.position;
  window.position = ui::ClampToRange(window, position);
  return previous;
}

}  // namespace

void CSliderCtrl::SetRange(int minimum, int maximum, bool) { SetWindowRange(Attached(), minimum, maximum); }

int CSliderCtrl::GetRangeMin() const { return Attached().rangeMin; }

int CSliderCtrl::GetRangeMax() const { return Attached().rangeMax; }

void CSliderCtrl::SetPos(int position) { MoveTo(Attached(), position); }

int CSliderCtrl::GetPos() const { return Attached().position; }

bool CSliderCtrl::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Slider; }

void CSpinButtonCtrl::SetRange(int lower, int upper) { SetWindowRange(Attached(), lower, upper); }

void CSpinButtonCtrl::GetRange(int& lower, int& upper) const {
  lower = Attached().rangeMin;
  upper = Attached().rangeMax;
}

int CSpinButtonCtrl::SetPos(int position) { return MoveTo(Attached(), position); }

int CSpinButtonCtrl::GetPos() const { return Attached().position; }

bool CSpinButtonCtrl::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Spin; }

void CProgressCtrl::SetRange(int lower, int upper) { SetWindowRange(Attached(), lower, upper); }

void CProgressCtrl::GetRange(int& lower, int& upper) const {
  lower = Attached().rangeMin;
  upper = Attached().rangeMax;
}

int CProgressCtrl::SetPos(int position) { return MoveTo(Attached(), position); }

int CProgressCtrl::GetPos() const { return Attached().position; }

bool CProgressCtrl::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Progress; }
