#include "setup_source.h"

#include <iostream>

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

std::string SetupSource::WriteAccepted(const CMC_Setup& setup, const std::string& out, const std::string& outcome) const {
  const std::string target = out.empty() ? path : out;
  if (target.empty()) {
    std::cout << outcome << ": nothing written, the embedded default setup stays as it is (--out FILE keeps the result)\n";
    return {};
  }
  drivebase::SaveSetupFile(setup, target);
  std::cout << outcome << ": written to " << target << '\n';
  return target;
}

}  // namespace kestrel::cli
