// What a computation changed in a setup: its values before, and one row per parameter or option
// whose value changed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "drivebase/setup.h"

namespace kestrel::cli {

// What the setup holds, by name: parameters as their base-unit value, and options.
struct SetupValues {
  std::map<std::string, double> parameters;
  std::map<std::string, std::string> options;
};

SetupValues ValuesOf(const CMC_Setup& setup);

// One row per parameter or option whose value changed: name, old, new, unit ("option" for an
// option). A parameter is changed when its value differs bit for bit (NaN equals NaN, 0 is not -0).
std::vector<std::vector<std::string>> Changes(const CMC_Setup& setup, const SetupValues& before);

}  // namespace kestrel::cli
