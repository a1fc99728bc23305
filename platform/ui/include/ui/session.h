// A session: a fresh event loop (time from 0 on a virtual clock of its own, or on the clock
// given, no timers, no open dialogs) and a fresh message-box presenter, in use until the session
// ends; then the previous ones are in use again.
#pragma once

#include "ui/event_loop.h"
#include "ui/message_box.h"
#include "ui/user_agent.h"

namespace ui {

class HeadlessSession {
 public:
  explicit HeadlessSession(ui::Clock* clock = nullptr);
  ~HeadlessSession();
  HeadlessSession(const HeadlessSession&) = delete;
  HeadlessSession& operator=(const HeadlessSession&) = delete;

  EventLoop& Loop() { return loop_; }
  ui::Clock& Clock() { return loop_.Clock(); }
  HeadlessMessageBoxes& MessageBoxes() { return boxes_; }
  // The agent (not owned) drives the session's dialogs and answers its message boxes.
  void Use(UserAgent& agent) { loop_.SetUserAgent(&agent); }

 private:
  HeadlessMessageBoxes boxes_;
  EventLoop loop_;
  EventLoop& previousLoop_;
  MessageBoxPresenter& previousPresenter_;
};

}  // namespace ui
