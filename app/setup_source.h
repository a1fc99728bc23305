// Where a command's setup comes from: a file given with --setup, or the embedded default.
#pragma once

#include <string>

#include "drivebase/setup.h"

namespace kestrel::cli {

struct SetupSource {
  std::string path;  // empty: the embedded default setup

  CMC_Setup Load() const;
  std::string Name() const;
};

}  // namespace kestrel::cli
