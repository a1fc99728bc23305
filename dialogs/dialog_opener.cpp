#include "dialogs/dialog_opener.h"

#include <functional>
#include <stdexcept>
#include <string>

#include "compute/options.h"
#include "compute/parameter_limits.h"
#include "dialogs/advanced_dialog.h"
#include "dialogs/analog_reference_dlg.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/drive_info.h"
#include "dialogs/filters_dialog.h"
#include "dialogs/motor_setup_dialog.h"
#include "dialogs/setup_values.h"

namespace kestrel {
namespace {

using dialogs::Code;
using dialogs::SameName;

int RunAround(CMC_Setup* setup, CDialog& dialog, const std::function<void()>& accepted = {}) {
  const int endCode = dialog.DoModal();
  if (endCode == IDOK) {
    if (accepted) accepted();
    BringLayersToAgree(setup);
  }
  return endCode;
}

}  // namespace

bool IsSetupDialogName(std::string_view name) {
  return SameName(name, "motor") || SameName(name, "advanced") || SameName(name, "info") ||
         SameName(name, "reference") || SameName(name, "filters");
}

int RunSetupDialogAlone(CMC_Setup* setup, std::string_view name) {
  if (!IsSetupDialogName(name)) throw std::invalid_argument("no setup dialog named '" + std::string(name) + "'");
  RegisterDialogTemplates();
  BringLayersToAgree(setup);
  if (SameName(name, "motor")) {
    CMotorSetupDialog dialog(setup, nullptr);
    const int endCode = RunAround(setup, dialog);
    ComputeOptions(setup);
    return endCode;
  }
  if (SameName(name, "reference")) {
    ComputeParameterLimits(setup);
    CAnalogReferenceDlg dialog(setup, nullptr);
    return RunAround(setup, dialog);
  }
  if (SameName(name, "filters")) {
    ComputeParameterLimits(setup);  // as the speed tuning test runs before it
    CFiltersDialog dialog(setup, false, nullptr);
    return RunAround(setup, dialog);
  }
  if (SameName(name, "info")) {
    CDriveInfo dialog(setup, nullptr);
    return RunAround(setup, dialog);
  }
  CAdvancedDialog dialog(setup, nullptr);  // "advanced"
  return RunAround(setup, dialog, [setup] { ClearUnusableFeedForward(setup); });
}

void ClearUnusableFeedForward(CMC_Setup* setup) {
  if (Code(setup, "ControlMode") != 0 || Code(setup, "PositionControlType") != 0) return;
  dialogs::SetValue(setup, "KFFS_scl", 0);
  if (Code(setup, "PosSpd_in_FastLoop") == 1) dialogs::SetValue(setup, "KFFA_scl", 0);
}

}  // namespace kestrel
