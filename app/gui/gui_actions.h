// The actions a page sends, as operations of the dialog framework's user agent: the script steps
// on a dialog (click, type, select, check, tab, slide, spin, keys, context, menu, close, answer),
// the download of a graph's plot, the closing of the help page
// and the commands of the host's main window (Commission among them). A message is JSON: {"seq": N, "op": "click",
// "dialog": SERIAL, "id": ID, ...}; docs/gui-protocol.md lists them all.
#pragma once

#include <functional>

#include <nlohmann/json.hpp>

#include "ui/real_time_agent.h"

class CDialog;

namespace kestrel::gui {

class Commissioning;
class HostWindow;

// What the actions act on: the host's window (null: host commands are refused), the
// commissioning road it runs (null: "commission" is refused), the session's
// number of an open dialog, the flag that a "quit" raises once the setup may be closed, the
// closing of the help page shown, the page itself (a plot it downloads goes straight to it), and
// the control being right-clicked (its id while its context menu is handled, then 0).
struct ActionTargets {
  HostWindow* host = nullptr;
  Commissioning* commissioning = nullptr;
  std::function<int(const CDialog& dialog)> serialOf;
  std::function<void()> quit;
  std::function<void()> closeHelp;
  std::function<void(const nlohmann::json& message)> deliver;
  std::function<void(int control)> rightClicked;
};

// The action of a message; std::invalid_argument naming what is missing or wrong. A dialog
// action fails when it runs unless its dialog is the top-most one: a page acts on what it shows.
ui::UserAction ParseAction(const nlohmann::json& message, const ActionTargets& targets);

}  // namespace kestrel::gui
