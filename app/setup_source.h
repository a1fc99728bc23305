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

  // Writes a setup the user accepted to the --out file, else back to the source file; the
  // embedded default stays as it is without --out. Prints "<outcome>: written to FILE" or why
  // nothing was written; returns the file written (empty: none).
  std::string WriteAccepted(const CMC_Setup& setup, const std::string& out, const std::string& outcome) const;
};

}  // namespace kestrel::cli
