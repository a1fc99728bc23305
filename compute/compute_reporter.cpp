#include "compute/compute_reporter.h"

#include "drivebase/error_report.h"

namespace kestrel {

void HostErrorReporter::ReportError(const std::string& message) const { drivebase::ReportError(message); }

}  // namespace kestrel
