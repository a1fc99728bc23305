// How the command line reports trouble: a usage error exits with 2, a failure with 1, each with
// one line on standard error.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace kestrel::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs the command, turning exceptions into the one-line message and the exit status.
int RunReportingErrors(const std::function<int()>& command);

}  // namespace kestrel::cli
