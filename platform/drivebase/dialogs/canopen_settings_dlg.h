// The host's "CANopen Settings" dialog (template 10100): the CANopen parameters the setup holds,
// each on its row of label, edit and unit; rows of parameters the setup lacks are hidden.
#pragma once

#include <span>
#include <string_view>

#include "drivebase/edit_setup_dlg.h"

namespace drivebase {

inline constexpr unsigned kCanopenSettingsTemplate = 10100;
inline constexpr unsigned kCanopenSettingsHelpContext = 262656;
// The CAN bit rate of the drive, in bit/s, served by combo 10021.
inline constexpr const char* kCanBaudRateParameter = "CAN_baudrate";

struct CanopenSetting {
  const char* name;
  int labelId;
  int editId;
  int unitComboId;  // 0: none
};

std::span<const CanopenSetting> CanopenSettings();

class CanopenSettingsDlg : public CMC_EditSetupDlg {
 public:
  CanopenSettingsDlg(CMC_Setup* setup, CWnd* parent);

 protected:
  bool OnInitDialog() override;
};

}  // namespace drivebase
