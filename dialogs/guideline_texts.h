// The guideline assistant's texts: the steps a commissioning engineer follows in each dialog.
#pragma once

#include "drivebase/edit_setup_dlg.h"

namespace kestrel::dialogs {

drivebase::GuidelineTable DriveSetupGuideline();
// Motor Setup has one table for a rotary motor and one for a linear motor.
drivebase::GuidelineTable RotaryMotorGuideline();
drivebase::GuidelineTable LinearMotorGuideline();

}  // namespace kestrel::dialogs
