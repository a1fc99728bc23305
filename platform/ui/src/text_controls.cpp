// Edits, labels and pictures, and the buttons' bitmaps.
#include <string>

#include "ui/controls.h"
#include "ui/window.h"

namespace {

std::string SwapBitmap(ui::Window& window, const std::string& resourceName) {
  std::string previous = std::move(window.bitmap);
  window.bitmap = resourceName;
  return previous;
}

}  // namespace

void CEdit::LimitText(int characters) { Attached().textLimit = characters > 0 ? characters : 0; }

void CEdit::SetLimitText(unsigned characters) { LimitText(static_cast<int>(characters)); }

unsigned CEdit::GetLimitText() const { return static_cast<unsigned>(Attached().textLimit); }

bool CEdit::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Edit; }

std::string CStatic::SetBitmap(const std::string& resourceName) { return SwapBitmap(Attached(), resourceName); }

std::string CStatic::GetBitmap() const { return Attached().bitmap; }

bool CStatic::CanAttachTo(ui::ControlKind kind) const {
  return kind == ui::ControlKind::Static || kind == ui::ControlKind::Picture || kind == ui::ControlKind::Graph ||
         kind == ui::ControlKind::Group;
}

int CButton::GetCheck() const { return Attached().check; }

void CButton::SetCheck(int check) { Attached().check = check; }

std::string CButton::SetBitmap(const std::string& resourceName) { return SwapBitmap(Attached(), resourceName); }

std::string CButton::GetBitmap() const { return Attached().bitmap; }

bool CButton::CanAttachTo(ui::ControlKind kind) const {
  return kind == ui::ControlKind::Button || kind == ui::ControlKind::Check || kind == ui::ControlKind::Radio;
}
