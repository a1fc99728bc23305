// The headless back end's event loop: virtual time, window timers, posted messages, the stack of
// open modal dialogs, keyboard focus and key state, the cursor, and the user agent that supplies
// input. Modal loops nest on the caller's stack: a handler that opens a dialog runs that dialog's
// loop inside its own call.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/clock.h"
#include "ui/message_box.h"
#include "ui/timer_queue.h"
#include "ui/win_types.h"

class CDialog;

namespace ui {

class UserAgent;
struct Window;

enum class Cursor { Arrow, Wait };

// A dialog waits for input that will never come: no user agent drives it, or the agent has no
// more actions for it. The message names the dialog's caption.
class NoMoreActions : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Told when a dialog opens (its windows exist, before OnInitDialog) and when it has closed, with
// its end code: a trace of what a session shows.
class DialogObserver {
 public:
  virtual ~DialogObserver() = default;
  virtual void DialogOpened(CDialog& dialog) = 0;
  virtual void DialogClosed(CDialog& dialog, int endCode) = 0;
};

class EventLoop {
 public:
  // Time comes from `clock` (not owned), or from a virtual clock of the loop's own.
  explicit EventLoop(HeadlessMessageBoxes& messageBoxes, ui::Clock* clock = nullptr);
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  ui::Clock& Clock() { return clock_; }
  const ui::Clock& Clock() const { return clock_; }
  HeadlessMessageBoxes& MessageBoxes() { return messageBoxes_; }
  const HeadlessMessageBoxes& MessageBoxes() const { return messageBoxes_; }

  // The agent (not owned) also answers the message boxes that have no prepared answer.
  void SetUserAgent(UserAgent* agent);
  UserAgent* Agent() const { return agent_; }
  // The observer (not owned; null for none).
  void SetDialogObserver(DialogObserver* observer) { observer_ = observer; }
  DialogObserver* Observer() const { return observer_; }

  void SetTimer(Window& window, std::uintptr_t id, Milliseconds period);
  bool KillTimer(const Window& window, std::uintptr_t id);
  // Stops every timer of the window and its controls.
  void KillTimers(const Window& window);
  std::optional<Milliseconds> NextTimerDue() const { return timers_.NextDue(); }

  void Post(Window& target, unsigned message, WPARAM wParam, LPARAM lParam);

  // Runs the dialog's modal loop until EndDialog has been called on it: dispatches what is
  // pending and, when nothing is, lets the user agent act (NoMoreActions when it cannot).
  void RunModal(CDialog& dialog);
  void Opened(CDialog& dialog);
  void Closed(CDialog& dialog);
  // The most recently opened dialog that has not ended; null when none is open.
  CDialog* TopDialog() const;
  // Open dialogs that have not ended, the first opened first.
  std::vector<CDialog*> OpenDialogs() const;
  // Drops the timers, posted messages and focus of a window and its controls, which are going.
  void Forget(const Window& window);

  // Dispatches the messages posted before the call, then the timers due now, in order; returns
  // whether anything was dispatched.
  bool DispatchPending();
  // What a message pump inside a handler does: dispatches what is pending and lets the user
  // agent act if it can. Throws NoMoreActions when pumps keep finding nothing to do (the limit).
  void Pump();
  void SetIdlePumpLimit(std::size_t pumps) { idlePumpLimit_ = pumps; }
  // How many pumps are running, one inside another, within the innermost modal loop: non-zero
  // while a handler that pumps (an upload loop) is on the stack of what is dispatched now.
  std::size_t PumpDepth() const { return pumpDepth_; }

  // Moves time forward to `time`, firing the timers due on the way in order of due time.
  void AdvanceTo(Milliseconds time);
  void AdvanceBy(Milliseconds duration) { AdvanceTo(clock_.Now() + duration); }

  // Moves the focus; an edit losing it notifies EN_KILLFOCUS, one gaining it EN_SETFOCUS.
  void ChangeFocus(Window* window);
  Window* Focus() const { return focus_; }

  void SetKeyDown(int virtualKey, bool down);
  bool IsKeyDown(int virtualKey) const;

  void BeginWaitCursor() { ++waitCursors_; }
  void EndWaitCursor() { waitCursors_ = waitCursors_ > 0 ? waitCursors_ - 1 : 0; }
  Cursor CurrentCursor() const { return waitCursors_ > 0 ? Cursor::Wait : Cursor::Arrow; }

 private:
  struct PostedMessage {
    Window* target;
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
  };

  VirtualClock ownClock_;
  ui::Clock& clock_;
  HeadlessMessageBoxes& messageBoxes_;
  UserAgent* agent_ = nullptr;
  DialogObserver* observer_ = nullptr;
  TimerQueue timers_;
  std::deque<PostedMessage> posted_;
  std::vector<CDialog*> dialogs_;
  Window* focus_ = nullptr;
  std::bitset<256> keysDown_;
  int waitCursors_ = 0;
  std::size_t idlePumps_ = 0;
  std::size_t idlePumpLimit_ = 1'000'000;
  std::size_t pumpDepth_ = 0;
};

// The event loop in use: the process's own, unless another is set (null restores it).
EventLoop& CurrentEventLoop();
void SetCurrentEventLoop(EventLoop* loop);

// Processes the window messages that are pending and returns; loops that upload or sample data
// call it between points so that the dialog (its Stop button) stays usable.
void DispatchPendingMessages();

// The loop's user agent and dialog observer as they are now, put back when the scope ends, however
// a run nested in it (a user that walked the dialogs for a while) left them.
class KeepLoopUser {
 public:
  explicit KeepLoopUser(EventLoop& loop) : loop_(loop), agent_(loop.Agent()), observer_(loop.Observer()) {}
  ~KeepLoopUser() {
    loop_.SetUserAgent(agent_);
    loop_.SetDialogObserver(observer_);
  }
  KeepLoopUser(const KeepLoopUser&) = delete;
  KeepLoopUser& operator=(const KeepLoopUser&) = delete;

 private:
  EventLoop& loop_;
  UserAgent* agent_;
  DialogObserver* observer_;
};

}  // namespace ui
