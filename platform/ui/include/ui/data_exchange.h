// Data exchange between a dialog's controls and its members, run by UpdateData through the
// dialog's DoDataExchange: with m_bSaveAndValidate the values go from the controls to the
// members (a text that is no number shows a message box and fails the exchange), otherwise from
// the members to the controls.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "ui/wnd.h"

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, bool saveAndValidate);

  // The control's object; ui::DialogError when the dialog has no such control.
  CWnd& PrepareCtrl(int id);
  // Ends the exchange as failed, with the focus on the control last prepared.
  [[noreturn]] void Fail();

  bool m_bSaveAndValidate;
  CWnd* m_pDlgWnd;

 private:
  CWnd* lastControl_ = nullptr;
};

// Edits: a text, a whole number, a real number (written with 15 significant digits).
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, double& value);
// A check box's state (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE).
void DDX_Check(CDataExchange* pDX, int id, int& value);
// The index of the checked radio of the group that begins with firstId; -1 for none.
void DDX_Radio(CDataExchange* pDX, int firstId, int& index);
// A combo's selected entry, by index (-1: none) or by text.
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
void DDX_CBString(CDataExchange* pDX, int id, std::string& text);
// Attaches a member control object to the control (once; later exchanges leave it).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

namespace ui {
// Thrown by CDataExchange::Fail and caught by UpdateData.
class DataExchangeFailure : public std::runtime_error {
 public:
  DataExchangeFailure() : std::runtime_error("a value failed data exchange") {}
};
}  // namespace ui
