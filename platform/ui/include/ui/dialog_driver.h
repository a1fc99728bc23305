// What a user does to a dialog, and what they see of it. Each action checks that a user could
// do it (the control exists, is of the right kind, visible and enabled), changes the control as
// the user would and sends the dialog the messages that the control sends; an action a user
// could not do throws ActionError naming the dialog and the control.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "ui/dc.h"
#include "ui/keyboard.h"
#include "ui/window.h"

class CDialog;

namespace ui {

class ActionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DialogDriver {
 public:
  explicit DialogDriver(CDialog& dialog) : dialog_(dialog) {}

  CDialog& Dialog() const { return dialog_; }
  std::string Caption() const;

  // The state of the control `id`; ActionError when the dialog has none.
  Window& Control(int id) const;
  std::string Text(int id) const { return Control(id).text; }
  bool IsEnabled(int id) const { return Control(id).enabled; }
  bool IsVisible(int id) const { return Control(id).visible; }
  int CheckState(int id) const { return Control(id).check; }
  ControlColours Colours(int id) const { return AskControlColours(Control(id)); }

  // A push button, check box (toggles) or radio button (checks it, clears its group): BN_CLICKED.
  void Click(int id);
  // Focuses the edit (EN_SETFOCUS), replaces its text as typed, within its length limit
  // (EN_CHANGE), and commits it by moving the focus away (EN_KILLFOCUS).
  void Type(int id, std::string_view text);
  // Chooses a combo entry by its text or its index: CBN_SELCHANGE.
  void Select(int id, std::string_view text);
  void Select(int id, int index);
  // Clicks a check box into the state, or a radio button on; nothing when it is there already.
  void SetCheck(int id, bool checked);
  // Clicks a tab: TCN_SELCHANGING (which may refuse), then TCN_SELCHANGE.
  void SelectTab(int id, int index);
  void SelectTab(int id, std::string_view label);
  // Drags a slider to the position (kept within its range): WM_HSCROLL.
  void Slide(int id, int position);
  // Presses a spin button's arrow `delta` steps: UDN_DELTAPOS (which may refuse), WM_VSCROLL.
  void Spin(int id, int delta);
  // Holds the modifiers, presses and releases the key, releases the modifiers; each key message
  // passes PreTranslateMessage from the focused window up to the dialog before it is dispatched.
  void PressKeys(const KeyChord& chord);
  void PressKeys(std::string_view chord) { PressKeys(ParseKeyChord(chord)); }
  // Right-clicks the control: WM_CONTEXTMENU to the control's object, else to the dialog.
  void ContextMenu(int id);
  // Chooses a menu command: WM_COMMAND with the command's id.
  void MenuCommand(int id);
  // Closes the dialog with IDOK or IDCANCEL, as Enter, Escape or the close box do.
  void Close(int endCode);

 private:
  Window& Usable(int id, std::initializer_list<ControlKind> kinds, std::string_view action) const;
  void DeliverKey(unsigned message, int key) const;

  CDialog& dialog_;
};

}  // namespace ui
