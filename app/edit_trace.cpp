#include "edit_trace.h"

#include <string>

#include "ui/dialog.h"

namespace kestrel::cli {
namespace {

// A text on one line, in double quotes, with its line breaks shown as \n.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\n') {
      quoted += "\\n";
    } else if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

}  // namespace

std::string EndCodeName(int endCode) {
  const std::string_view name = ui::AnswerName(endCode);
  return name.empty() ? std::to_string(endCode) : std::string(name);
}

void EditTrace::DialogOpened(CDialog& dialog) {
  out_ << "dialog " << Quoted(dialog.GetWindowText()) << " opened" << std::endl;
}

void EditTrace::DialogClosed(CDialog& dialog, int endCode) {
  out_ << "dialog " << Quoted(dialog.GetWindowText()) << " closed: " << EndCodeName(endCode) << std::endl;
}

int EditTrace::Show(const std::string& text, const std::string& caption, unsigned style) {
  const int answer = boxes_.Show(text, caption, style);
  out_ << "message box " << Quoted(text) << ": " << EndCodeName(answer) << std::endl;
  return answer;
}

}  // namespace kestrel::cli
