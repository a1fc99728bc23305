// Result of an operation that can fail.
#pragma once

#include <string>

namespace drivesim {

// Empty error = success.
struct Status {
  std::string error;                    // why it failed, in words for the user
  bool ok() const { return error.empty(); }
};

}  // namespace drivesim
