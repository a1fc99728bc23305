// Menus: a menu resource is a list of popups, each a list of items (a command with its id and
// text, a separator, or a nested popup), one JSON file per menu (docs/dialog-templates.md,
// "Menus"). A dialog's context-menu handler loads a menu, takes one of its popups, enables or
// checks items and tracks it at the pointer.
//
// Tracking is modal, as a user sees it: the user agent in use either chooses one of the popup's
// enabled commands, which then goes to the owner window as WM_COMMAND (posted, so it runs after
// the handler that tracked the menu returns), or dismisses the popup. A script chooses with the
// step `menu ID` that follows the step that opened the popup.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class CWnd;

// EnableMenuItem and CheckMenuItem flags (items are always addressed by command id here).
inline constexpr unsigned MF_BYCOMMAND = 0x0;
inline constexpr unsigned MF_ENABLED = 0x0;
inline constexpr unsigned MF_GRAYED = 0x1;
inline constexpr unsigned MF_DISABLED = 0x2;
inline constexpr unsigned MF_UNCHECKED = 0x0;
inline constexpr unsigned MF_CHECKED = 0x8;
// TrackPopupMenu flags: alignment only, which a headless or web front end does not need.
inline constexpr unsigned TPM_LEFTALIGN = 0x0;
inline constexpr unsigned TPM_RIGHTBUTTON = 0x2;
// What EnableMenuItem and CheckMenuItem return for an id the menu does not have.
inline constexpr unsigned kNoSuchMenuItem = 0xFFFFFFFF;

namespace ui {

struct MenuItem {
  unsigned id = 0;  // 0 for a separator and for a nested popup
  std::string text;
  bool separator = false;
  bool enabled = true;
  bool checked = false;
  std::vector<MenuItem> popup;  // a nested popup's items
};

struct MenuResource {
  unsigned id = 0;
  std::vector<MenuItem> popups;  // each a popup with its text and items
  std::string source;
};

// A menu resource that cannot be used; the message names the source and the fault.
class MenuError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and validates a menu resource; `source` names it in messages. Throws MenuError.
MenuResource ParseMenuResource(std::string_view json, const std::string& source);

// The menus a program has registered (compiled into it, like its dialog templates).
class MenuLibrary {
 public:
  // Adds a menu, replacing one of the same id.
  void Add(MenuResource menu);
  // The menu of that id; null when none was added.
  const MenuResource* Find(unsigned id) const;

 private:
  std::map<unsigned, MenuResource> menus_;
};

MenuLibrary& MenuResources();

// The popup a user agent is asked to choose from.
struct PopupMenu {
  std::vector<MenuItem> items;
  CWnd* owner = nullptr;
};

// The enabled command of that id in the popup or its nested popups; null when there is none.
const MenuItem* FindEnabledCommand(const std::vector<MenuItem>& items, unsigned id);

}  // namespace ui

class CMenu {
 public:
  // Loads the menu resource; false (the menu left empty) when it cannot be found or read.
  bool LoadMenu(unsigned resourceId);
  bool DestroyMenu();
  // The popup at that position; null when there is none.
  CMenu* GetSubMenu(int position);
  int GetMenuItemCount() const { return static_cast<int>(items_.size()); }
  // The command id at that position: 0 for a separator, 0xFFFFFFFF for a popup or no item.
  unsigned GetMenuItemID(int position) const;
  // Return the item's previous state (MF_GRAYED or MF_ENABLED; MF_CHECKED or MF_UNCHECKED), or
  // kNoSuchMenuItem.
  unsigned EnableMenuItem(unsigned id, unsigned flags);
  unsigned CheckMenuItem(unsigned id, unsigned flags);
  // Shows the popup at the point and lets the user choose (see above). Returns whether a
  // command was chosen.
  bool TrackPopupMenu(unsigned flags, int x, int y, CWnd* owner);
  const std::vector<ui::MenuItem>& Items() const { return items_; }

 private:
  std::vector<ui::MenuItem> items_;
  std::vector<CMenu> subMenus_;  // one per item, filled by GetSubMenu
};
