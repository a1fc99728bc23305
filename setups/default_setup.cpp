#include "kestrel/default_setup.h"

#include "drivebase/setup_file.h"

namespace kestrel {

CMC_Setup LoadDefaultSetup() { return drivebase::ParseSetup(DefaultSetupText(), "default setup"); }

}  // namespace kestrel
