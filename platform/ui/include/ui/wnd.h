// CWnd: the program's object for a window. It operates on the window's state and receives the
// window's messages through its message map. Objects are attached to windows when a dialog opens
// (its controls' own objects, members bound by DDX_Control, objects attached by SubclassDlgItem)
// and are detached when the dialog closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/control_kind.h"
#include "ui/message_box.h"
#include "ui/win_types.h"

class CDC;
class CWnd;

namespace ui {
class MessageMap;
void Link(Window& window, CWnd& object);
void Unlink(CWnd& object);
}  // namespace ui

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The window; null while none is attached.
  HWND GetSafeHwnd() const { return window_; }
  int GetDlgCtrlID() const;
  CWnd* GetParent() const;

  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  // Returns whether the window was disabled before.
  bool EnableWindow(bool enable = true);
  bool IsWindowEnabled() const;
  // SW_SHOW or SW_HIDE; returns whether the window was visible before. A change sends
  // WM_SHOWWINDOW to the window.
  bool ShowWindow(int command);
  bool IsWindowVisible() const;
  void Invalidate(bool erase = true);
  void UpdateWindow();
  void RedrawWindow();
  void CenterWindow();
  // Moves the keyboard focus here; returns the object that had it.
  CWnd* SetFocus();
  static CWnd* GetFocus();

  // The object of the child control with that id; null when there is none.
  CWnd* GetDlgItem(int id) const;
  // Shortcuts to child controls; a missing control throws ui::DialogError.
  void SetDlgItemText(int id, const std::string& text);
  std::string GetDlgItemText(int id) const;
  void CheckDlgButton(int id, int check);
  int IsDlgButtonChecked(int id) const;
  // Checks `checkId` and clears the other radios from firstId to lastId.
  void CheckRadioButton(int firstId, int lastId, int checkId);
  // The checked radio from firstId to lastId; 0 for none.
  int GetCheckedRadioButton(int firstId, int lastId) const;

  // Makes this object the one of the parent's control `id` (a graph on its placeholder).
  // False when the parent has no such control; ui::DialogError when this object cannot take it.
  bool SubclassDlgItem(int id, CWnd* parent);

  // Key messages pass here, from the focused window up to its dialog, before they are
  // dispatched; true means handled.
  virtual bool PreTranslateMessage(MSG* message);

  // Starts (or restarts) a window timer; returns the id, 0 on failure (no window, id 0).
  std::uintptr_t SetTimer(std::uintptr_t id, unsigned elapseMs, std::nullptr_t callback = nullptr);
  bool KillTimer(std::uintptr_t id);

  // Dispatches at once (commands and notifications through OnCommand and OnNotify) to the message
  // map; 0 when no entry handles the message.
  LRESULT SendMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Queues the message for the message loop; false when there is no window.
  bool PostMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);

  // A message box of this window; an empty caption means the application's.
  int MessageBox(const std::string& text, const std::string& caption = "", unsigned type = MB_OK);

  void BeginWaitCursor();
  void EndWaitCursor();

  virtual const ui::MessageMap* GetMessageMap() const;

 protected:
  // WM_COMMAND and WM_NOTIFY pass here on their way to the message map. A class that serves a
  // whole set of controls (parameters bound to edits, say) overrides them and calls the base
  // for the map. They return whether something handled the message.
  virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
  virtual bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);

  // Default processing of messages that a handler passes on: nothing to do headless.
  void OnTimer(std::uintptr_t id);
  void OnShowWindow(bool shown, unsigned status);
  void OnContextMenu(CWnd* window, CPoint point);
  void OnCtlColor(CDC& dc, CWnd& control);

  // Whether an object of this class can stand for a window of that kind.
  virtual bool CanAttachTo(ui::ControlKind kind) const;

  // The window, or ui::DialogError when none is attached.
  ui::Window& Attached() const;
  ui::Window& Child(int id) const;

 private:
  friend void ui::Link(ui::Window& window, CWnd& object);
  friend void ui::Unlink(CWnd& object);

  ui::Window* window_ = nullptr;
};
