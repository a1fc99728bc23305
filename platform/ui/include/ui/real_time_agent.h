// The real-time back end's user: a front end (the graphical page) whose actions arrive while the
// application runs on the real clock. A modal loop waits for whichever comes first, the next
// timer due or the next action; an action is the operation of a script step (click, type, select
// ...), run on the top-most dialog. An action the user could not do is refused with the reason,
// and the dialog carries on. A message box waits for an answer action offered by its buttons. A
// popup menu waits for the next action: a menu action chooses one of its enabled commands, any
// other dismisses it and is then done as usual; timers due meanwhile still fire.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "ui/clock.h"
#include "ui/step_agent.h"

namespace ui {

// One action of the user, numbered by the front end that sent it.
struct UserAction {
  std::uint64_t sequence = 0;
  Step step;
};

// Where the agent takes the user's actions from.
class ActionSource {
 public:
  virtual ~ActionSource() = default;
  // The next action. Waits for one until the clock reaches `deadline`, or, without a deadline,
  // until one comes or the source closes. None when the deadline came first or the source closed.
  virtual std::optional<UserAction> Next(std::optional<Milliseconds> deadline) = 0;
  // The next action if one is waiting; never waits.
  virtual std::optional<UserAction> Poll() = 0;
  virtual bool Closed() const = 0;
};

// Actions posted by other threads (the front end's server), waited for on the system's clock.
class ActionQueue final : public ActionSource {
 public:
  explicit ActionQueue(const SteadyClock& clock) : clock_(clock) {}

  void Post(UserAction action);
  // No action is taken any more; a waiting Next returns at once.
  void Close();

  std::optional<UserAction> Next(std::optional<Milliseconds> deadline) override;
  std::optional<UserAction> Poll() override;
  bool Closed() const override;

 private:
  std::optional<UserAction> TakeLocked();

  const SteadyClock& clock_;
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<UserAction> actions_;
  bool closed_ = false;
};

// What the agent tells its front end.
class RealTimeListener {
 public:
  virtual ~RealTimeListener() = default;
  // What the application shows now: when it waits for the user (settled), and now and then
  // while a handler is busy. `box` is the message box that waits for an answer, or null.
  virtual void Show(EventLoop& loop, const MessageBoxRecord* box) = 0;
  // The action was done (`error` empty) or refused (`error` says why).
  virtual void Done(const UserAction& action, const std::string& error) = 0;
  // A popup menu is shown (until it is chosen from or dismissed: then null), before the state
  // that shows it; a front end that draws no menus may ignore it.
  virtual void PopupShown(const PopupMenu* /*popup*/) {}
};

class RealTimeAgent final : public StepAgent {
 public:
  // How often a busy handler's progress is shown.
  static constexpr Milliseconds kBusyShowPeriod{50};

  RealTimeAgent(ActionSource& source, RealTimeListener& listener) : source_(source), listener_(listener) {}

  // Waits for the next timer due or the next action and runs the action; false once the source
  // has closed.
  bool ActWhenIdle(EventLoop& loop) override;
  // Runs an action that is waiting, if any.
  bool ActWhenBusy(EventLoop& loop) override;
  // Shows the box and waits for an answer that it offers; none once the source has closed.
  std::optional<int> AnswerMessageBox(const MessageBoxRecord& box) override;
  // Shows the popup and waits for a menu action that names one of its enabled commands; any other
  // action dismisses it and is kept to be done next. None once the source has closed.
  std::optional<unsigned> ChooseFromPopupMenu(EventLoop& loop, const PopupMenu& menu) override;

  // Serves timers and actions while no dialog is open (actions then act on the host itself),
  // until `finished` holds or the source closes.
  void Serve(EventLoop& loop, const std::function<bool()>& finished);

 private:
  void Run(EventLoop& loop, const UserAction& action);
  // The action that dismissed a popup, else the next one from the source.
  std::optional<UserAction> Next(std::optional<Milliseconds> deadline);
  std::optional<UserAction> Poll();
  void ShowNow(EventLoop& loop, const MessageBoxRecord* box);

  ActionSource& source_;
  RealTimeListener& listener_;
  Milliseconds lastShown_{0};
  std::optional<UserAction> dismissedBy_;
};

}  // namespace ui
