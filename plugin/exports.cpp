#include "plugin/exports.h"

#include "compute/unit_scale.h"

int EditSetup(CMC_Setup*) {
  // The Drive Setup dialog is not built yet: nothing is edited and nothing confirmed.
  return 0;
}

void ComputeAllOptions(CMC_Setup* setup) {
  if (setup == nullptr) return;
  // The stages (derivation, limits, options, units) are added as they are built.
}

double GetScaleFactor(CMC_Setup* setup, const char* unit, const char* name) {
  return kestrel::UnitScaleFactor(setup, unit, name);
}

double GetScaleOffset(CMC_Setup* setup, const char* unit, const char*) {
  return kestrel::UnitScaleOffset(setup, unit);
}
