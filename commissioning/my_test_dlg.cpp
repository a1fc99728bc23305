#include "commissioning/my_test_dlg.h"

#include <cerrno>
#include <cmath>
#include <system_error>

#include "commissioning/drive_errors.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"
#include "drivebase/variable.h"

namespace {

// Why the system refused the last request (a timer that cannot be started).
std::string SystemErrorText() {
  const int error = errno != 0 ? errno : EAGAIN;
  return std::generic_category().message(error);
}

}  // namespace

CMyTestDlg::CMyTestDlg(CMC_Setup* setup, unsigned templateId, int flag, CWnd* parent)
    : CMC_TestDlg(setup, templateId, flag, parent) {
  // The speed and position tests move the motor from where it stands: the absolute start's
  // minimum move would only disturb them.
  if ((templateId == 102 || templateId == 103) && kestrel::dialogs::Has(setup, "ABSTART_MINMOVE")) {
    openingAbsoluteStartMove_ = setup->GetParameterValueInBaseUnit("ABSTART_MINMOVE");
    setup->SetParameterValueInBaseUnit("ABSTART_MINMOVE", 0.0);
  }
}

CMyTestDlg::~CMyTestDlg() {
  if (openingAbsoluteStartMove_) GetSetup()->SetParameterValueInBaseUnit("ABSTART_MINMOVE", *openingAbsoluteStartMove_);
}

void CMyTestDlg::Fail(const std::string& text) {
  m_strErrorText = text;
  TestFailed(1);
}

int CMyTestDlg::CheckDriveErrors(int fail, std::uint16_t mask) {
  CMC_Variable* mer = GetSetup()->FindVariable("MER", 1);
  if (mer == nullptr || !mer->ReadFromChip()) {
    m_strErrorText = msc_pszErrInternal;
  } else {
    const auto text = kestrel::DriveErrorText(static_cast<std::int32_t>(std::trunc(mer->GetValueInBaseUnit())), mask);
    if (!text) return 1;
    m_strErrorText = *text;
  }
  if (fail == 1) TestFailed(1);
  return 0;
}

void CMyTestDlg::PrepareProgram(const std::string& program, CMC_CoffFormat& image) {
  image.SetFileName(GetOutPathName(program));
  image.ReadCoff();
}

void CMyTestDlg::ShowStepText(std::span<const char* const> texts) {
  if (m_nStep < texts.size()) SetInfoText(texts[m_nStep]);
}

bool CMyTestDlg::RestartTick(unsigned periodMs) {
  if (SetTimer(drivebase::kTestTimer, periodMs) != 0) return true;
  Fail(SystemErrorText());
  return false;
}

bool CMyTestDlg::LaunchProgram(std::span<const char* const> texts, const std::string& program, CMC_CoffFormat& image,
                               CMC_Logger* logger, std::initializer_list<ProgramInput> inputs) {
  return LaunchProgram(texts, program, image, logger, std::span<const ProgramInput>(inputs.begin(), inputs.size()));
}

bool CMyTestDlg::LaunchProgram(std::span<const char* const> texts, const std::string& program, CMC_CoffFormat& image,
                               CMC_Logger* logger, std::span<const ProgramInput> inputs) {
  // At an odd step the launch's announcement has been shown already.
  if (m_nStep % 2 == 0) ShowStepText(texts);
  // No program for the sensor, or no image of it: the launch cannot succeed.
  if (program.empty() || !image.IsLoaded()) {
    Fail(msc_pszErrInternal);
    return false;
  }
  for (const ProgramInput& input : inputs) {
    if (SetUserVariableValue(&image, input.name, input.value, m_strErrorText) == 0) {
      TestFailed(1);
      return false;
    }
  }
  if (ExecuteCode(program, &image, logger, nullptr, nullptr) == 0) {
    Fail(msc_pszErrInternal);
    return false;
  }
  ShowStepText(texts);
  return RestartTick();
}

bool CMyTestDlg::LaunchProgramWithoutImage(std::span<const char* const> texts, const std::string& program) {
  if (m_nStep % 2 == 0) ShowStepText(texts);
  if (program.empty() || ExecuteCode(program, nullptr, nullptr, nullptr, nullptr) == 0) {
    Fail(msc_pszErrInternal);
    return false;
  }
  ShowStepText(texts);
  return RestartTick();
}

bool CMyTestDlg::TakeTick(std::uintptr_t id) {
  if (id != drivebase::kTestTimer) {
    CMC_TestDlg::OnTimer(id);
    return false;
  }
  KillTimer(id);
  return IsRunning();
}

CMyTestDlg::ProgramSign CMyTestDlg::LookAtProgram(CMC_CoffFormat& image) {
  double started = 0.0;
  if (GetUserVariableValue(&image, "STARTED", started, m_strErrorText) == 0) return ProgramSign::Unreadable;
  if (started == 0.0) return ProgramSign::NotStarted;
  int axisOn = 0;
  if (GetAxisOn(axisOn) == 0) {
    m_strErrorText = CMC_Comm::GetLastErrorText();
    return ProgramSign::Unreadable;
  }
  return axisOn != 0 ? ProgramSign::AxisOn : ProgramSign::AxisOff;
}

CMyTestDlg::ProgramState CMyTestDlg::WaitForProgram(CMC_CoffFormat& image, std::uint16_t mask) {
  const ProgramSign sign = LookAtProgram(image);
  if (sign == ProgramSign::Unreadable) {
    TestFailed(1);
    return ProgramState::Failed;
  }
  if (sign == ProgramSign::NotStarted) {
    if (CheckDriveErrors(1, mask) == 0) return ProgramState::Failed;
    return RestartTick() ? ProgramState::Running : ProgramState::Failed;
  }
  if (sign == ProgramSign::AxisOn) return RestartTick() ? ProgramState::Running : ProgramState::Failed;
  if (CheckDriveErrors(1, mask) == 0) return ProgramState::Failed;
  // A program that the user's Stop ended has no outcome to read.
  if (m_bStopRequested != 0) {
    Fail(kStoppedText);
    return ProgramState::Failed;
  }
  return ProgramState::Ended;
}

CMyTestDlg::ProgramState CMyTestDlg::FinishPreliminaryStage(CMC_CoffFormat& image, PreliminaryReferences& references) {
  const ProgramState state = WaitForProgram(image);
  if (state != ProgramState::Ended) return state;
  double current = 0.0;
  if (!ReadProgramValue(image, "In1", current)) return ProgramState::Failed;
  if (current <= 0.0) {
    Fail(msc_pszErrInZero);
    return ProgramState::Failed;
  }
  if (!ReadDriveValue("REFTST_V", true, references.refTest) || !ReadDriveValue("RINCTST_V", true, references.rIncTest)) {
    return ProgramState::Failed;
  }
  return ProgramState::Ended;
}

bool CMyTestDlg::ReadProgramValue(CMC_CoffFormat& image, const char* name, double& value) {
  if (GetUserVariableValue(&image, name, value, m_strErrorText) == 0) {
    TestFailed(1);
    return false;
  }
  if (value == drivebase::kNoValue) {
    Fail(msc_pszErrInternal);
    return false;
  }
  return true;
}

bool CMyTestDlg::ReadDriveValue(const char* name, bool internalUnit, double& value) {
  CMC_Variable* variable = GetSetup()->FindVariable(name, 1);
  if (variable == nullptr) {
    Fail(msc_pszErrInternal);
    return false;
  }
  if (!variable->ReadFromChip()) {
    Fail(CMC_Comm::GetLastErrorText());
    return false;
  }
  value = internalUnit ? variable->GetValueInInternalUnit() : variable->GetValueInBaseUnit();
  return true;
}

bool CMyTestDlg::WriteDriveValue(const char* name, double baseValue) {
  CMC_Variable* variable = GetSetup()->FindVariable(name, 1);
  if (variable == nullptr || !variable->SetValueInBaseUnit(baseValue)) {
    Fail(msc_pszErrInternal);
    return false;
  }
  if (!variable->WriteToChip()) {
    Fail(CMC_Comm::GetLastErrorText());
    return false;
  }
  return true;
}

void CMyTestDlg::OnCancel() {
  if (IsRunning() || Result() != 1) return CMC_TestDlg::OnCancel();
  const std::vector<kestrel::ComparedValue> values = ComparedValues();
  const std::string question = kestrel::SaveQuestionText(values, ListsEveryComparedValue());
  if (question.empty()) return CMC_TestDlg::OnCancel();
  switch (AfxMessageBox(question, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      AcceptResults();
      EndDialog(IDOK);
      return;
    case IDNO: EndDialog(IDCANCEL); return;
    default: return;
  }
}
