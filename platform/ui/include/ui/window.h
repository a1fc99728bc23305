// The state of a window, a dialog or one of its controls: everything a front end draws and a test
// observes. A window exists while its dialog is open; the program reaches it through a CWnd
// object (its own, of its kind, or one the program attached to it).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/control_kind.h"
#include "ui/dialog_template.h"
#include "ui/win_types.h"

class CWnd;

namespace ui {

struct ListItem {
  std::string text;
  std::uintptr_t data = 0;
};

// Where a control sits in its dialog's template; a group's frame has no row.
struct LayoutPlace {
  int group = -1;
  int row = -1;
  int column = -1;
};

// A misuse of a dialog or a control by the program (a missing control, an object attached
// twice ...); the message names the dialog and the control.
class DialogError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

struct Window {
  Window(ControlKind windowKind, int windowId);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  Window* FindChild(int childId) const;
  // "edit 1004", "button 1050 "Open child"", "dialog "Drive Setup"".
  std::string Describe() const;

  ControlKind kind;
  int id;
  Window* parent = nullptr;

  std::string text;  // caption, label, edit text, the selected entry of a combo
  bool enabled = true;
  bool visible = true;
  bool centred = false;

  LayoutPlace place;
  int radioGroup = -1;  // radios of one group share the number
  int unitCombo = 0;    // the unit combo paired with an edit

  int check = BST_UNCHECKED;
  std::string bitmap;  // resource name shown by a picture or a bitmap button
  int textLimit = 0;   // characters a user may type into an edit (0: no limit)
  bool multiline = false;  // an edit of several lines

  std::vector<ListItem> items;  // combo entries, tab labels
  int selection = -1;

  int rangeMin = 0;  // sliders, spin buttons, progress bars
  int rangeMax = 100;
  int position = 0;

  unsigned invalidations = 0;  // Invalidate calls
  unsigned redraws = 0;        // RedrawWindow calls, and UpdateWindow calls after an Invalidate
  bool invalid = false;

  std::vector<std::unique_ptr<Window>> children;  // a dialog's controls, in template order
  CWnd* object = nullptr;                         // receives its messages
  std::unique_ptr<CWnd> ownObject;                // the object of its kind, made with it
};

// Makes the windows of a dialog and its controls from a template; the dialog window starts
// hidden and has no object yet.
std::unique_ptr<Window> BuildDialogWindows(const DialogTemplate& source);

// Ties a window and the object that handles its messages; Unlink gives a control back its own
// object.
void Link(Window& window, CWnd& object);
void Unlink(CWnd& object);

// The radio buttons of the radio's group, in template order.
std::vector<Window*> RadioGroupOf(const Window& radio);
// Checks the radio and clears the others of its group.
void SelectRadio(Window& radio);
// Selects an entry of a combo or a tab control (-1 or an index out of range: none); a combo
// shows the entry's text.
void SelectItem(Window& list, int index);
// The position nearest to `position` within the window's range (its ends in either order).
int ClampToRange(const Window& window, int position);

// Sends a message to the object of the window (nothing when it has none).
LRESULT SendToWindow(Window& window, unsigned message, WPARAM wParam, LPARAM lParam);
// Sends WM_COMMAND with the control's id and the code to the control's dialog.
void NotifyParent(Window& control, unsigned code);

}  // namespace ui
