#include "ui/wnd.h"

#include <algorithm>

#include "ui/event_loop.h"
#include "ui/message_map.h"
#include "ui/window.h"

CWnd::~CWnd() { ui::Unlink(*this); }

ui::Window& CWnd::Attached() const {
  if (window_ == nullptr) {
    throw ui::DialogError("a window object is used while no window is attached to it (is its dialog open?)");
  }
  return *window_;
}

ui::Window& CWnd::Child(int id) const {
  ui::Window& window = Attached();
  ui::Window* child = window.FindChild(id);
  if (child == nullptr) throw ui::DialogError(window.Describe() + " has no control " + std::to_string(id));
  return *child;
}

int CWnd::GetDlgCtrlID() const { return Attached().id; }

CWnd* CWnd::GetParent() const {
  const ui::Window& window = Attached();
  return window.parent != nullptr ? window.parent->object : nullptr;
}

void CWnd::SetWindowText(const std::string& text) { Attached().text = text; }

std::string CWnd::GetWindowText() const { return Attached().text; }

bool CWnd::EnableWindow(bool enable) {
  ui::Window& window = Attached();
  const bool wasDisabled = !window.enabled;
  window.enabled = enable;
  return wasDisabled;
}

bool CWnd::IsWindowEnabled() const { return Attached().enabled; }

bool CWnd::ShowWindow(int command) {
  ui::Window& window = Attached();
  const bool wasVisible = window.visible;
  window.visible = command != SW_HIDE;
  if (window.visible != wasVisible) ui::SendToWindow(window, WM_SHOWWINDOW, window.visible ? 1 : 0, 0);
  return wasVisible;
}

bool CWnd::IsWindowVisible() const { return Attached().visible; }

void CWnd::Invalidate(bool) {
  ui::Window& window = Attached();
  ++window.invalidations;
  window.invalid = true;
}

void CWnd::UpdateWindow() {
  ui::Window& window = Attached();
  if (window.invalid) RedrawWindow();
}

void CWnd::RedrawWindow() {
  ui::Window& window = Attached();
  ++window.redraws;
  window.invalid = false;
}

void CWnd::CenterWindow() { Attached().centred = true; }

CWnd* CWnd::SetFocus() {
  CWnd* previous = GetFocus();
  ui::CurrentEventLoop().ChangeFocus(&Attached());
  return previous;
}

CWnd* CWnd::GetFocus() {
  const ui::Window* focus = ui::CurrentEventLoop().Focus();
  return focus != nullptr ? focus->object : nullptr;
}

CWnd* CWnd::GetDlgItem(int id) const {
  const ui::Window* child = Attached().FindChild(id);
  return child != nullptr ? child->object : nullptr;
}

void CWnd::SetDlgItemText(int id, const std::string& text) { Child(id).text = text; }

std::string CWnd::GetDlgItemText(int id) const { return Child(id).text; }

void CWnd::CheckDlgButton(int id, int check) { Child(id).check = check; }

int CWnd::IsDlgButtonChecked(int id) const { return Child(id).check; }

void CWnd::CheckRadioButton(int firstId, int lastId, int checkId) {
  const ui::Window& window = Attached();
  for (int id = firstId; id <= lastId; ++id) {
    if (ui::Window* radio = window.FindChild(id)) radio->check = id == checkId ? BST_CHECKED : BST_UNCHECKED;
  }
}

int CWnd::GetCheckedRadioButton(int firstId, int lastId) const {
  const ui::Window& window = Attached();
  for (int id = firstId; id <= lastId; ++id) {
    const ui::Window* radio = window.FindChild(id);
    if (radio != nullptr && radio->check == BST_CHECKED) return id;
  }
  return 0;
}

bool CWnd::SubclassDlgItem(int id, CWnd* parent) {
  ui::Window* control = parent != nullptr ? parent->Attached().FindChild(id) : nullptr;
  if (control == nullptr) return false;
  const std::string where = control->Describe() + " of " + parent->Attached().Describe();
  if (window_ != nullptr) {
    throw ui::DialogError("cannot attach an object to " + where + ": it is attached to " + window_->Describe());
  }
  if (control->object != control->ownObject.get()) {
    throw ui::DialogError("cannot attach an object to " + where + ": another object is attached to it");
  }
  if (!CanAttachTo(control->kind)) {
    throw ui::DialogError("cannot attach an object to " + where + ": its class serves other kinds of control");
  }
  ui::Link(*control, *this);
  return true;
}

bool CWnd::PreTranslateMessage(MSG*) { return false; }

std::uintptr_t CWnd::SetTimer(std::uintptr_t id, unsigned elapseMs, std::nullptr_t) {
  if (id == 0 || window_ == nullptr) return 0;
  ui::CurrentEventLoop().SetTimer(*window_, id, ui::Milliseconds(std::max(1u, elapseMs)));
  return id;
}

bool CWnd::KillTimer(std::uintptr_t id) {
  return window_ != nullptr && ui::CurrentEventLoop().KillTimer(*window_, id);
}

LRESULT CWnd::SendMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    OnCommand(wParam, lParam);
    return 0;
  }
  if (message == WM_NOTIFY) {
    LRESULT result = 0;
    OnNotify(wParam, lParam, &result);
    return result;
  }
  return ui::TryDispatch(*this, message, wParam, lParam).value_or(0);
}

bool CWnd::PostMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
  if (window_ == nullptr) return false;
  ui::CurrentEventLoop().Post(*window_, message, wParam, lParam);
  return true;
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  return ui::ShowMessageBox(text, caption.empty() ? ui::kApplicationCaption : caption, type);
}

void CWnd::BeginWaitCursor() { ui::CurrentEventLoop().BeginWaitCursor(); }

void CWnd::EndWaitCursor() { ui::CurrentEventLoop().EndWaitCursor(); }

const ui::MessageMap* CWnd::GetMessageMap() const { return nullptr; }

bool CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  return ui::TryDispatch(*this, WM_COMMAND, wParam, lParam).has_value();
}

bool CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const std::optional<LRESULT> handled = ui::TryDispatch(*this, WM_NOTIFY, wParam, lParam);
  if (handled) *result = *handled;
  return handled.has_value();
}

void CWnd::OnTimer(std::uintptr_t) {}

void CWnd::OnShowWindow(bool, unsigned) {}

void CWnd::OnContextMenu(CWnd*, CPoint) {}

void CWnd::OnCtlColor(CDC&, CWnd&) {}

bool CWnd::CanAttachTo(ui::ControlKind) const { return true; }

namespace ui {

LRESULT SendToWindow(Window& window, unsigned message, WPARAM wParam, LPARAM lParam) {
  return window.object != nullptr ? window.object->SendMessage(message, wParam, lParam) : 0;
}

void NotifyParent(Window& control, unsigned code) {
  if (control.parent == nullptr) return;
  SendToWindow(*control.parent, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(control.id), code),
               reinterpret_cast<LPARAM>(control.object));
}

}  // namespace ui
