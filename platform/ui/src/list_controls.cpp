// Controls that hold a list of entries: combo boxes and tab controls.
#include <algorithm>
#include <cctype>

#include "ui/controls.h"
#include "ui/window.h"

namespace {

bool ValidIndex(const ui::Window& list, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < list.items.size();
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

int CComboBox::AddString(const std::string& text) { return InsertString(-1, text); }

int CComboBox::InsertString(int index, const std::string& text) {
  ui::Window& list = Attached();
  const int count = static_cast<int>(list.items.size());
  if (index > count) return CB_ERR;
  const int at = index < 0 ? count : index;
  list.items.insert(list.items.begin() + at, ui::ListItem{text, 0});
  if (list.selection >= at) ++list.selection;
  return at;
}

int CComboBox::DeleteString(int index) {
  ui::Window& list = Attached();
  if (!ValidIndex(list, index)) return CB_ERR;
  list.items.erase(list.items.begin() + index);
  if (list.selection == index) {
    ui::SelectItem(list, -1);
  } else if (list.selection > index) {
    --list.selection;
  }
  return static_cast<int>(list.items.size());
}

void CComboBox::ResetContent() {
  ui::Window& list = Attached();
  list.items.clear();
  ui::SelectItem(list, -1);
}

int CComboBox::GetCount() const { return static_cast<int>(Attached().items.size()); }

int CComboBox::GetCurSel() const { return Attached().selection; }

int CComboBox::SetCurSel(int index) {
  ui::Window& list = Attached();
  ui::SelectItem(list, index);
  return ValidIndex(list, index) ? index : CB_ERR;
}

std::uintptr_t CComboBox::GetItemData(int index) const {
  const ui::Window& list = Attached();
  return ValidIndex(list, index) ? list.items[static_cast<std::size_t>(index)].data : static_cast<std::uintptr_t>(CB_ERR);
}

int CComboBox::SetItemData(int index, std::uintptr_t data) {
  ui::Window& list = Attached();
  if (!ValidIndex(list, index)) return CB_ERR;
  list.items[static_cast<std::size_t>(index)].data = data;
  return 0;
}

std::string CComboBox::GetLBText(int index) const {
  const ui::Window& list = Attached();
  return ValidIndex(list, index) ? list.items[static_cast<std::size_t>(index)].text : std::string();
}

int CComboBox::FindStringExact(int startAfter, const std::string& text) const {
  const ui::Window& list = Attached();
  for (int index = std::max(startAfter + 1, 0); ValidIndex(list, index); ++index) {
    if (SameIgnoringCase(list.items[static_cast<std::size_t>(index)].text, text)) return index;
  }
  return CB_ERR;
}

bool CComboBox::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Combo; }

int CTabCtrl::InsertItem(int index, const std::string& label) {
  ui::Window& tabs = Attached();
  const int at = std::clamp(index, 0, static_cast<int>(tabs.items.size()));
  tabs.items.insert(tabs.items.begin() + at, ui::ListItem{label, 0});
  if (tabs.selection >= at) ++tabs.selection;
  return at;
}

bool CTabCtrl::DeleteAllItems() {
  ui::Window& tabs = Attached();
  tabs.items.clear();
  ui::SelectItem(tabs, -1);
  return true;
}

int CTabCtrl::GetItemCount() const { return static_cast<int>(Attached().items.size()); }

int CTabCtrl::GetCurSel() const { return Attached().selection; }

int CTabCtrl::SetCurSel(int index) {
  ui::Window& tabs = Attached();
  const int previous = tabs.selection;
  if (!ValidIndex(tabs, index)) return -1;
  ui::SelectItem(tabs, index);
  return previous;
}

bool CTabCtrl::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Tab; }
