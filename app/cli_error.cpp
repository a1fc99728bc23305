#include "cli_error.h"

#include <iostream>

#include "drivebase/setup_file.h"

namespace kestrel::cli {

int RunReportingErrors(const std::function<int()>& command) {
  try {
    return command();
  } catch (const UsageError& error) {
    std::cerr << "kestrel: " << error.what() << '\n';
    return kExitUsage;
  } catch (const drivebase::SetupFileError& error) {
    std::cerr << "kestrel: " << error.source() << ": " << error.faults().front();
    if (error.faults().size() > 1) {
      std::cerr << " (and " << error.faults().size() - 1
                << " more; 'kestrel check' lists them all)";
    }
    std::cerr << '\n';
    return kExitFailure;
  } catch (const std::exception& error) {
    std::cerr << "kestrel: " << error.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace kestrel::cli
