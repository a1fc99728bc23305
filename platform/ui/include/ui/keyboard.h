// The keyboard: virtual-key codes, the key-state queries and key chords as users write them
// ("Ctrl+Alt+Shift+E"). Letters and digits are their upper-case ASCII codes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;  // Alt
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_F1 = 0x70;  // VK_F1 + n - 1 is Fn, up to F12

// Negative (high bit set) while the key is held down.
short GetKeyState(int virtualKey);
short GetAsyncKeyState(int virtualKey);

namespace ui {

// Modifiers held (VK_CONTROL, VK_MENU, VK_SHIFT in the order written) while the key is pressed.
struct KeyChord {
  std::vector<int> modifiers;
  int key = 0;
};

// Reads "Ctrl+Alt+Shift+E", "Enter", "Esc", "F5", "Shift+Tab" ... (names in any case); throws
// std::invalid_argument naming the part it does not know.
KeyChord ParseKeyChord(std::string_view text);

// "Ctrl+Alt+E".
std::string DescribeKeyChord(const KeyChord& chord);

}  // namespace ui
