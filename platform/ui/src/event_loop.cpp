#include "ui/event_loop.h"

#include <algorithm>

#include "scope_exit.h"
#include "text.h"
#include "ui/dialog.h"
#include "ui/user_agent.h"
#include "ui/window.h"
#include "ui/window_messages.h"

namespace ui {
namespace {

EventLoop* g_currentLoop = nullptr;

std::string CaptionOf(const CDialog& dialog) {
  return Quote(dialog.GetSafeHwnd() != nullptr ? dialog.GetSafeHwnd()->text : std::string());
}

// Calls visit for the window and each of its descendants.
template <class Visit>
void ForEachInTree(const Window& window, Visit visit) {
  visit(window);
  for (const std::unique_ptr<Window>& child : window.children) ForEachInTree(*child, visit);
}

}  // namespace

EventLoop::EventLoop(HeadlessMessageBoxes& messageBoxes, ui::Clock* clock)
    : clock_(clock != nullptr ? *clock : ownClock_), messageBoxes_(messageBoxes) {}

EventLoop::~EventLoop() {
  if (agent_ != nullptr) messageBoxes_.SetAnswerer(nullptr);
}

void EventLoop::SetUserAgent(UserAgent* agent) {
  agent_ = agent;
  messageBoxes_.SetAnswerer(agent);
}

void EventLoop::SetTimer(Window& window, std::uintptr_t id, Milliseconds period) {
  timers_.Set(window, id, period, clock_.Now());
}

bool EventLoop::KillTimer(const Window& window, std::uintptr_t id) { return timers_.Kill(window, id); }

void EventLoop::KillTimers(const Window& window) {
  ForEachInTree(window, [&](const Window& member) { timers_.KillAll(member); });
}

void EventLoop::Post(Window& target, unsigned message, WPARAM wParam, LPARAM lParam) {
  posted_.push_back({&target, message, wParam, lParam});
}

void EventLoop::RunModal(CDialog& dialog) {
  // A dialog opened by a handler that pumps has no pump of its own on the stack.
  const std::size_t outerPumps = pumpDepth_;
  pumpDepth_ = 0;
  const ScopeExit restore([&] { pumpDepth_ = outerPumps; });
  while (!dialog.ModalEnded()) {
    if (DispatchPending()) continue;
    if (agent_ == nullptr) throw NoMoreActions("no user agent drives the open dialog " + CaptionOf(dialog));
    if (!agent_->ActWhenIdle(*this)) {
      throw NoMoreActions("the user agent has no more actions for the open dialog " + CaptionOf(dialog));
    }
  }
}

void EventLoop::Opened(CDialog& dialog) {
  dialogs_.push_back(&dialog);
  if (observer_ != nullptr) observer_->DialogOpened(dialog);
}

void EventLoop::Closed(CDialog& dialog) {
  std::erase(dialogs_, &dialog);
  if (observer_ != nullptr) observer_->DialogClosed(dialog, dialog.EndCode());
}

CDialog* EventLoop::TopDialog() const {
  const auto top = std::find_if(dialogs_.rbegin(), dialogs_.rend(),
                                [](const CDialog* dialog) { return !dialog->ModalEnded(); });
  return top == dialogs_.rend() ? nullptr : *top;
}

std::vector<CDialog*> EventLoop::OpenDialogs() const {
  std::vector<CDialog*> open;
  std::copy_if(dialogs_.begin(), dialogs_.end(), std::back_inserter(open),
               [](const CDialog* dialog) { return !dialog->ModalEnded(); });
  return open;
}

void EventLoop::Forget(const Window& window) {
  ForEachInTree(window, [&](const Window& member) {
    timers_.KillAll(member);
    std::erase_if(posted_, [&](const PostedMessage& message) { return message.target == &member; });
    if (focus_ == &member) focus_ = nullptr;
  });
}

bool EventLoop::DispatchPending() {
  bool dispatched = false;
  for (std::size_t pending = posted_.size(); pending > 0 && !posted_.empty(); --pending) {
    const PostedMessage message = posted_.front();
    posted_.pop_front();
    SendToWindow(*message.target, message.message, message.wParam, message.lParam);
    dispatched = true;
  }
  while (const std::optional<DueTimer> due = timers_.TakeDue(clock_.Now())) {
    SendToWindow(*due->window, WM_TIMER, due->id, 0);
    dispatched = true;
  }
  return dispatched;
}

void EventLoop::Pump() {
  ++pumpDepth_;
  const ScopeExit leave([&] { --pumpDepth_; });
  const Milliseconds before = clock_.Now();
  bool happened = DispatchPending();
  CDialog* top = TopDialog();
  if (agent_ != nullptr && top != nullptr) happened = agent_->ActWhenBusy(*this) || happened;
  happened = happened || clock_.Now() != before;
  idlePumps_ = happened ? 0 : idlePumps_ + 1;
  if (idlePumps_ < idlePumpLimit_) return;
  idlePumps_ = 0;
  throw NoMoreActions("the message pump ran " + std::to_string(idlePumpLimit_) +
                      " times with nothing to do while the dialog " +
                      (top != nullptr ? CaptionOf(*top) : std::string("(none)")) +
                      " was open: the user agent has no action for it");
}

void EventLoop::AdvanceTo(Milliseconds time) {
  DispatchPending();
  for (std::optional<Milliseconds> due = timers_.NextDue(); due && *due <= time; due = timers_.NextDue()) {
    clock_.AdvanceTo(*due);
    DispatchPending();
  }
  clock_.AdvanceTo(time);
}

void EventLoop::ChangeFocus(Window* window) {
  if (window == focus_) return;
  Window* previous = focus_;
  focus_ = window;
  if (previous != nullptr && previous->kind == ControlKind::Edit) NotifyParent(*previous, EN_KILLFOCUS);
  if (window != nullptr && window->kind == ControlKind::Edit) NotifyParent(*window, EN_SETFOCUS);
}

void EventLoop::SetKeyDown(int virtualKey, bool down) {
  if (virtualKey >= 0 && static_cast<std::size_t>(virtualKey) < keysDown_.size()) {
    keysDown_.set(static_cast<std::size_t>(virtualKey), down);
  }
}

bool EventLoop::IsKeyDown(int virtualKey) const {
  return virtualKey >= 0 && static_cast<std::size_t>(virtualKey) < keysDown_.size() &&
         keysDown_.test(static_cast<std::size_t>(virtualKey));
}

EventLoop& CurrentEventLoop() {
  static EventLoop processLoop(DefaultMessageBoxes());
  return g_currentLoop != nullptr ? *g_currentLoop : processLoop;
}

void SetCurrentEventLoop(EventLoop* loop) { g_currentLoop = loop; }

void DispatchPendingMessages() { CurrentEventLoop().Pump(); }

}  // namespace ui
