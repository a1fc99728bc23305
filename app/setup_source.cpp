#include "setup_source.h"

#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"

namespace kestrel::cli {

CMC_Setup SetupSource::Load() const {
  return path.empty() ? LoadDefaultSetup() : drivebase::ReadSetupFile(path);
}

std::string SetupSource::Name() const { return path.empty() ? "the default setup" : path; }

}  // namespace kestrel::cli
