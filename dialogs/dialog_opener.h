// A setup dialog opened on its own, with the computations that its opener runs around it: both
// parameter layers brought to agree before it opens and again after OK (External Reference Setup
// also gets the limits first; Motor Setup recomputes the options, whatever its end). For `kestrel edit --dialog` and the tests.
#pragma once

#include <string_view>

#include "drivebase/setup.h"

namespace kestrel {

// "motor", "advanced", "reference", "info", "filters" (as the tuning tests open it with the
// drive offline); false for any other name.
bool IsSetupDialogName(std::string_view name);

// Runs the named dialog modally and returns its end code (IDOK, IDCANCEL, ...); throws
// std::invalid_argument for a name that IsSetupDialogName refuses.
int RunSetupDialogAlone(CMC_Setup* setup, std::string_view name);

// After an accepted Advanced dialog: position control straight on the current loop has no speed
// loop to feed forward into (KFFS_scl := 0), and with position control in the fast loop no
// acceleration feed-forward either (KFFA_scl := 0).
void ClearUnusableFeedForward(CMC_Setup* setup);

}  // namespace kestrel
