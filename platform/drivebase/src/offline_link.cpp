#include "drivebase/offline_link.h"

namespace drivebase {
namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

bool OfflineLink::Refuse(const std::string& attempt) { return Fail("No drive is connected: cannot " + attempt); }

bool OfflineLink::Fail(std::string text) {
  lastError_ = std::move(text);
  return false;
}

bool OfflineLink::WriteValue(std::string_view name, double, int) { return Refuse("write " + Quoted(name)); }

bool OfflineLink::ReadValue(std::string_view name, int, double&) { return Refuse("read " + Quoted(name)); }

bool OfflineLink::Launch(const ProgramLaunch& launch) {
  return Refuse("launch the program " + Quoted(launch.program));
}

bool OfflineLink::WriteProgramVariable(std::string_view name, double) {
  return Refuse("write the program variable " + Quoted(name));
}

bool OfflineLink::ReadProgramVariable(std::string_view name, double&) {
  return Refuse("read the program variable " + Quoted(name));
}

bool OfflineLink::StopProgram() { return Refuse("stop the program"); }

bool OfflineLink::GetAxisOn(bool&) { return Refuse("read the axis state"); }

bool OfflineLink::Reset() { return Refuse("reset the drive"); }

bool OfflineLink::ExecuteString(std::string_view command) {
  return Refuse("send the command " + Quoted(command));
}

bool OfflineLink::FitLoggerPoints(LoggerSettings&) { return Refuse("size the logger"); }

bool OfflineLink::UploadLog(std::vector<LoggedPoint>&) { return Refuse("upload the logged data"); }

bool OfflineLink::ReceiveUnsolicited(std::vector<UnsolicitedMessage>&) {
  return Refuse("receive unsolicited messages");
}

}  // namespace drivebase
