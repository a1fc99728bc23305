// The trace of `kestrel edit --trace`: each dialog as it opens and closes (with its end code)
// and each message box with its text and answer, one line each on standard output.
#pragma once

#include <ostream>

#include "ui/event_loop.h"
#include "ui/message_box.h"

namespace kestrel::cli {

class EditTrace : public ui::DialogObserver, public ui::MessageBoxPresenter {
 public:
  // Boxes go on to `boxes`, which records and answers them.
  EditTrace(std::ostream& out, ui::HeadlessMessageBoxes& boxes) : out_(out), boxes_(boxes) {}

  void DialogOpened(CDialog& dialog) override;
  void DialogClosed(CDialog& dialog, int endCode) override;
  int Show(const std::string& text, const std::string& caption, unsigned style) override;

 private:
  std::ostream& out_;
  ui::HeadlessMessageBoxes& boxes_;
};

// "OK", "Cancel", ... for an end code or answer; the number for any other.
std::string EndCodeName(int endCode);

}  // namespace kestrel::cli
