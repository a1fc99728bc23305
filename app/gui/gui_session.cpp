#include "gui_session.h"

#include "host_window.h"
#include "ui/dialog.h"

namespace kestrel::gui {

using nlohmann::json;

GuiSession::GuiSession(ui::ActionQueue& actions, HostWindow* host, Commissioning* commissioning)
    : actions_(actions), host_(host), commissioning_(commissioning) {
  // The serials are read on the dialogs' thread only: actions run there.
  targets_.host = host;
  targets_.commissioning = commissioning;
  if (commissioning_ != nullptr) commissioning_->SetShow([this](ui::EventLoop& loop) { ShowCommissioning(loop); });
  targets_.serialOf = [this](const CDialog& dialog) {
    const auto found = serials_.find(&dialog);
    return found == serials_.end() ? 0 : found->second;
  };
  targets_.quit = [this] { quit_ = true; };
  targets_.rightClicked = [this](int control) { rightClicked_ = control; };
  targets_.closeHelp = [this] { help_ = nullptr; };
  targets_.deliver = [this](const json& message) {
    if (sender_) sender_(message.dump());
  };
  drivebase::SetHelpViewer([this](const drivebase::HelpRequest& request) { help_ = HelpPageState(request); });
  // A page that connects before the dialogs' thread has settled sees an empty window.
  channel_.Publish({{"host", host_ != nullptr ? host_->State() : json()},
                    {"dialogs", json::array()},
                    {"box", json()},
                    {"popup", json()},
                    {"help", json()},
                    {"cursor", "arrow"},
                    {"commission", json()}});
}

GuiSession::~GuiSession() {
  drivebase::SetHelpViewer(nullptr);
  if (commissioning_ != nullptr) commissioning_->SetShow(nullptr);
}

void GuiSession::Receive(const std::string& text) {
  std::uint64_t sequence = 0;
  try {
    const json message = json::parse(text);
    if (message.is_object() && message.contains("seq") && message["seq"].is_number_unsigned()) {
      sequence = message["seq"].get<std::uint64_t>();
    }
    if (commissioning_ != nullptr) {
      if (const std::optional<std::string> answer = commissioning_->AnswerAtOnce(message)) {
        Reply(sequence, *answer);
        return;
      }
    }
    ui::UserAction action = ParseAction(message, targets_);
    if (commissioning_ != nullptr && message["op"] == "commission" && !commissioning_->Queue(action.sequence)) {
      Reply(sequence, kCommissioningRuns);
      return;
    }
    actions_.Post(std::move(action));
  } catch (const std::exception& error) {
    Reply(sequence, error.what());
  }
}

void GuiSession::Show(ui::EventLoop& loop, const ui::MessageBoxRecord* box) {
  const std::vector<CDialog*> dialogs = loop.OpenDialogs();
  // The host's window is behind the dialogs: it changes only by its own commands, or when they
  // close. The setup goes to the recovery file then, and every second while dialogs edit it.
  const ui::Milliseconds now = loop.Clock().Now();
  if (host_ != nullptr && box == nullptr && (dialogs.empty() || now - lastCheckpoint_ >= kCheckpointPeriod)) {
    if (dialogs.empty()) {
      hostState_ = host_->CheckpointedState();
    } else {
      host_->Checkpoint();
    }
    lastCheckpoint_ = now;
  }
  json shown = json::array();
  for (const CDialog* dialog : dialogs) shown.push_back(DialogState(*dialog, targets_.serialOf(*dialog)));
  Publish(std::move(shown), box, loop.CurrentCursor(), PlotSeriesOf(dialogs, targets_.serialOf));
  for (const auto& [sequence, error] : replies_) Reply(sequence, error);
  replies_.clear();
}

// The road drives its own dialogs: the page sees its progress over the main window, which shows
// the setup as the steps change it (and keeps it in the recovery file) every second.
void GuiSession::ShowCommissioning(ui::EventLoop& loop) {
  const ui::Milliseconds now = loop.Clock().Now();
  if (host_ != nullptr && now - lastCheckpoint_ >= kCheckpointPeriod) {
    hostState_ = host_->CheckpointedState();
    lastCheckpoint_ = now;
  }
  Publish(json::array(), nullptr, ui::Cursor::Arrow, {});
}

void GuiSession::Publish(json dialogs, const ui::MessageBoxRecord* box, ui::Cursor cursor,
                         const std::vector<PlotSeries>& plots) {
  json state = {{"host", hostState_},
                {"dialogs", std::move(dialogs)},
                {"box", box != nullptr ? MessageBoxState(*box) : json()},
                {"popup", popup_},
                {"help", help_},
                {"cursor", cursor == ui::Cursor::Wait ? "wait" : "arrow"},
                {"commission", commissioning_ != nullptr ? commissioning_->View() : json()}};
  if (std::optional<std::string> patch = channel_.Publish(std::move(state), plots); patch && sender_) {
    sender_(*patch);
  }
}

// The outcome goes out after the state that the action brought about.
void GuiSession::Done(const ui::UserAction& action, const std::string& error) {
  if (commissioning_ != nullptr) commissioning_->Done(action.sequence);
  replies_.emplace_back(action.sequence, error);
}

// The popup belongs to the dialog of the window that owns it.
void GuiSession::PopupShown(const ui::PopupMenu* popup) {
  if (popup == nullptr) {
    popup_ = nullptr;
    return;
  }
  const CWnd* owner = popup->owner;
  while (owner != nullptr && dynamic_cast<const CDialog*>(owner) == nullptr) owner = owner->GetParent();
  const auto* dialog = dynamic_cast<const CDialog*>(owner);
  popup_ = PopupState(*popup, dialog != nullptr ? targets_.serialOf(*dialog) : 0, rightClicked_);
}

void GuiSession::Reply(std::uint64_t sequence, const std::string& error) const {
  if (sender_) sender_(json{{"type", "reply"}, {"seq", sequence}, {"error", error}}.dump());
}

void GuiSession::DialogOpened(CDialog& dialog) { serials_[&dialog] = ++lastSerial_; }

void GuiSession::DialogClosed(CDialog& dialog, int) { serials_.erase(&dialog); }

}  // namespace kestrel::gui
