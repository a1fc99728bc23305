// CAdvancedDialog: the Advanced dialog (template 110), opened from Drive Setup: the control scheme,
// the PWM frequency and the loop sampling dividers with the resulting periods, the speed
// estimator, where the speed feed-forward is applied, position/speed control in the fast loop and
// freeze control. A timing edit goes through the computation engine's timing change, which keeps
// the loop periods and the meaning of every time-dependent value; a loop below the drive's
// minimum period is drawn red and keeps the dialog from closing with OK.
#pragma once

#include <string>

#include "compute/timing_change.h"
#include "dialogs/my_setup_dlg.h"

class CAdvancedDialog : public CMySetupDlg {
 public:
  CAdvancedDialog(CMC_Setup* setup, CWnd* parent);

  void OnRefreshParameterValue(const std::string& name) override;

  static constexpr unsigned kTemplateId = 110;
  static constexpr unsigned kHelpContext = 262420;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void ApplySpeedFeedForwardRules();
  void ShowLoopLimits();
  void ReloadControls();
  void OnCtlColor(CDC& dc, CWnd& control);

  kestrel::LoopTiming timing_;
  bool fastLoopRed_ = false;
  bool slowLoopRed_ = false;
};
