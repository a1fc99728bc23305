// CDriveSetupDlg: the Drive Setup dialog (template 106), the hub of commissioning: control mode,
// external reference, supply and current limit, the three controllers, protections, brake
// resistor, input polarities, software limits, start mode and CAN. Every time it is shown it
// opens Motor Setup by itself first.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/my_setup_dlg.h"

class CDriveSetupDlg : public CMySetupDlg {
 public:
  // Derives the user level from the registers and its limits, applies the speed feed-forward
  // rule and binds the parameters.
  CDriveSetupDlg(CMC_Setup* setup, CWnd* parent);

  void OnChangedParameterValue(const std::string& name) override;
  void OnRefreshParameterValue(const std::string& name) override;

  static constexpr unsigned kTemplateId = 106;
  static constexpr unsigned kHelpContext = 262406;
  static constexpr std::uintptr_t kMotorSetupTimer = 2;
  static constexpr unsigned kMotorSetupDelayMs = 100;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void BindParameters();
  void FillAxisIdCombo();
  void ShowInputType();
  void SetInputRowTexts(bool sink);
  // The enable and show rules, applied whenever values go from the setup to the controls.
  void ApplyControlRules();
  void ApplyFeedForwardRules();
  void ApplyProtectionRules();
  void ApplyStartModeRules();
  void ApplyInputAndCanRules();

  void ReloadControls();
  void OnSelchangeAxisId();
  void OnShowWindow(bool shown, unsigned status);
  void OnTimer(std::uintptr_t id);
  void OnMotorSetup();
  void OnAdvanced();
  void OnDriveInfo();
  void OnTuneCurrent();
  void OnTuneSpeed();
  void OnTunePosition();
  void OnTuneAngle();
  void OnDetectVdc();
  void OnExternalReference();
  void RunMotorSetup();
  void WarnAboutStartCurrent();
  void InvertInputPolarities();

  CComboBox axisIdCombo_;
  bool axisIdChosen_ = false;  // the user picked an axis ID since the dialog opened
};
