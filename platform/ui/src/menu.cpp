#include "ui/menu.h"

#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

#include "ui/event_loop.h"
#include "ui/user_agent.h"
#include "ui/window_messages.h"
#include "ui/wnd.h"

namespace ui {
namespace {

using Json = nlohmann::json;

constexpr unsigned kLargestCommandId = 0xFFFF;

// An item's optional true/false key; false when absent.
bool Flag(const Json& entry, const char* key, const std::string& where) {
  const auto found = entry.find(key);
  if (found == entry.end()) return false;
  if (!found->is_boolean()) throw MenuError(where + ": \"" + key + "\" must be true or false");
  return found->get<bool>();
}

// Reads the items of a popup (or the popups of a menu, noun "popup"); `place` names it in
// messages ("m.json, popup 1, item 3").
std::vector<MenuItem> ReadItems(const Json& items, const std::string& place, const char* noun = "item") {
  if (!items.is_array()) throw MenuError(place + ": \"items\" must be a list");
  std::vector<MenuItem> read;
  for (std::size_t k = 0; k < items.size(); ++k) {
    const Json& entry = items[k];
    const std::string where = place + ", " + noun + " " + std::to_string(k + 1);
    if (!entry.is_object()) throw MenuError(where + ": must be an object");
    MenuItem item;
    if (Flag(entry, "separator", where)) {
      if (entry.size() != 1) throw MenuError(where + ": a separator has no other keys");
      item.separator = true;
      read.push_back(std::move(item));
      continue;
    }
    if (!entry.contains("text") || !entry["text"].is_string()) throw MenuError(where + ": has no \"text\"");
    item.text = entry["text"].get<std::string>();
    const bool hasId = entry.contains("id");
    if (hasId == entry.contains("items")) throw MenuError(where + ": needs either \"id\" (a command) or \"items\" (a popup)");
    if (hasId) {
      const Json& id = entry["id"];
      if (!id.is_number_integer() || id < 1 || id > kLargestCommandId) {
        throw MenuError(where + ": \"id\" must be a whole number from 1 to 65535, not " + id.dump());
      }
      item.id = id.get<unsigned>();
    } else {
      item.popup = ReadItems(entry["items"], where);
    }
    for (const auto& [key, value] : entry.items()) {
      if (key != "text" && key != "id" && key != "items" && key != "disabled" && key != "checked") {
        throw MenuError(where + ": unknown key \"" + key + "\"");
      }
    }
    item.enabled = !Flag(entry, "disabled", where);
    item.checked = Flag(entry, "checked", where);
    read.push_back(std::move(item));
  }
  return read;
}

// The command item of that id in the items or their nested popups (Items: const or not).
template <class Items, class Item = std::remove_reference_t<decltype(std::declval<Items&>().front())>>
Item* FindCommand(Items& items, unsigned id) {
  Item* found = nullptr;
  for (Item& item : items) {
    found = !item.separator && item.popup.empty() && item.id == id ? &item : FindCommand(item.popup, id);
    if (found != nullptr) break;
  }
  return found;
}

}  // namespace

MenuResource ParseMenuResource(std::string_view json, const std::string& source) {
  Json root;
  try {
    root = Json::parse(json.begin(), json.end());
  } catch (const Json::parse_error& error) {
    throw MenuError(source + ": not valid JSON: " + error.what());
  }
  if (!root.is_object() || !root.contains("id") || !root["id"].is_number_integer() || root["id"] < 1) {
    throw MenuError(source + ": needs a whole-number \"id\" of 1 or more");
  }
  if (root["id"] > kLargestCommandId) {
    throw MenuError(source + ": \"id\" must be a whole number from 1 to 65535, not " + root["id"].dump());
  }
  if (!root.contains("popups") || !root["popups"].is_array() || root["popups"].empty()) {
    throw MenuError(source + ": needs a non-empty list \"popups\"");
  }
  MenuResource menu{root["id"].get<unsigned>(), {}, source};
  for (MenuItem& popup : ReadItems(root["popups"], source, "popup")) {
    if (popup.separator || popup.popup.empty()) throw MenuError(source + ": popup \"" + popup.text + "\" has no items");
    menu.popups.push_back(std::move(popup));
  }
  return menu;
}

void MenuLibrary::Add(MenuResource menu) {
  const unsigned id = menu.id;
  menus_.insert_or_assign(id, std::move(menu));
}

const MenuResource* MenuLibrary::Find(unsigned id) const {
  const auto found = menus_.find(id);
  return found == menus_.end() ? nullptr : &found->second;
}

MenuLibrary& MenuResources() {
  static MenuLibrary library;
  return library;
}

const MenuItem* FindEnabledCommand(const std::vector<MenuItem>& items, unsigned id) {
  const MenuItem* found = FindCommand(items, id);
  return found != nullptr && found->enabled ? found : nullptr;
}

}  // namespace ui

bool CMenu::LoadMenu(unsigned resourceId) {
  const ui::MenuResource* menu = ui::MenuResources().Find(resourceId);
  DestroyMenu();
  if (menu == nullptr) return false;
  items_ = menu->popups;
  return true;
}

bool CMenu::DestroyMenu() {
  items_.clear();
  subMenus_.clear();
  return true;
}

CMenu* CMenu::GetSubMenu(int position) {
  if (position < 0 || position >= GetMenuItemCount() || items_[static_cast<std::size_t>(position)].popup.empty()) {
    return nullptr;
  }
  subMenus_.resize(items_.size());
  CMenu& sub = subMenus_[static_cast<std::size_t>(position)];
  sub.items_ = items_[static_cast<std::size_t>(position)].popup;
  return &sub;
}

unsigned CMenu::GetMenuItemID(int position) const {
  if (position < 0 || position >= GetMenuItemCount()) return kNoSuchMenuItem;
  const ui::MenuItem& item = items_[static_cast<std::size_t>(position)];
  return item.popup.empty() ? item.id : kNoSuchMenuItem;
}

unsigned CMenu::EnableMenuItem(unsigned id, unsigned flags) {
  ui::MenuItem* item = ui::FindCommand(items_, id);
  if (item == nullptr) return kNoSuchMenuItem;
  const unsigned previous = item->enabled ? MF_ENABLED : MF_GRAYED;
  item->enabled = (flags & (MF_GRAYED | MF_DISABLED)) == 0;
  return previous;
}

unsigned CMenu::CheckMenuItem(unsigned id, unsigned flags) {
  ui::MenuItem* item = ui::FindCommand(items_, id);
  if (item == nullptr) return kNoSuchMenuItem;
  const unsigned previous = item->checked ? MF_CHECKED : MF_UNCHECKED;
  item->checked = (flags & MF_CHECKED) != 0;
  return previous;
}

bool CMenu::TrackPopupMenu(unsigned, int, int, CWnd* owner) {
  if (owner == nullptr || items_.empty()) return false;
  ui::EventLoop& loop = ui::CurrentEventLoop();
  ui::UserAgent* agent = loop.Agent();
  if (agent == nullptr) return false;
  const std::optional<unsigned> chosen = agent->ChooseFromPopupMenu(loop, ui::PopupMenu{items_, owner});
  if (!chosen) return false;
  if (ui::FindEnabledCommand(items_, *chosen) == nullptr) {
    throw ui::MenuError("menu command " + std::to_string(*chosen) + " is not an enabled item of the menu shown");
  }
  return owner->PostMessage(WM_COMMAND, MAKEWPARAM(*chosen, BN_CLICKED), 0);
}
