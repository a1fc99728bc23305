// One session of the graphical front end, on the dialogs' thread: it numbers the dialogs as they
// open, publishes what the application shows whenever it settles (the open dialogs, a pending
// message box, the cursor, the host's window, a commissioning road's progress), answers each
// action with its outcome once that state is out, and turns the page's messages into actions for
// the real-time agent (those a running road leaves no room for are answered at once).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "commissioning.h"
#include "gui_actions.h"
#include "gui_state.h"
#include "ui/event_loop.h"
#include "ui/real_time_agent.h"

namespace kestrel::gui {

class GuiSession final : public ui::RealTimeListener, public ui::DialogObserver {
 public:
  using Sender = std::function<void(std::string message)>;

  // `host` may be null: a session of dialogs alone; `commissioning` null: a session that cannot
  // commission. The session shows the help pages the dialogs ask for while it lives, and a
  // road's progress while it runs.
  GuiSession(ui::ActionQueue& actions, HostWindow* host, Commissioning* commissioning = nullptr);
  ~GuiSession() override;
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

  // Where messages to the page go (the server); until set they are dropped.
  void SetSender(Sender sender) { sender_ = std::move(sender); }
  bool QuitRequested() const { return quit_; }

  // Any thread: the whole present state, for a page that (re)connects.
  std::string Greeting() const { return channel_.FullState(); }
  // Any thread: a message of the page; an action is queued, a faulty message answered at once.
  void Receive(const std::string& message);

  void Show(ui::EventLoop& loop, const ui::MessageBoxRecord* box) override;
  void Done(const ui::UserAction& action, const std::string& error) override;
  void PopupShown(const ui::PopupMenu* popup) override;
  void DialogOpened(CDialog& dialog) override;
  void DialogClosed(CDialog& dialog, int endCode) override;

 private:
  void Reply(std::uint64_t sequence, const std::string& error) const;
  // The state that the page is shown: what `Show` sees, or the road's progress (no dialog) while
  // it runs.
  void Publish(nlohmann::json dialogs, const ui::MessageBoxRecord* box, ui::Cursor cursor,
               const std::vector<PlotSeries>& plots);
  void ShowCommissioning(ui::EventLoop& loop);

  ui::ActionQueue& actions_;
  HostWindow* host_;
  Commissioning* commissioning_;
  ActionTargets targets_;
  Sender sender_;
  StateChannel channel_;
  std::map<const CDialog*, int> serials_;  // dialogs' thread only
  int lastSerial_ = 0;
  static constexpr ui::Milliseconds kCheckpointPeriod{1000};

  nlohmann::json hostState_;
  nlohmann::json popup_;  // the popup menu shown, null when none; dialogs' thread only
  int rightClicked_ = 0;  // the control whose context menu is being handled; dialogs' thread only
  nlohmann::json help_;  // the help page shown, null when none; dialogs' thread only
  ui::Milliseconds lastCheckpoint_{0};
  std::vector<std::pair<std::uint64_t, std::string>> replies_;  // outcomes not sent yet
  bool quit_ = false;
};

}  // namespace kestrel::gui
