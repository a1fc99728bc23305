#include "ui/dc.h"

#include "ui/message_map.h"
#include "ui/window.h"

COLORREF CDC::SetTextColor(COLORREF colour) {
  const COLORREF before = text_.value_or(RGB(0, 0, 0));
  text_ = colour;
  return before;
}

COLORREF CDC::SetBkColor(COLORREF colour) {
  const COLORREF before = background_.value_or(RGB(255, 255, 255));
  background_ = colour;
  return before;
}

namespace ui {

ControlColours AskControlColours(const Window& control) {
  CDC dc;
  if (control.parent != nullptr && control.parent->object != nullptr && control.object != nullptr) {
    TryDispatch(*control.parent->object, WM_CTLCOLOR, reinterpret_cast<WPARAM>(&dc),
                reinterpret_cast<LPARAM>(control.object));
  }
  return {dc.TextColor(), dc.BkColor()};
}

}  // namespace ui
