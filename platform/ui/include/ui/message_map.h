// Message maps: the table by which a window class answers messages. Entries match a message by
// its number and, for commands and notifications, by control id and notification code; a class's
// map continues in its base class's map. Classes build theirs once, in GetMessageMap:
//
//   const ui::MessageMap* CMyDlg::GetMessageMap() const {
//     static const ui::MessageMap map = ui::MessageMapBuilder<CMyDlg>(CDialog::GetMessageMap())
//         .Command(3171, &CMyDlg::OnDetect)
//         .Timer(&CMyDlg::OnTimer)
//         .Build();
//     return &map;
//   }
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "ui/dc.h"
#include "ui/win_types.h"
#include "ui/window_messages.h"
#include "ui/wnd.h"

namespace ui {

using MessageHandler = std::function<LRESULT(CWnd& target, WPARAM wParam, LPARAM lParam)>;

struct MessageMapEntry {
  unsigned message = 0;
  int code = 0;  // WM_COMMAND and WM_NOTIFY: the notification code and the range of control ids
  int firstId = 0;
  int lastId = 0;
  MessageHandler handler;
};

class MessageMap {
 public:
  MessageMap(const MessageMap* base, std::vector<MessageMapEntry> entries)
      : base_(base), entries_(std::move(entries)) {}

  // The first entry, here or in the base maps, that handles the message.
  const MessageMapEntry* Find(unsigned message, WPARAM wParam, LPARAM lParam) const;

 private:
  const MessageMap* base_;
  std::vector<MessageMapEntry> entries_;
};

// Dispatches a message through the target's message map; none when no entry handles it.
std::optional<LRESULT> TryDispatch(CWnd& target, unsigned message, WPARAM wParam, LPARAM lParam);

// Builds the message map of window class Dialog, whose handlers are its member functions.
template <class Dialog>
class MessageMapBuilder {
 public:
  explicit MessageMapBuilder(const MessageMap* base) : base_(base) {}

  // A button click or a menu command.
  MessageMapBuilder& Command(int id, void (Dialog::*handler)()) {
    return ControlNotification(id, BN_CLICKED, handler);
  }
  // Clicks or menu commands of the ids from first to last; the handler gets the id.
  MessageMapBuilder& CommandRange(int firstId, int lastId, void (Dialog::*handler)(unsigned id)) {
    return Add(WM_COMMAND, BN_CLICKED, firstId, lastId, [handler](CWnd& target, WPARAM wParam, LPARAM) {
      (Self(target).*handler)(LOWORD(wParam));
      return LRESULT{0};
    });
  }
  // A WM_COMMAND notification of a control: CBN_SELCHANGE, EN_CHANGE, EN_KILLFOCUS ...
  MessageMapBuilder& ControlNotification(int id, unsigned code, void (Dialog::*handler)()) {
    return Add(WM_COMMAND, static_cast<int>(code), id, id, [handler](CWnd& target, WPARAM, LPARAM) {
      (Self(target).*handler)();
      return LRESULT{0};
    });
  }
  // A WM_NOTIFY notification of a control (TCN_SELCHANGE, UDN_DELTAPOS ...); the handler may set
  // the result.
  MessageMapBuilder& Notify(int id, int code, void (Dialog::*handler)(NMHDR* header, LRESULT* result)) {
    return Add(WM_NOTIFY, code, id, id, [handler](CWnd& target, WPARAM, LPARAM lParam) {
      LRESULT result = 0;
      (Self(target).*handler)(reinterpret_cast<NMHDR*>(lParam), &result);
      return result;
    });
  }
  MessageMapBuilder& Timer(void (Dialog::*handler)(std::uintptr_t id)) {
    return Add(WM_TIMER, [handler](CWnd& target, WPARAM wParam, LPARAM) {
      (Self(target).*handler)(wParam);
      return LRESULT{0};
    });
  }
  MessageMapBuilder& ShowWindow(void (Dialog::*handler)(bool shown, unsigned status)) {
    return Add(WM_SHOWWINDOW, [handler](CWnd& target, WPARAM wParam, LPARAM lParam) {
      (Self(target).*handler)(wParam != 0, static_cast<unsigned>(lParam));
      return LRESULT{0};
    });
  }
  MessageMapBuilder& CtlColor(void (Dialog::*handler)(CDC& dc, CWnd& control)) {
    return Add(WM_CTLCOLOR, [handler](CWnd& target, WPARAM wParam, LPARAM lParam) {
      (Self(target).*handler)(*reinterpret_cast<CDC*>(wParam), *reinterpret_cast<CWnd*>(lParam));
      return LRESULT{0};
    });
  }
  MessageMapBuilder& ContextMenu(void (Dialog::*handler)(CWnd* window, CPoint point)) {
    return Add(WM_CONTEXTMENU, [handler](CWnd& target, WPARAM wParam, LPARAM lParam) {
      const CPoint point{static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                         static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
      (Self(target).*handler)(reinterpret_cast<CWnd*>(wParam), point);
      return LRESULT{0};
    });
  }
  // Slider moves (WM_HSCROLL) and spin-button moves (WM_VSCROLL).
  MessageMapBuilder& HScroll(void (Dialog::*handler)(unsigned code, unsigned position, CWnd* control)) {
    return Scroll(WM_HSCROLL, handler);
  }
  MessageMapBuilder& VScroll(void (Dialog::*handler)(unsigned code, unsigned position, CWnd* control)) {
    return Scroll(WM_VSCROLL, handler);
  }
  // Any message by number, such as a user message (WM_USER + n).
  MessageMapBuilder& Message(unsigned message, LRESULT (Dialog::*handler)(WPARAM wParam, LPARAM lParam)) {
    return Add(message, [handler](CWnd& target, WPARAM wParam, LPARAM lParam) {
      return (Self(target).*handler)(wParam, lParam);
    });
  }

  MessageMap Build() const { return MessageMap(base_, entries_); }

 private:
  static Dialog& Self(CWnd& target) { return static_cast<Dialog&>(target); }

  MessageMapBuilder& Add(unsigned message, MessageHandler handler) {
    return Add(message, 0, 0, 0, std::move(handler));
  }
  MessageMapBuilder& Add(unsigned message, int code, int firstId, int lastId, MessageHandler handler) {
    entries_.push_back({message, code, firstId, lastId, std::move(handler)});
    return *this;
  }
  MessageMapBuilder& Scroll(unsigned message, void (Dialog::*handler)(unsigned, unsigned, CWnd*)) {
    return Add(message, [handler](CWnd& target, WPARAM wParam, LPARAM lParam) {
      (Self(target).*handler)(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<CWnd*>(lParam));
      return LRESULT{0};
    });
  }

  const MessageMap* base_;
  std::vector<MessageMapEntry> entries_;
};

}  // namespace ui
