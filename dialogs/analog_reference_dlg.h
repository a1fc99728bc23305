// CAnalogReferenceDlg: the External Reference Setup dialog (template 111), opened from Drive
// Setup: an analogue reference (its range of positions, speeds or currents, dead band, filter) or
// a digital one (pulse & direction or incremental encoder, gear ratio, the input that reads it),
// and the limit of speed or acceleration the reference may ask for.
#pragma once

#include <string>

#include "dialogs/my_setup_dlg.h"
#include "ui/controls.h"

class CAnalogReferenceDlg : public CMySetupDlg {
 public:
  // Binds the reference range of the control mode (position, speed or current).
  CAnalogReferenceDlg(CMC_Setup* setup, CWnd* parent);

  void OnChangedParameterValue(const std::string& name) override;
  void OnChangedParameterUnit(const std::string& name) override;
  void OnRefreshParameterValue(const std::string& name) override;

  static constexpr unsigned kTemplateId = 111;
  static constexpr unsigned kHelpContext = 262401;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void ShowRangeLabels();
  void ShowModeTexts();
  void SetLimitText();
  void FillDigitalInputs();
  void ShowFilterFields();
  void KeepGearRatioUsable();
  void ReloadControls();
  void OnTest();

  CComboBox digitalInputs_;
  bool noDigitalInput_ = false;  // no free input can read a digital reference
};
