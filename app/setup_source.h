// Where a command's setup comes from: a file given with --setup, or the embedded default.
#pragma once

#include <string>

#include "drivebase/setup.h"

namespace kestrel::cli {

struct SetupSource {
  std::string path;  // empty: the embedded default setup

  CMC_Setup Load() const;
  std::string Name() const;

  // Where a changed setup goes: the --out file, else the source file itself; a usage error
  // for the default setup without --out.
  std::string OutputPath(const std::string& out, const std::string& command) const;
};

}  // namespace kestrel::cli
