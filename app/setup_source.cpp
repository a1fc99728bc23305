#include "setup_source.h"

#include "cli_error.h"
#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"

namespace kestrel::cli {

CMC_Setup SetupSource::Load() const {
  return path.empty() ? LoadDefaultSetup() : drivebase::ReadSetupFile(path);
}

std::string SetupSource::Name() const { return path.empty() ? "the default setup" : path; }

std::string SetupSource::OutputPath(const std::string& out, const std::string& command) const {
  if (!out.empty()) return out;
  if (path.empty()) throw UsageError(command + " on the default setup needs --out FILE to write the result to");
  return path;
}

}  // namespace kestrel::cli
