#include "canopen_settings_dlg.h"

#include "drivebase/error_report.h"

namespace drivebase {
namespace {

constexpr CanopenSetting kSettings[] = {
    {"CANopen_heartbeat_time", 10101, 10102, 10103},
    {"CANopen_guard_time", 10104, 10105, 10106},
    {"CANopen_life_time_factor", 10107, 10108, 0},
    {"CANopen_emcy_inhibit_time", 10109, 10110, 10111},
};

}  // namespace

std::span<const CanopenSetting> CanopenSettings() { return kSettings; }

CanopenSettingsDlg::CanopenSettingsDlg(CMC_Setup* setup, CWnd* parent)
    : CMC_EditSetupDlg(setup, kCanopenSettingsTemplate, 0, {}, parent) {
  const ErrorReportingOff quiet;  // the setup holds only some of them
  for (const CanopenSetting& setting : kSettings) AddParameterControls(setting.name, setting.editId, setting.unitComboId);
  SetHelpContext(kCanopenSettingsHelpContext);
}

bool CanopenSettingsDlg::OnInitDialog() {
  CMC_EditSetupDlg::OnInitDialog();
  const ErrorReportingOff quiet;
  for (const CanopenSetting& setting : kSettings) {
    const bool held = GetSetup()->FindParameter(setting.name) != nullptr;
    for (const int id : {setting.labelId, setting.editId, setting.unitComboId}) {
      if (id != 0) ShowChild(id, held);
    }
  }
  return true;
}

}  // namespace drivebase
