// CDriveInfo: the Drive info dialog (template 3018), opened from Drive Setup: the drive's identity
// (intelligent drive name, product ID, E2ROM size, firmware ID), its factory data (supply ranges,
// power-stage currents, measurable DC voltage, analogue input range, temperature sensor,
// protections) and the user's application ID. The factory data stay read-only until the user
// presses Ctrl+Alt+Shift+E, which toggles an editing mode; the application ID is always editable.
#pragma once

#include <string>

#include "dialogs/my_setup_dlg.h"
#include "ui/controls.h"

class CDriveInfo : public CMySetupDlg {
 public:
  CDriveInfo(CMC_Setup* setup, CWnd* parent);

  static constexpr unsigned kTemplateId = 3018;
  static constexpr int kEditingChordKey = 'E';  // with Ctrl, Alt and Shift held

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  bool PreTranslateMessage(MSG* message) override;
  void OnOK() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void ApplyEditingRules();
  void TakeIdentityTexts();
  void StoreE2ROMSize();
  void OnProtectionCheck();

  std::string firmwareId_;
  std::string productId_;
  std::string e2romKwords_;
  std::string e2romShown_;  // the size as shown when the dialog was built
  std::string driveName_;
  std::string applicationId_;
  bool editing_ = false;
  CEdit applicationIdEdit_;
};
