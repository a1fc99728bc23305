// Error reporting of the host kernel: failed lookups and other host errors go to one sink while
// the exported flag g_bShowErrors is non-zero.
#pragma once

#include <functional>
#include <string>

// Non-zero: failed lookups are reported to the error sink. Plug-ins clear it around lookups of
// parameters that may be absent and restore it afterwards.
extern "C" int g_bShowErrors;

namespace drivebase {

using ErrorSink = std::function<void(const std::string& message)>;

// Installs the sink that receives reported errors; an empty sink restores the default, which
// writes one line per error to standard error.
void SetErrorSink(ErrorSink sink);

// Hands the message to the sink when g_bShowErrors is non-zero.
void ReportError(const std::string& message);

// Clears g_bShowErrors for its lifetime and restores the previous value, for probing lookups.
class ErrorReportingOff {
 public:
  ErrorReportingOff();
  ~ErrorReportingOff();
  ErrorReportingOff(const ErrorReportingOff&) = delete;
  ErrorReportingOff& operator=(const ErrorReportingOff&) = delete;

 private:
  int saved_;
};

}  // namespace drivebase
