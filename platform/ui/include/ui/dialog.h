// CDialog: a modal dialog made from a template. DoModal creates its windows, calls OnInitDialog,
// shows it and runs its modal loop until EndDialog; then its windows (and timers) go, and DoModal
// returns the end code. The dialog object outlives the run, so members filled by data exchange
// stay readable.
#pragma once

#include <memory>

#include "ui/message_box.h"
#include "ui/wnd.h"

class CDataExchange;

class CDialog : public CWnd {
 public:
  explicit CDialog(unsigned templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Runs the dialog modally; returns the code passed to EndDialog. A missing or faulty template
  // throws ui::TemplateError.
  virtual int DoModal();
  // Ends the modal loop with `result` once the current handler returns; stops the dialog's timers.
  void EndDialog(int result);
  // Exchanges data with the controls: true from the controls to the members (validating),
  // false from the members to the controls. False when a value fails validation.
  bool UpdateData(bool saveAndValidate = true);

  // Called once the controls exist, before the dialog is shown: loads the controls.
  virtual bool OnInitDialog();
  // Enter and Escape press OK and Cancel (unless that button is disabled).
  bool PreTranslateMessage(MSG* message) override;
  const ui::MessageMap* GetMessageMap() const override;

  unsigned TemplateId() const { return templateId_; }
  // The code passed to EndDialog in the current or last run (0 before any).
  int EndCode() const { return endCode_; }
  // Whether EndDialog has been called during the current run (or no run is going on).
  bool ModalEnded() const { return ended_; }

 protected:
  // OK: takes the values from the controls, and ends with IDOK when they are valid.
  virtual void OnOK();
  // Cancel: ends with IDCANCEL.
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* pDX);

 private:
  void SendCommandUnlessDisabled(int id);

  unsigned templateId_;
  CWnd* parent_;
  std::unique_ptr<ui::Window> windows_;
  int endCode_ = 0;
  bool ended_ = true;
};
