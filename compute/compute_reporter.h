// What a computation has to tell the engineer. The computation engine has no user interface: its
// caller hands in a reporter and decides how a report is shown (an error box in the plug-in's
// dialogs, a line on the command line, a list in a test).
#pragma once

#include <string>

namespace kestrel {

class ComputeReporter {
 public:
  virtual ~ComputeReporter() = default;

  // An error the engineer must see at this moment, e.g. more enabled filters than the drive has
  // filter slots. The computation goes on as documented for that case.
  virtual void ReportError(const std::string& message) const = 0;
};

// Hands each report to the host's error reporting (drivebase::ReportError): the reporter of the
// call forms that take none.
class HostErrorReporter final : public ComputeReporter {
 public:
  void ReportError(const std::string& message) const override;
};

}  // namespace kestrel
