// Collects what the host reports while it lives, and restores the default sink afterwards.
#pragma once

#include <string>
#include <vector>

#include "drivebase/error_report.h"

namespace kestrel::test_support {

class ReportedErrors : public std::vector<std::string> {
 public:
  ReportedErrors() {
    drivebase::SetErrorSink([this](const std::string& message) { push_back(message); });
  }
  ~ReportedErrors() { drivebase::SetErrorSink(nullptr); }
  ReportedErrors(const ReportedErrors&) = delete;
  ReportedErrors& operator=(const ReportedErrors&) = delete;
};

}  // namespace kestrel::test_support
