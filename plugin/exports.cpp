#include "plugin/exports.h"

#include "commissioning/test_catalogue.h"
#include "compute/derivation.h"
#include "compute/options.h"
#include "compute/parameter_limits.h"
#include "compute/unit_scale.h"
#include "compute/units.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/drive_setup_dlg.h"

int EditSetup(CMC_Setup* setup) {
  if (setup == nullptr) return 0;
  kestrel::RegisterDialogTemplates();
  kestrel::RegisterCommissioningTests();
  CDriveSetupDlg dialog(setup, nullptr);
  return dialog.DoModal() == IDOK ? 1 : 0;
}

void ComputeAllOptions(CMC_Setup* setup) {
  if (setup == nullptr) return;
  // The stages run one after the other whatever each achieves.
  DeriveParametersFromRegisters(setup);
  ComputeParameterLimits(setup);
  ComputeOptions(setup);
  ComputeUnits(setup);
}

double GetScaleFactor(CMC_Setup* setup, const char* unit, const char* name) {
  return kestrel::UnitScaleFactor(setup, unit, name);
}

double GetScaleOffset(CMC_Setup* setup, const char* unit, const char*) {
  return kestrel::UnitScaleOffset(setup, unit);
}
