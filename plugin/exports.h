// The plug-in's whole outer surface: four C functions and one flag (g_bKufSinusoidalMode, in
// compute/scale_functions.h). The host passes its setup to every call; the plug-in keeps no
// pointer to it between calls.
#pragma once

#include "compute/export.h"
#include "drivebase/setup.h"

extern "C" {

// Runs the Drive Setup dialog on the setup; 1 when the user closed it with OK, else 0.
KESTREL_EXPORT int EditSetup(CMC_Setup* setup);

// Recomputes what follows from the setup's registers and choices, stage by stage; nothing for a
// null setup.
KESTREL_EXPORT void ComputeAllOptions(CMC_Setup* setup);

// Factor and offset from the drive's internal unit to the unit, for the parameter or variable.
KESTREL_EXPORT double GetScaleFactor(CMC_Setup* setup, const char* unit, const char* name);
KESTREL_EXPORT double GetScaleOffset(CMC_Setup* setup, const char* unit, const char* name);
}
