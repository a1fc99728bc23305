// A user agent that performs a list of steps, one at a time, whenever the application waits for
// input: in a modal loop when nothing is pending, and in a message pump while a handler is busy.
// A wait is a state of the agent, not a blocking call: while it lasts, each request for input
// lets time pass (in a modal loop up to the next timer, in a pump by one millisecond), so a
// dialog that a timer opens during the wait gets its own steps. A failing step throws StepError
// naming the step's place (a script line, a test's source line) and what was found.
#pragma once

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>

#include "ui/dialog_driver.h"
#include "ui/steps.h"
#include "ui/user_agent.h"

class CDialog;

namespace ui {

class StepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class StepAgent;

// What a running step works with.
class StepContext {
 public:
  StepContext(EventLoop& loop, StepAgent& agent, std::string where)
      : loop_(loop), agent_(agent), where_(std::move(where)) {}

  EventLoop& Loop() const { return loop_; }
  // The top-most dialog; ActionError when none is open.
  DialogDriver Top() const;
  // Makes the agent let time pass until the condition holds, for at most `limit`.
  void WaitUntil(Condition condition, Milliseconds limit) const;
  void Wait(Milliseconds duration) const;

 private:
  EventLoop& loop_;
  StepAgent& agent_;
  std::string where_;
};

class StepAgent : public UserAgent {
 public:
  // `place` says where the step was written, for messages: "every_step.script:12".
  void Add(Step step, std::string place);
  std::size_t Remaining() const { return steps_.size(); }
  // StepError when steps were left over, or a wait was unmet, when the dialogs closed.
  void CheckFinished(EventLoop& loop);

  bool ActWhenIdle(EventLoop& loop) override { return Act(loop, false); }
  bool ActWhenBusy(EventLoop& loop) override { return Act(loop, true); }
  std::optional<int> AnswerMessageBox(const MessageBoxRecord& box) override;
  // The next step, when it is a menu step, chooses from the popup; any other dismisses it.
  std::optional<unsigned> ChooseFromPopupMenu(EventLoop& loop, const PopupMenu& menu) override;

 private:
  friend class StepContext;

  struct PlacedStep {
    Step step;
    std::string place;
  };
  struct PendingWait {
    Condition condition;
    Milliseconds deadline;
    Milliseconds limit;
    std::string where;
  };

  bool Act(EventLoop& loop, bool busy);
  bool WaitIsOver(EventLoop& loop);
  void LetTimePass(EventLoop& loop, bool busy) const;
  void RunNext(EventLoop& loop);

  std::deque<PlacedStep> steps_;
  std::optional<PendingWait> wait_;
};

// Runs the dialog modally in the current event loop, driven by the agent; then checks that the
// agent finished (StepError otherwise). Returns the dialog's end code.
int RunWithAgent(CDialog& dialog, StepAgent& agent);

}  // namespace ui
