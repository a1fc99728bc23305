#include "ui/condition.h"

#include <cstdio>

#include "text.h"
#include "ui/dc.h"
#include "ui/dialog.h"
#include "ui/dialog_driver.h"

namespace ui {
namespace {

using Found = std::optional<std::string>;

// A condition on the control `id` of the top-most dialog; `compare` says what it finds there
// when the condition does not hold.
Condition OnControl(int id, std::string description, std::function<Found(const Window&)> compare) {
  return {std::to_string(id) + " " + description, [id, compare](EventLoop& loop) -> Found {
            CDialog* top = loop.TopDialog();
            if (top == nullptr) return "no dialog is open";
            const Window* control = top->GetSafeHwnd()->FindChild(id);
            if (control == nullptr) return "the dialog " + Quote(top->GetWindowText()) + " has no control " + std::to_string(id);
            return compare(*control);
          }};
}

Condition OnState(int id, bool wanted, const char* yes, const char* no, bool Window::*state) {
  return OnControl(id, std::string("is ") + (wanted ? yes : no), [=](const Window& control) -> Found {
    if (control.*state == wanted) return std::nullopt;
    return std::string("it is ") + (wanted ? no : yes);
  });
}

std::vector<std::string> OpenCaptions(const EventLoop& loop) {
  std::vector<std::string> captions;
  for (const CDialog* dialog : loop.OpenDialogs()) captions.push_back(dialog->GetWindowText());
  return captions;
}

std::string CursorName(Cursor cursor) { return cursor == Cursor::Wait ? "wait" : "arrow"; }

}  // namespace

Condition ControlShows(int id, std::string text) {
  return OnControl(id, "shows " + Quote(text), [text](const Window& control) -> Found {
    if (control.text == text) return std::nullopt;
    return "it shows " + Quote(control.text);
  });
}

Condition ControlEnabled(int id, bool enabled) {
  return OnState(id, enabled, "enabled", "disabled", &Window::enabled);
}

Condition ControlVisible(int id, bool visible) {
  return OnState(id, visible, "visible", "hidden", &Window::visible);
}

Condition ControlChecked(int id, bool checked) {
  return OnControl(id, checked ? "is checked" : "is not checked", [checked](const Window& control) -> Found {
    if ((control.check == BST_CHECKED) == checked) return std::nullopt;
    return checked ? "it is not checked" : "it is checked";
  });
}

Condition ControlTextRed(int id, bool red) {
  return OnControl(id, red ? "is drawn red" : "is drawn black", [red](const Window& control) -> Found {
    const COLORREF colour = AskControlColours(control).text.value_or(RGB(0, 0, 0));
    if (colour == (red ? RGB(255, 0, 0) : RGB(0, 0, 0))) return std::nullopt;
    return "its text colour is 0x" + [colour] {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%06x", static_cast<unsigned>(colour));
      return std::string(hex);
    }();
  });
}

Condition ControlAt(int id, int position) {
  return OnControl(id, "is at " + std::to_string(position), [position](const Window& control) -> Found {
    if (control.position == position) return std::nullopt;
    return "it is at " + std::to_string(control.position);
  });
}

Condition DialogOpen(std::string caption) {
  return {"a dialog " + Quote(caption) + " is open", [caption](EventLoop& loop) -> Found {
            const std::vector<std::string> open = OpenCaptions(loop);
            if (std::find(open.begin(), open.end(), caption) != open.end()) return std::nullopt;
            return open.empty() ? "no dialog is open" : "the open dialogs are " + QuoteAll(open);
          }};
}

Condition TopDialogIs(std::string caption) {
  return {"the top-most dialog is " + Quote(caption), [caption](EventLoop& loop) -> Found {
            const CDialog* top = loop.TopDialog();
            if (top == nullptr) return "no dialog is open";
            if (top->GetWindowText() == caption) return std::nullopt;
            return "it is " + Quote(top->GetWindowText());
          }};
}

Condition LastMessageBoxSays(std::string text) {
  return {"the last message box says " + Quote(text), [text](EventLoop& loop) -> Found {
            const std::vector<MessageBoxRecord>& shown = loop.MessageBoxes().Shown();
            if (shown.empty()) return "no message box has been shown";
            if (shown.back().text == text) return std::nullopt;
            return "it says " + Quote(shown.back().text);
          }};
}

Condition CursorIs(Cursor cursor) {
  return {"the cursor is the " + CursorName(cursor) + " cursor", [cursor](EventLoop& loop) -> Found {
            if (loop.CurrentCursor() == cursor) return std::nullopt;
            return "it is the " + CursorName(loop.CurrentCursor()) + " cursor";
          }};
}

Condition Holds(std::string description, std::function<bool(DialogDriver& top)> predicate) {
  return {std::move(description), [predicate](EventLoop& loop) -> Found {
            CDialog* top = loop.TopDialog();
            if (top == nullptr) return "no dialog is open";
            DialogDriver driver(*top);
            if (predicate(driver)) return std::nullopt;
            return "it does not hold";
          }};
}

}  // namespace ui
