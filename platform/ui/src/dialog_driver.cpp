#include "ui/dialog_driver.h"

#include <algorithm>

#include "text.h"
#include "ui/dialog.h"
#include "ui/event_loop.h"
#include "ui/message_map.h"
#include "ui/window_messages.h"

namespace ui {
namespace {

std::vector<std::string> ItemTexts(const Window& list) {
  std::vector<std::string> texts;
  for (const ListItem& item : list.items) texts.push_back(item.text);
  return texts;
}

int IndexOf(const Window& list, std::string_view text) {
  const auto found = std::find_if(list.items.begin(), list.items.end(),
                                  [&](const ListItem& item) { return item.text == text; });
  return found == list.items.end() ? -1 : static_cast<int>(found - list.items.begin());
}

// Releases the keys of a chord however the key press ends.
class HeldKeys {
 public:
  explicit HeldKeys(EventLoop& loop) : loop_(loop) {}
  ~HeldKeys() {
    for (const int key : held_) loop_.SetKeyDown(key, false);
  }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;
  void Press(int key) {
    loop_.SetKeyDown(key, true);
    held_.push_back(key);
  }
  void Release(int key) {
    loop_.SetKeyDown(key, false);
    std::erase(held_, key);
  }

 private:
  EventLoop& loop_;
  std::vector<int> held_;
};

}  // namespace

std::string DialogDriver::Caption() const { return dialog_.GetWindowText(); }

Window& DialogDriver::Control(int id) const {
  Window* control = dialog_.GetSafeHwnd() != nullptr ? dialog_.GetSafeHwnd()->FindChild(id) : nullptr;
  if (control == nullptr) throw ActionError("the dialog " + Quote(Caption()) + " has no control " + std::to_string(id));
  return *control;
}

Window& DialogDriver::Usable(int id, std::initializer_list<ControlKind> kinds, std::string_view action) const {
  Window& control = Control(id);
  const std::string what = "cannot " + std::string(action) + " " + control.Describe() + " of " + Quote(Caption());
  if (std::find(kinds.begin(), kinds.end(), control.kind) == kinds.end()) {
    throw ActionError(what + ": it is " + KindWithArticle(control.kind));
  }
  if (!control.visible) throw ActionError(what + ": it is hidden");
  if (!control.enabled) throw ActionError(what + ": it is disabled");
  return control;
}

void DialogDriver::Click(int id) {
  Window& control = Usable(id, {ControlKind::Button, ControlKind::Check, ControlKind::Radio}, "click");
  if (control.kind == ControlKind::Check) control.check = control.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  if (control.kind == ControlKind::Radio) SelectRadio(control);
  NotifyParent(control, BN_CLICKED);
}

void DialogDriver::Type(int id, std::string_view text) {
  Window& edit = Usable(id, {ControlKind::Edit}, "type into");
  EventLoop& loop = CurrentEventLoop();
  loop.ChangeFocus(&edit);
  edit.text = edit.textLimit > 0 ? FirstCharacters(text, static_cast<std::size_t>(edit.textLimit)) : std::string(text);
  NotifyParent(edit, EN_CHANGE);
  loop.ChangeFocus(dialog_.GetSafeHwnd());
}

void DialogDriver::Select(int id, std::string_view text) {
  const Window& combo = Usable(id, {ControlKind::Combo}, "choose an entry of");
  const int index = IndexOf(combo, text);
  if (index < 0) {
    throw ActionError(combo.Describe() + " of " + Quote(Caption()) + " has no entry " + Quote(text) +
                      "; its entries are " + QuoteAll(ItemTexts(combo)));
  }
  Select(id, index);
}

void DialogDriver::Select(int id, int index) {
  Window& combo = Usable(id, {ControlKind::Combo}, "choose an entry of");
  if (index < 0 || static_cast<std::size_t>(index) >= combo.items.size()) {
    throw ActionError(combo.Describe() + " of " + Quote(Caption()) + " has no entry " + std::to_string(index) +
                      "; it has " + std::to_string(combo.items.size()) + " entries");
  }
  SelectItem(combo, index);
  NotifyParent(combo, CBN_SELCHANGE);
}

void DialogDriver::SetCheck(int id, bool checked) {
  const Window& control = Usable(id, {ControlKind::Check, ControlKind::Radio}, "check");
  if (control.kind == ControlKind::Radio && !checked) {
    throw ActionError("cannot clear " + control.Describe() + " of " + Quote(Caption()) +
                      ": a radio button is cleared by checking another of its group");
  }
  if ((control.check == BST_CHECKED) != checked) Click(id);
}

void DialogDriver::SelectTab(int id, int index) {
  Window& tabs = Usable(id, {ControlKind::Tab}, "select a tab of");
  if (index < 0 || static_cast<std::size_t>(index) >= tabs.items.size()) {
    throw ActionError(tabs.Describe() + " of " + Quote(Caption()) + " has no tab " + std::to_string(index) +
                      "; it has " + std::to_string(tabs.items.size()) + " tabs");
  }
  if (tabs.selection == index) return;
  NMHDR header{&tabs, static_cast<std::uintptr_t>(tabs.id), TCN_SELCHANGING};
  if (SendToWindow(*tabs.parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) != 0) return;
  SelectItem(tabs, index);
  header.code = TCN_SELCHANGE;
  SendToWindow(*tabs.parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void DialogDriver::SelectTab(int id, std::string_view label) {
  const Window& tabs = Usable(id, {ControlKind::Tab}, "select a tab of");
  const int index = IndexOf(tabs, label);
  if (index < 0) {
    throw ActionError(tabs.Describe() + " of " + Quote(Caption()) + " has no tab " + Quote(label) +
                      "; its tabs are " + QuoteAll(ItemTexts(tabs)));
  }
  SelectTab(id, index);
}

void DialogDriver::Slide(int id, int position) {
  Window& slider = Usable(id, {ControlKind::Slider}, "slide");
  slider.position = ClampToRange(slider, position);
  SendToWindow(*slider.parent, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, static_cast<unsigned>(slider.position)),
               reinterpret_cast<LPARAM>(slider.object));
}

void DialogDriver::Spin(int id, int delta) {
  Window& spin = Usable(id, {ControlKind::Spin}, "spin");
  NMUPDOWN change{{&spin, static_cast<std::uintptr_t>(spin.id), UDN_DELTAPOS}, spin.position, delta};
  if (SendToWindow(*spin.parent, WM_NOTIFY, change.hdr.idFrom, reinterpret_cast<LPARAM>(&change)) != 0) return;
  spin.position = ClampToRange(spin, spin.position + delta);
  SendToWindow(*spin.parent, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<unsigned>(spin.position)),
               reinterpret_cast<LPARAM>(spin.object));
}

void DialogDriver::PressKeys(const KeyChord& chord) {
  HeldKeys keys(CurrentEventLoop());
  const bool altAlone = std::find(chord.modifiers.begin(), chord.modifiers.end(), VK_MENU) != chord.modifiers.end() &&
                        std::find(chord.modifiers.begin(), chord.modifiers.end(), VK_CONTROL) == chord.modifiers.end();
  for (const int modifier : chord.modifiers) {
    keys.Press(modifier);
    DeliverKey(modifier == VK_MENU ? WM_SYSKEYDOWN : WM_KEYDOWN, modifier);
  }
  keys.Press(chord.key);
  DeliverKey(altAlone ? WM_SYSKEYDOWN : WM_KEYDOWN, chord.key);
  keys.Release(chord.key);
  DeliverKey(altAlone ? WM_SYSKEYUP : WM_KEYUP, chord.key);
  for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend(); ++modifier) {
    keys.Release(*modifier);
    DeliverKey(*modifier == VK_MENU ? WM_SYSKEYUP : WM_KEYUP, *modifier);
  }
}

