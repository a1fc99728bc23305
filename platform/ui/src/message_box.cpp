#include "ui/message_box.h"

namespace ui {
namespace {

MessageBoxPresenter* g_presenter = nullptr;

}  // namespace

UnansweredMessageBox::UnansweredMessageBox(const std::string& text)
    : std::runtime_error("no answer was prepared for the message box \"" + text + "\"") {}

int HeadlessMessageBoxes::Show(const std::string& text, const std::string& caption, unsigned style) {
  int answer = IDOK;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if ((style & MB_TYPEMASK) != MB_OK) {
    shown_.push_back({text, caption, style, 0});
    throw UnansweredMessageBox(text);
  }
  shown_.push_back({text, caption, style, answer});
  return answer;
}

void HeadlessMessageBoxes::Clear() {
  answers_.clear();
  shown_.clear();
}

void SetMessageBoxPresenter(MessageBoxPresenter* presenter) { g_presenter = presenter; }

MessageBoxPresenter& CurrentMessageBoxPresenter() {
  return g_presenter != nullptr ? *g_presenter : DefaultMessageBoxes();
}

HeadlessMessageBoxes& DefaultMessageBoxes() {
  static HeadlessMessageBoxes boxes;
  return boxes;
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
  return CurrentMessageBoxPresenter().Show(text, caption, style);
}

}  // namespace ui

int AfxMessageBox(const std::string& text, unsigned style) {
  return ui::ShowMessageBox(text, ui::kApplicationCaption, style);
}
