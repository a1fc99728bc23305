// Message boxes of the dialog framework: a text, a caption, a style made of buttons and an
// icon, and the answer of the user. Every box goes to the presenter in use: the headless one
// records each box and answers it from a queue of prepared answers or, failing that, asks the
// user agent in use (a test or a script); a graphical front end shows them.
#pragma once

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Buttons.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_RETRYCANCEL = 0x5;
inline constexpr unsigned MB_TYPEMASK = 0xF;
// A Help button beside the others (answered IDHELP).
inline constexpr unsigned MB_HELP = 0x4000;
// Icons.
inline constexpr unsigned MB_ICONHAND = 0x10;
inline constexpr unsigned MB_ICONERROR = MB_ICONHAND;
inline constexpr unsigned MB_ICONSTOP = MB_ICONHAND;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr unsigned MB_ICONASTERISK = 0x40;
inline constexpr unsigned MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr unsigned MB_ICONMASK = 0xF0;

// Answers (dialog end codes).
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDHELP = 9;

// Shows a message box with the application's caption; returns the answer.
int AfxMessageBox(const std::string& text, unsigned style = MB_OK);

namespace ui {

inline constexpr const char* kApplicationCaption = "Kestrel";

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  unsigned style = MB_OK;
  int answer = 0;
};

// Shows boxes and answers them.
class MessageBoxPresenter {
 public:
  virtual ~MessageBoxPresenter() = default;
  virtual int Show(const std::string& text, const std::string& caption, unsigned style) = 0;
};

// Answers a box for which no answer was prepared (the user agent in use); none when it has no
// answer for it.
class MessageBoxAnswerer {
 public:
  virtual ~MessageBoxAnswerer() = default;
  virtual std::optional<int> AnswerMessageBox(const MessageBoxRecord& box) = 0;
};

// A box that the headless presenter had no answer for, other than an OK-only box.
class UnansweredMessageBox : public std::runtime_error {
 public:
  explicit UnansweredMessageBox(const std::string& text);
};

// Records every box and answers from the queue of prepared answers, then from the answerer; an
// OK-only box is answered IDOK when neither has an answer, any other box then throws
// UnansweredMessageBox. An answer that is none of the box's buttons throws
// std::invalid_argument.
class HeadlessMessageBoxes : public MessageBoxPresenter {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned style) override;

  void PrepareAnswer(int answer) { answers_.push_back(answer); }
  void SetAnswerer(MessageBoxAnswerer* answerer) { answerer_ = answerer; }
  const std::vector<MessageBoxRecord>& Shown() const { return shown_; }
  std::size_t PendingAnswers() const { return answers_.size(); }
  void Clear();

 private:
  std::optional<int> NextAnswer(const MessageBoxRecord& box);

  std::deque<int> answers_;
  std::vector<MessageBoxRecord> shown_;
  MessageBoxAnswerer* answerer_ = nullptr;
};

// The presenter that AfxMessageBox uses (not owned); null restores the process's own headless
// presenter.
void SetMessageBoxPresenter(MessageBoxPresenter* presenter);
MessageBoxPresenter& CurrentMessageBoxPresenter();

// The process's own headless presenter, in use unless another is set.
HeadlessMessageBoxes& DefaultMessageBoxes();

// Shows a box with a caption of one's own (a dialog's message box).
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style);

// The text of the button that gives `answer` ("Yes"); empty for a value that is no answer.
std::string_view AnswerName(int answer);
// The answer of the button whose text is `name`, in any case ("yes" gives IDYES).
std::optional<int> AnswerNamed(std::string_view name);
// Whether a box of `style` has a button that gives `answer`.
bool OffersAnswer(unsigned style, int answer);

}  // namespace ui
