#include "ui/step_agent.h"

#include <algorithm>

#include "scope_exit.h"
#include "ui/dialog.h"

namespace ui {

DialogDriver StepContext::Top() const {
  CDialog* top = loop_.TopDialog();
  if (top == nullptr) throw ActionError("no dialog is open");
  return DialogDriver(*top);
}

void StepContext::WaitUntil(Condition condition, Milliseconds limit) const {
  agent_.wait_ = StepAgent::PendingWait{std::move(condition), loop_.Clock().Now() + limit, limit, where_};
}

void StepContext::Wait(Milliseconds duration) const {
  const Milliseconds end = loop_.Clock().Now() + duration;
  WaitUntil({"the time is up", [end](EventLoop& loop) -> std::optional<std::string> {
               if (loop.Clock().Now() >= end) return std::nullopt;
               return "the time is not up";
             }},
            duration);
}

void StepAgent::Add(Step step, std::string place) { steps_.push_back({std::move(step), std::move(place)}); }

void StepAgent::CheckFinished(EventLoop& loop) {
  if (wait_) {
    const std::optional<std::string> found = wait_->condition.check(loop);
    const std::string where = wait_->where;
    wait_.reset();
    if (found) throw StepError(where + ": the dialogs closed while it waited: " + *found);
  }
  if (steps_.empty()) return;
  const PlacedStep& next = steps_.front();
  throw StepError(next.place + ": " + next.step.description + ": never ran: the dialogs had closed");
}

std::optional<int> StepAgent::AnswerMessageBox(const MessageBoxRecord&) {
  if (steps_.empty() || !steps_.front().step.answer) return std::nullopt;
  const int answer = *steps_.front().step.answer;
  steps_.pop_front();
  return answer;
}

std::optional<unsigned> StepAgent::ChooseFromPopupMenu(EventLoop&, const PopupMenu&) {
  if (wait_ || steps_.empty() || !steps_.front().step.menuCommand) return std::nullopt;
  const unsigned command = *steps_.front().step.menuCommand;
  steps_.pop_front();
  return command;
}

bool StepAgent::Act(EventLoop& loop, bool busy) {
  if (wait_ && !WaitIsOver(loop)) {
    LetTimePass(loop, busy);
    return true;
  }
  if (steps_.empty()) return false;
  RunNext(loop);
  return true;
}

bool StepAgent::WaitIsOver(EventLoop& loop) {
  const std::optional<std::string> found = wait_->condition.check(loop);
  if (!found) {
    wait_.reset();
    return true;
  }
  if (loop.Clock().Now() < wait_->deadline) return false;
  const PendingWait failed = *wait_;
  wait_.reset();
  throw StepError(failed.where + ": after " + std::to_string(failed.limit.count()) + " ms " + *found);
}

void StepAgent::LetTimePass(EventLoop& loop, bool busy) const {
  const Milliseconds now = loop.Clock().Now();
  Milliseconds until = wait_->deadline;
  if (busy) {
    until = std::min(until, now + Milliseconds(1));
  } else if (const std::optional<Milliseconds> due = loop.NextTimerDue()) {
    until = std::min(until, std::max(*due, now));
  }
  loop.AdvanceTo(until);
}

void StepAgent::RunNext(EventLoop& loop) {
  const PlacedStep next = std::move(steps_.front());
  steps_.pop_front();
  const std::string where = next.place + ": " + next.step.description;
  StepContext context(loop, *this, where);
  try {
    next.step.run(context);
  } catch (const StepError&) {
    throw;
  } catch (const std::exception& error) {
    throw StepError(where + ": " + error.what());
  }
}

int RunWithAgent(CDialog& dialog, StepAgent& agent) {
  EventLoop& loop = CurrentEventLoop();
  UserAgent* previous = loop.Agent();
  loop.SetUserAgent(&agent);
  const ScopeExit restore([&] { loop.SetUserAgent(previous); });
  const int endCode = dialog.DoModal();
  agent.CheckFinished(loop);
  return endCode;
}

}  // namespace ui
