// What the page draws, as JSON: the open dialogs with every control's state, the message box that
// waits for an answer, the cursor; and the channel that numbers these states and sends a page the
// difference from the state before (a JSON Patch), or the whole state when it (re)connects.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "drivebase/gui_resources.h"
#include "graph_state.h"
#include "ui/menu.h"
#include "ui/message_box.h"
#include "ui/window.h"

class CDialog;

namespace kestrel::gui {

// A control: its kind, id, place in the template's layout and everything a user sees of it; a
// graph control also its plot (GraphState), without the points.
nlohmann::json ControlState(const ui::Window& control);
// A dialog: its number in the session, caption, template and controls in template order.
nlohmann::json DialogState(const CDialog& dialog, int serial);
// A message box: text, caption, icon and its buttons with their answers.
nlohmann::json MessageBoxState(const ui::MessageBoxRecord& box);
// A popup menu shown: the dialog it belongs to, the control right-clicked to open it (0: none) and
// its items (text, id, enabled, checked; separators; nested popups with their items).
nlohmann::json PopupState(const ui::PopupMenu& popup, int dialogSerial, int control);
// A help page asked for: its context number, file name and markdown text. Throws
// std::runtime_error naming the page when it cannot be read.
nlohmann::json HelpPageState(const drivebase::HelpRequest& request);

// The states of a session, numbered from 1. Publishing is done by one thread (the dialogs'),
// reading the whole state by any.
class StateChannel {
 public:
  // Takes the new state and the points of its graphs. Returns the message that brings a page from
  // the state before to this one, {"type": "patch", "base": N-1, "version": N, "patch": [...]},
  // or none when nothing changed.
  std::optional<std::string> Publish(nlohmann::json state, const std::vector<PlotSeries>& plots = {});
  // {"type": "state", "version": N, "state": {...}}, the graphs with their points.
  std::string FullState() const;
  std::uint64_t Version() const;

 private:
  mutable std::mutex mutex_;
  nlohmann::json state_ = nlohmann::json::object();  // without the graphs' points
  PlotStreams plots_;
  std::uint64_t version_ = 0;
};

}  // namespace kestrel::gui
