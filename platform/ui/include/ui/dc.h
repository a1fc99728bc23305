// Control colours: before a control is drawn, its dialog receives WM_CTLCOLOR with a drawing
// context and may set the control's text and background colours in it.
#pragma once

#include <optional>

#include "ui/win_types.h"

class CDC {
 public:
  // Each returns the colour set before (black text, white background by default).
  COLORREF SetTextColor(COLORREF colour);
  COLORREF SetBkColor(COLORREF colour);

  std::optional<COLORREF> TextColor() const { return text_; }
  std::optional<COLORREF> BkColor() const { return background_; }

 private:
  std::optional<COLORREF> text_;
  std::optional<COLORREF> background_;
};

namespace ui {

// The colours a dialog gives one of its controls; none where it keeps the default.
struct ControlColours {
  std::optional<COLORREF> text;
  std::optional<COLORREF> background;
};

// Asks the control's dialog for the control's colours, as a front end does before drawing it.
ControlColours AskControlColours(const Window& control);

}  // namespace ui
