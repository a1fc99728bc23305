#include "drivebase/error_report.h"

#include <iostream>

int g_bShowErrors = 1;

namespace drivebase {
namespace {

ErrorSink& Sink() {
  static ErrorSink sink;
  return sink;
}

}  // namespace

void SetErrorSink(ErrorSink sink) { Sink() = std::move(sink); }

void ReportError(const std::string& message) {
  if (g_bShowErrors == 0) return;
  if (Sink()) {
    Sink()(message);
  } else {
    std::cerr << "error: " << message << '\n';
  }
}

ErrorReportingOff::ErrorReportingOff() : saved_(g_bShowErrors) { g_bShowErrors = 0; }

ErrorReportingOff::~ErrorReportingOff() { g_bShowErrors = saved_; }

}  // namespace drivebase
