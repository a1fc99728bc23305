#include "ui/message_box.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

namespace ui {
namespace {

MessageBoxPresenter* g_presenter = nullptr;

struct NamedAnswer {
  int answer;
  std::string_view name;
};

constexpr std::array<NamedAnswer, 8> kAnswerNames{{{IDOK, "OK"},
                                                   {IDCANCEL, "Cancel"},
                                                   {IDABORT, "Abort"},
                                                   {IDRETRY, "Retry"},
                                                   {IDIGNORE, "Ignore"},
                                                   {IDYES, "Yes"},
                                                   {IDNO, "No"},
                                                   {IDHELP, "Help"}}};

// The answers of the buttons of each style, by the style's button bits.
std::span<const int> ButtonsOf(unsigned style) {
  static constexpr std::array kOk{IDOK};
  static constexpr std::array kOkCancel{IDOK, IDCANCEL};
  static constexpr std::array kAbortRetryIgnore{IDABORT, IDRETRY, IDIGNORE};
  static constexpr std::array kYesNoCancel{IDYES, IDNO, IDCANCEL};
  static constexpr std::array kYesNo{IDYES, IDNO};
  static constexpr std::array kRetryCancel{IDRETRY, IDCANCEL};
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return kOkCancel;
    case MB_ABORTRETRYIGNORE: return kAbortRetryIgnore;
    case MB_YESNOCANCEL: return kYesNoCancel;
    case MB_YESNO: return kYesNo;
    case MB_RETRYCANCEL: return kRetryCancel;
    default: return kOk;
  }
}

bool SameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string ButtonList(unsigned style) {
  std::string list;
  for (const int answer : ButtonsOf(style)) {
    list += (list.empty() ? "" : ", ") + std::string(AnswerName(answer));
  }
  if ((style & MB_HELP) != 0) list += ", Help";
  return list;
}

}  // namespace

UnansweredMessageBox::UnansweredMessageBox(const std::string& text)
    : std::runtime_error("no answer was prepared for the message box \"" + text + "\"") {}

int HeadlessMessageBoxes::Show(const std::string& text, const std::string& caption, unsigned style) {
  MessageBoxRecord box{text, caption, style, 0};
  const std::optional<int> answer = NextAnswer(box);
  shown_.push_back(box);
  if (!answer) throw UnansweredMessageBox(text);
  if (!OffersAnswer(style, *answer)) {
    const std::string_view name = AnswerName(*answer);
    throw std::invalid_argument("the answer " + (name.empty() ? std::to_string(*answer) : std::string(name)) +
                                " does not fit the message box \"" + text + "\", which offers " +
                                ButtonList(style));
  }
  shown_.back().answer = *answer;
  return *answer;
}

std::optional<int> HeadlessMessageBoxes::NextAnswer(const MessageBoxRecord& box) {
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  if (answerer_ != nullptr) {
    if (const std::optional<int> answer = answerer_->AnswerMessageBox(box)) return answer;
  }
  if ((box.style & MB_TYPEMASK) == MB_OK) return IDOK;
  return std::nullopt;
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

std::string_view AnswerName(int answer) {
  for (const NamedAnswer& entry : kAnswerNames) {
    if (entry.answer == answer) return entry.name;
  }
  return {};
}

std::optional<int> AnswerNamed(std::string_view name) {
  for (const NamedAnswer& entry : kAnswerNames) {
    if (SameLetters(entry.name, name)) return entry.answer;
  }
  return std::nullopt;
}

bool OffersAnswer(unsigned style, int answer) {
  if (answer == IDHELP) return (style & MB_HELP) != 0;
  const std::span<const int> buttons = ButtonsOf(style);
  return std::find(buttons.begin(), buttons.end(), answer) != buttons.end();
}

}  // namespace ui

int AfxMessageBox(const std::string& text, unsigned style) {
  return ui::ShowMessageBox(text, ui::kApplicationCaption, style);
}
