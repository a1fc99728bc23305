// The plain types of the dialog framework's messages: window handles, message parameters,
// colours, points and the notification headers, with the helpers that pack and unpack them.
#pragma once

#include <cstdint>

namespace ui {
struct Window;
}

// A window handle: the state of a dialog or a control (ui::Window).
using HWND = ui::Window*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<COLORREF>(red) | static_cast<COLORREF>(green) << 8 |
         static_cast<COLORREF>(blue) << 16;
}

constexpr unsigned LOWORD(std::uintptr_t value) { return static_cast<unsigned>(value & 0xFFFF); }
constexpr unsigned HIWORD(std::uintptr_t value) {
  return static_cast<unsigned>((value >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(unsigned low, unsigned high) {
  return static_cast<WPARAM>(low & 0xFFFF) | static_cast<WPARAM>(high & 0xFFFF) << 16;
}
constexpr LPARAM MAKELPARAM(unsigned low, unsigned high) {
  return static_cast<LPARAM>(MAKEWPARAM(low, high));
}

struct CPoint {
  int x = 0;
  int y = 0;
};

// A message as the modal loop hands it to PreTranslateMessage.
struct MSG {
  HWND hwnd = nullptr;
  unsigned message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// The header of a WM_NOTIFY message; lParam points to it (or to a structure that begins with it).
struct NMHDR {
  HWND hwndFrom = nullptr;
  std::uintptr_t idFrom = 0;
  int code = 0;
};

// UDN_DELTAPOS: a spin button is about to move from iPos by iDelta.
struct NMUPDOWN {
  NMHDR hdr;
  int iPos = 0;
  int iDelta = 0;
};

// The id of labels that no code addresses.
inline constexpr int IDC_STATIC = -1;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

// Check states of check boxes and radio buttons.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int BST_INDETERMINATE = 2;

// The failure result of combo-box operations.
inline constexpr int CB_ERR = -1;
