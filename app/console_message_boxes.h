// Message boxes on the command line, for the lifetime of the object: each box is one line on
// standard error; a question that nobody can answer here is cancelled.
#pragma once

#include "ui/message_box.h"

namespace kestrel::cli {

class ConsoleMessageBoxes : public ui::MessageBoxPresenter {
 public:
  ConsoleMessageBoxes() { ui::SetMessageBoxPresenter(this); }
  ~ConsoleMessageBoxes() override { ui::SetMessageBoxPresenter(nullptr); }
  ConsoleMessageBoxes(const ConsoleMessageBoxes&) = delete;
  ConsoleMessageBoxes& operator=(const ConsoleMessageBoxes&) = delete;

  int Show(const std::string& text, const std::string& caption, unsigned style) override;
};

}  // namespace kestrel::cli
