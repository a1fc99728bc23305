#include "ui/keyboard.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <stdexcept>

#include "text.h"
#include "ui/event_loop.h"

namespace ui {
namespace {

struct NamedKey {
  std::string_view name;
  int key;
};

constexpr std::array<NamedKey, 11> kNamedKeys{{{"ctrl", VK_CONTROL},
                                               {"alt", VK_MENU},
                                               {"shift", VK_SHIFT},
                                               {"enter", VK_RETURN},
                                               {"return", VK_RETURN},
                                               {"esc", VK_ESCAPE},
                                               {"escape", VK_ESCAPE},
                                               {"tab", VK_TAB},
                                               {"space", VK_SPACE},
                                               {"delete", VK_DELETE},
                                               {"del", VK_DELETE}}};

bool IsModifier(int key) { return key == VK_CONTROL || key == VK_MENU || key == VK_SHIFT; }

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return lower;
}

std::optional<int> KeyNamed(std::string_view name) {
  const std::string lower = Lower(name);
  for (const NamedKey& entry : kNamedKeys) {
    if (entry.name == lower) return entry.key;
  }
  if (lower.size() == 1 && std::isalnum(static_cast<unsigned char>(lower[0]))) {
    return std::toupper(static_cast<unsigned char>(lower[0]));
  }
  for (int number = 1; number <= 12; ++number) {
    if (lower == "f" + std::to_string(number)) return VK_F1 + number - 1;
  }
  return std::nullopt;
}

std::string KeyName(int key) {
  if (key >= VK_F1 && key < VK_F1 + 12) return "F" + std::to_string(key - VK_F1 + 1);
  switch (key) {
    case VK_CONTROL: return "Ctrl";
    case VK_MENU: return "Alt";
    case VK_SHIFT: return "Shift";
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Esc";
    case VK_TAB: return "Tab";
    case VK_SPACE: return "Space";
    case VK_DELETE: return "Delete";
    default: return std::string(1, static_cast<char>(key));
  }
}

}  // namespace

KeyChord ParseKeyChord(std::string_view text) {
  KeyChord chord;
  std::vector<int> keys;
  for (std::size_t start = 0;;) {
    const std::size_t plus = text.find('+', start);
    const std::string_view part = Trim(text.substr(start, plus == std::string_view::npos ? plus : plus - start));
    const std::optional<int> key = KeyNamed(part);
    if (!key) throw std::invalid_argument("unknown key " + Quote(part) + " in the key chord " + Quote(text));
    keys.push_back(*key);
    if (plus == std::string_view::npos) break;
    start = plus + 1;
  }
  chord.key = keys.back();
  keys.pop_back();
  for (const int modifier : keys) {
    if (!IsModifier(modifier)) {
      throw std::invalid_argument("in the key chord " + Quote(text) + ", only Ctrl, Alt and Shift may come before " +
                                  Quote(KeyName(chord.key)));
    }
  }
  chord.modifiers = std::move(keys);
  return chord;
}

std::string DescribeKeyChord(const KeyChord& chord) {
  std::string text;
  for (const int modifier : chord.modifiers) text += KeyName(modifier) + "+";
  return text + KeyName(chord.key);
}

}  // namespace ui

short GetKeyState(int virtualKey) {
  return ui::CurrentEventLoop().IsKeyDown(virtualKey) ? std::numeric_limits<short>::min() : short{0};
}

short GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }
