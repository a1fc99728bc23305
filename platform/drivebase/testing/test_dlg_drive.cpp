// What a test does with the drive: program launches, the programs' user variables, the axis
// state and the reset to a known state.
#include "drivebase/comm.h"
#include "drivebase/program_launch.h"
#include "drivebase/test_dlg.h"

int CMC_TestDlg::ExecuteCode(const std::string& program, CMC_CoffFormat* image, CMC_Logger* logger, void*, void*) {
  if (logger == nullptr) return drivebase::ExecuteProgram(*GetSetup(), program, image, nullptr) ? 1 : 0;
  if (!logger->ItemsLocated()) logger->LocateItems();
  std::optional<drivebase::LoggerSettings> settings;
  if (!logger->StartCapture(settings)) return 0;
  if (drivebase::ExecuteProgram(*GetSetup(), program, image, settings ? &*settings : nullptr)) return 1;
  logger->AbandonCapture();
  return 0;
}

int CMC_TestDlg::SetUserVariableValue(CMC_CoffFormat* image, const std::string& name, double value,
                                      std::string& errorText) {
  if (image == nullptr) {
    errorText = "Cannot write '" + name + "': the test has no program image";
    return 0;
  }
  return drivebase::SetUserVariable(*image, name, value, errorText) ? 1 : 0;
}

int CMC_TestDlg::GetUserVariableValue(CMC_CoffFormat* image, const std::string& name, double& value,
                                      std::string& errorText) {
  if (image == nullptr) {
    errorText = "Cannot read '" + name + "': the test has no program image";
    return 0;
  }
  return drivebase::GetUserVariable(*image, name, value, errorText) ? 1 : 0;
}

int CMC_TestDlg::GetAxisOn(int& on) { return CMC_Comm::GetAxisOn(on) ? 1 : 0; }

void CMC_TestDlg::Reset() { CMC_Comm::ResetActiveBoard(); }

std::string CMC_TestDlg::GetOutPathName(const std::string& program) {
  return drivebase::ProgramImagePath(program).string();
}