void DialogDriver::DeliverKey(unsigned message, int key) const {
  Window* dialogWindow = dialog_.GetSafeHwnd();
  Window* focus = CurrentEventLoop().Focus();
  Window* target = focus != nullptr && focus->parent == dialogWindow ? focus : dialogWindow;
  MSG msg{target, message, static_cast<WPARAM>(key), 0};
  for (Window* window = target; window != nullptr; window = window == dialogWindow ? nullptr : window->parent) {
    if (window->object != nullptr && window->object->PreTranslateMessage(&msg)) return;
  }
  SendToWindow(*target, message, msg.wParam, 0);
}

void DialogDriver::ContextMenu(int id) {
  Window& control = Control(id);
  if (!control.visible) {
    throw ActionError("cannot right-click " + control.Describe() + " of " + Quote(Caption()) + ": it is hidden");
  }
  const WPARAM clicked = reinterpret_cast<WPARAM>(control.object);
  if (control.object != nullptr && TryDispatch(*control.object, WM_CONTEXTMENU, clicked, 0)) return;
  dialog_.SendMessage(WM_CONTEXTMENU, clicked, 0);
}

void DialogDriver::MenuCommand(int id) {
  dialog_.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED), 0);
}

void DialogDriver::Close(int endCode) {
  if (endCode != IDOK && endCode != IDCANCEL) {
    throw ActionError("a dialog closes with OK or Cancel, not with " + std::to_string(endCode));
  }
  const Window* button = dialog_.GetSafeHwnd()->FindChild(endCode);
  if (button != nullptr && !button->enabled) {
    throw ActionError("cannot close " + Quote(Caption()) + " with " + std::string(AnswerName(endCode)) + ": " +
                      button->Describe() + " is disabled");
  }
  MenuCommand(endCode);
}

}  // namespace ui
