// CFiltersDialog: the Filters dialog (template 3072): for each of up to 9 biquad filters of the
// speed loop its on/off state, place, type, frequency and Q or lag frequency. The speed and
// position tuning tests open it; while the drive is online (the test writes the filters to it
// after OK) a filter cannot be switched on or off, nor moved to another place.
#pragma once

#include <string>

#include "compute/biquad_designer.h"
#include "dialogs/my_setup_dlg.h"

class CFiltersDialog : public CMySetupDlg {
 public:
  CFiltersDialog(CMC_Setup* setup, bool online, CWnd* parent);

  void OnRefreshParameterValue(const std::string& name) override;

  static constexpr unsigned kTemplateId = 3072;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;

 private:
  void ApplyFilterRules(int filter);

  CBiquadDesigner designer_;
  bool online_;
  int shownFilters_;  // min(MaxFilters, 9)
};
