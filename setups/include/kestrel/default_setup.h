// The default setup: one realistic drive with one realistic motor, compiled into the binaries.
#pragma once

#include <string_view>

#include "drivebase/setup.h"

namespace kestrel {

// The text of setups/default.json.
std::string_view DefaultSetupText();

// The default setup, read from its text (the name in messages is "default setup").
CMC_Setup LoadDefaultSetup();

}  // namespace kestrel
