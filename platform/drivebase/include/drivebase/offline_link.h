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
  bool Launch(const ProgramLaunch& launch) override;
  bool WriteProgramVariable(std::string_view name, double internal) override;
  bool ReadProgramVariable(std::string_view name, double& internal) override;
  bool StopProgram() override;
  bool GetAxisOn(bool& on) override;
  bool Reset() override;
  bool ExecuteString(std::string_view command) override;
  bool FitLoggerPoints(LoggerSettings& settings) override;
  bool UploadLog(std::vector<LoggedPoint>& points) override;
  bool ReceiveUnsolicited(std::vector<UnsolicitedMessage>& messages) override;

  std::string LastError() const override { return lastError_; }

 protected:
  // Records "No drive is connected: cannot <attempt>" and fails.
  bool Refuse(const std::string& attempt);
  // Records the text as the last error and fails.
  bool Fail(std::string text);

 private:
  std::string lastError_;
};

}  // namespace drivebase
