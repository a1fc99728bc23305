#include "ui/real_time_agent.h"

#include <utility>

#include "text.h"
#include "ui/event_loop.h"
#include "ui/menu.h"

namespace ui {

void ActionQueue::Post(UserAction action) {
  {
    const std::lock_guard lock(mutex_);
    if (closed_) return;
    actions_.push_back(std::move(action));
  }
  posted_.notify_one();
}

void ActionQueue::Close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    actions_.clear();
  }
  posted_.notify_all();
}

std::optional<UserAction> ActionQueue::Next(std::optional<Milliseconds> deadline) {
  std::unique_lock lock(mutex_);
  const auto ready = [this] { return closed_ || !actions_.empty(); };
  if (deadline) {
    posted_.wait_until(lock, clock_.At(*deadline), ready);
  } else {
    posted_.wait(lock, ready);
  }
  return TakeLocked();
}

std::optional<UserAction> ActionQueue::Poll() {
  const std::lock_guard lock(mutex_);
  return TakeLocked();
}

bool ActionQueue::Closed() const {
  const std::lock_guard lock(mutex_);
  return closed_;
}

std::optional<UserAction> ActionQueue::TakeLocked() {
  if (closed_ || actions_.empty()) return std::nullopt;
  UserAction action = std::move(actions_.front());
  actions_.pop_front();
  return action;
}

bool RealTimeAgent::ActWhenIdle(EventLoop& loop) {
  ShowNow(loop, nullptr);
  if (std::optional<UserAction> action = Next(loop.NextTimerDue())) {
    Run(loop, *action);
    return true;
  }
  return !source_.Closed();
}

bool RealTimeAgent::ActWhenBusy(EventLoop& loop) {
  if (loop.Clock().Now() - lastShown_ >= kBusyShowPeriod) ShowNow(loop, nullptr);
  std::optional<UserAction> action = Poll();
  if (!action) return false;
  Run(loop, *action);
  return true;
}

std::optional<int> RealTimeAgent::AnswerMessageBox(const MessageBoxRecord& box) {
  EventLoop& loop = CurrentEventLoop();
  for (;;) {
    ShowNow(loop, &box);
    const std::optional<UserAction> action = Next(std::nullopt);
    if (!action) return std::nullopt;
    if (!action->step.answer) {
      listener_.Done(*action, "the message box " + Quote(box.text) + " waits for an answer");
    } else if (!OffersAnswer(box.style, *action->step.answer)) {
      listener_.Done(*action, "the message box " + Quote(box.text) + " has no " +
                                  Quote(std::string(AnswerName(*action->step.answer))) + " button");
    } else {
      listener_.Done(*action, "");
      return action->step.answer;
    }
  }
}

// Like the modal loop of a menu on the screen, the wait dispatches the timers as they fall due.
std::optional<unsigned> RealTimeAgent::ChooseFromPopupMenu(EventLoop& loop, const PopupMenu& menu) {
  listener_.PopupShown(&menu);
  std::optional<unsigned> chosen;
  for (;;) {
    ShowNow(loop, nullptr);
    std::optional<UserAction> action = Next(loop.NextTimerDue());
    if (!action) {
      if (source_.Closed()) break;
      loop.DispatchPending();
      continue;
    }
    const std::optional<unsigned> command = action->step.menuCommand;
    if (!command) {
      dismissedBy_ = std::move(action);
      break;
    }
    if (FindEnabledCommand(menu.items, *command) == nullptr) {
      listener_.Done(*action, "menu command " + std::to_string(*command) + " is not an enabled item of the menu shown");
      continue;
    }
    listener_.Done(*action, "");
    chosen = command;
    break;
  }
  listener_.PopupShown(nullptr);
  return chosen;
}

void RealTimeAgent::Serve(EventLoop& loop, const std::function<bool()>& finished) {
  while (!finished()) {
    if (loop.DispatchPending()) continue;
    if (!ActWhenIdle(loop)) return;
  }
}

// An action that opens a dialog returns only when that dialog has closed: its own dialog's
// actions are served meanwhile by the nested loop. A refused action leaves the dialog as it was.
void RealTimeAgent::Run(EventLoop& loop, const UserAction& action) {
  std::string error;
  if (action.step.answer) {
    error = "no message box is open";
  } else {
    try {
      StepContext context(loop, *this, "the page");
      action.step.run(context);
    } catch (const NoMoreActions&) {
      throw;
    } catch (const std::exception& failure) {
      error = failure.what();
    }
  }
  listener_.Done(action, error);
}

std::optional<UserAction> RealTimeAgent::Next(std::optional<Milliseconds> deadline) {
  if (dismissedBy_) return std::exchange(dismissedBy_, std::nullopt);
  return source_.Next(deadline);
}

std::optional<UserAction> RealTimeAgent::Poll() {
  if (dismissedBy_) return std::exchange(dismissedBy_, std::nullopt);
  return source_.Poll();
}

void RealTimeAgent::ShowNow(EventLoop& loop, const MessageBoxRecord* box) {
  lastShown_ = loop.Clock().Now();
  listener_.Show(loop, box);
}

}  // namespace ui
