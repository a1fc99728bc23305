// Message numbers and the notification codes that controls send to their dialog.
#pragma once

// Messages.
inline constexpr unsigned WM_SHOWWINDOW = 0x0018;  // wParam: shown (1) or hidden (0)
inline constexpr unsigned WM_CTLCOLOR = 0x0019;    // wParam: CDC*, lParam: the control's CWnd*
inline constexpr unsigned WM_NOTIFY = 0x004E;      // lParam: NMHDR*
inline constexpr unsigned WM_CONTEXTMENU = 0x007B; // wParam: the CWnd* clicked, lParam: point
inline constexpr unsigned WM_KEYDOWN = 0x0100;     // wParam: virtual key
inline constexpr unsigned WM_KEYUP = 0x0101;
inline constexpr unsigned WM_SYSKEYDOWN = 0x0104;  // a key pressed while Alt alone is held
inline constexpr unsigned WM_SYSKEYUP = 0x0105;
inline constexpr unsigned WM_COMMAND = 0x0111;     // wParam: id and notification code
inline constexpr unsigned WM_TIMER = 0x0113;       // wParam: timer id
inline constexpr unsigned WM_HSCROLL = 0x0114;     // wParam: code and position, lParam: CWnd*
inline constexpr unsigned WM_VSCROLL = 0x0115;
inline constexpr unsigned WM_USER = 0x0400;        // the first number of user messages

// WM_COMMAND notification codes.
inline constexpr unsigned BN_CLICKED = 0;  // also the code of menu commands
inline constexpr unsigned CBN_SELCHANGE = 1;
inline constexpr unsigned EN_SETFOCUS = 0x0100;
inline constexpr unsigned EN_KILLFOCUS = 0x0200;
inline constexpr unsigned EN_CHANGE = 0x0300;

// WM_NOTIFY codes.
inline constexpr int TCN_SELCHANGE = -551;
inline constexpr int TCN_SELCHANGING = -552;  // a non-zero result keeps the current tab
inline constexpr int UDN_DELTAPOS = -722;     // a non-zero result keeps the position

// Scroll codes of sliders (WM_HSCROLL) and spin buttons (WM_VSCROLL).
inline constexpr unsigned TB_THUMBPOSITION = 4;
inline constexpr unsigned SB_THUMBPOSITION = 4;
