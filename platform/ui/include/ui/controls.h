// The control classes: each operates on the state of a window of its kind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/wnd.h"

class CEdit : public CWnd {
 public:
  // The most characters a user may type; 0 lifts the limit.
  void LimitText(int characters = 0);
  void SetLimitText(unsigned characters);
  unsigned GetLimitText() const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

// Labels, pictures and the placeholders of graphs.
class CStatic : public CWnd {
 public:
  // Shows the bitmap resource of that name; returns the previous one.
  std::string SetBitmap(const std::string& resourceName);
  std::string GetBitmap() const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

// Push buttons, check boxes and radio buttons.
class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int check);
  std::string SetBitmap(const std::string& resourceName);
  std::string GetBitmap() const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

// A drop-down list; entries keep their order (no sorting) and carry item data.
class CComboBox : public CWnd {
 public:
  int AddString(const std::string& text);
  // Inserts before `index`; -1 appends.
  int InsertString(int index, const std::string& text);
  // Returns the entries left, CB_ERR for a bad index.
  int DeleteString(int index);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;
  // Selects the entry (-1: none); CB_ERR when the index is out of range (nothing selected then).
  int SetCurSel(int index);
  std::uintptr_t GetItemData(int index) const;
  int SetItemData(int index, std::uintptr_t data);
  std::string GetLBText(int index) const;
  // The entry after `startAfter` (-1: from the first) whose text is `text`, in any case; CB_ERR
  // when none.
  int FindStringExact(int startAfter, const std::string& text) const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

class CSliderCtrl : public CWnd {
 public:
  void SetRange(int minimum, int maximum, bool redraw = false);
  int GetRangeMin() const;
  int GetRangeMax() const;
  void SetPos(int position);
  int GetPos() const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

// The ends of a spin button's range may come in either order.
class CSpinButtonCtrl : public CWnd {
 public:
  void SetRange(int lower, int upper);
  void GetRange(int& lower, int& upper) const;
  int SetPos(int position);
  int GetPos() const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

class CTabCtrl : public CWnd {
 public:
  // Inserts a tab before `index` (at the end when beyond); returns its index.
  int InsertItem(int index, const std::string& label);
  bool DeleteAllItems();
  int GetItemCount() const;
  int GetCurSel() const;
  // Selects a tab without notifying the dialog; returns the previous selection.
  int SetCurSel(int index);

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange(int lower, int upper);
  void GetRange(int& lower, int& upper) const;
  int SetPos(int position);
  int GetPos() const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;
};

namespace ui {
// A new object of the class that serves windows of that kind.
std::unique_ptr<CWnd> MakeControlObject(ControlKind kind);
}  // namespace ui
