// The link of a host that has no drive: every access fails with a communication error that names
// what was attempted.
#pragma once

#include <string>

#include "drivebase/comm.h"

namespace drivebase {

class OfflineLink : public DriveLink {
 public:
  std::string Description() const override { return "offline"; }
  bool WriteValue(std::string_view name, double internal, int sizeInWords) override;
  bool ReadValue(std::string_view name, int sizeInWords, double& internal) override;

 protected:
  // "No drive is connected: cannot <attempt>".
  bool Refuse(const std::string& attempt) override;
};

}  // namespace drivebase
