#include "ui/message_map.h"

namespace ui {

const MessageMapEntry* MessageMap::Find(unsigned message, WPARAM wParam, LPARAM lParam) const {
  int code = 0;
  int id = 0;
  if (message == WM_COMMAND) {
    code = static_cast<int>(HIWORD(wParam));
    id = static_cast<int>(LOWORD(wParam));
  } else if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    code = header->code;
    id = static_cast<int>(header->idFrom);
  }
  const bool byControl = message == WM_COMMAND || message == WM_NOTIFY;
  for (const MessageMap* map = this; map != nullptr; map = map->base_) {
    for (const MessageMapEntry& entry : map->entries_) {
      if (entry.message != message) continue;
      if (!byControl || (entry.code == code && id >= entry.firstId && id <= entry.lastId)) return &entry;
    }
  }
  return nullptr;
}

std::optional<LRESULT> TryDispatch(CWnd& target, unsigned message, WPARAM wParam, LPARAM lParam) {
  const MessageMap* map = target.GetMessageMap();
  const MessageMapEntry* entry = map != nullptr ? map->Find(message, wParam, lParam) : nullptr;
  if (entry == nullptr) return std::nullopt;
  return entry->handler(target, wParam, lParam);
}

}  // namespace ui
