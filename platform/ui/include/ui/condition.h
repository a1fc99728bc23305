// Conditions on what the user sees: that tests and scripts expect, or wait for. Control
// conditions address the top-most dialog at the moment they are checked.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/event_loop.h"

namespace ui {

class DialogDriver;

struct Condition {
  std::string description;  // "1001 shows "Done""
  // None when the condition holds; otherwise what is found instead ("it shows "Running"").
  std::function<std::optional<std::string>(EventLoop& loop)> check;
};

Condition ControlShows(int id, std::string text);
Condition ControlEnabled(int id, bool enabled);
Condition ControlVisible(int id, bool visible);
Condition ControlChecked(int id, bool checked);
// The dialog draws the control's text in red (RGB 255, 0, 0) or, red false, in its default black.
Condition ControlTextRed(int id, bool red);
// A slider, scroll bar or spin button stands at the position.
Condition ControlAt(int id, int position);
// Some open dialog has the caption.
Condition DialogOpen(std::string caption);
// The top-most dialog has the caption.
Condition TopDialogIs(std::string caption);
// The last message box shown has the text.
Condition LastMessageBoxSays(std::string text);
Condition CursorIs(Cursor cursor);
// A test's own predicate on the top-most dialog.
Condition Holds(std::string description, std::function<bool(DialogDriver& top)> predicate);

}  // namespace ui
