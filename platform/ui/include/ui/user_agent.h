// The user of the headless back end: a test or a script that acts on the top-most dialog
// whenever the application waits for input, and answers message boxes.
#pragma once

#include <optional>

#include "ui/message_box.h"

namespace ui {

class EventLoop;
struct PopupMenu;

class UserAgent : public MessageBoxAnswerer {
 public:
  // The application waits for input in the modal loop of the top-most dialog: perform the next
  // action (which may be letting time pass). False when there is none left.
  virtual bool ActWhenIdle(EventLoop& loop) = 0;
  // The application polls for input while busy (it pumps messages inside a handler): perform
  // the next action if it can be done now. Returns whether anything was done.
  virtual bool ActWhenBusy(EventLoop& loop) = 0;
  // A popup menu is shown: the command chosen from it, or none to dismiss it (an agent that
  // knows no menus dismisses every popup).
  virtual std::optional<unsigned> ChooseFromPopupMenu(EventLoop&, const PopupMenu&) { return std::nullopt; }
};

}  // namespace ui
