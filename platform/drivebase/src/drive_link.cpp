// What a drive link does with the operations it does not offer: it refuses them, naming the
// attempt.
#include "drivebase/comm.h"

namespace drivebase {
namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

bool DriveLink::Refuse(const std::string& attempt) { return Fail("The " + Description() + " cannot " + attempt); }

bool DriveLink::Fail(std::string text) {
  lastError_ = std::move(text);
  return false;
}

bool DriveLink::Launch(const ProgramLaunch& launch) { return Refuse("launch the program " + Quoted(launch.program)); }

bool DriveLink::WriteProgramVariable(std::string_view name, double) {
  return Refuse("write the program variable " + Quoted(name));
}

bool DriveLink::ReadProgramVariable(std::string_view name, double&) {
  return Refuse("read the program variable " + Quoted(name));
}

bool DriveLink::StopProgram() { return Refuse("stop the program"); }

bool DriveLink::GetAxisOn(bool&) { return Refuse("read the axis state"); }

bool DriveLink::Reset() { return Refuse("reset the drive"); }

bool DriveLink::ExecuteString(std::string_view command) { return Refuse("send the command " + Quoted(command)); }

bool DriveLink::FitLoggerPoints(LoggerSettings&) { return Refuse("size the logger"); }

bool DriveLink::UploadLog(std::vector<LoggedPoint>&) { return Refuse("upload the logged data"); }

bool DriveLink::ReceiveUnsolicited(std::vector<UnsolicitedMessage>&) { return Refuse("receive unsolicited messages"); }

bool DriveLink::ArmScope(const ScopeSettings&) { return Refuse("arm the scope"); }

bool DriveLink::DisarmScope() { return Refuse("stop the scope"); }

bool DriveLink::GetScopeRunning(bool&) { return Refuse("read the scope state"); }

}  // namespace drivebase
