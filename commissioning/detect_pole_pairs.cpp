#include "commissioning/detect_pole_pairs.h"

#include <cmath>
#include <string>

#include "commissioning/program_names.h"
#include "commissioning/save_question.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"
#include "ui/data_exchange.h"
#include "ui/event_loop.h"

namespace {

using kestrel::dialogs::Value;

// A count as the drive reports it, truncated to an integer (no value or out of range: 0).
int Truncated(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 1e9) return 0;
  return static_cast<int>(std::trunc(value));
}

// The pole pairs programs turn the field whatever the transmission: always the rotary names.
std::string RotaryProgram(const CMC_Setup* setup, std::string_view baseName) {
  return kestrel::ProgramName(kestrel::ProgramPrefix(setup), baseName, 0);
}

}  // namespace

CDetectPolePairs::CDetectPolePairs(CMC_Setup* setup, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent),
      preliminaryProgram_(RotaryProgram(setup, "Initial_Positioning_Test")),
      mainProgram_(RotaryProgram(setup, "Motor_Pole_Pairs_Detection_Test")),
      openingPolePairs_(static_cast<int>(std::lround(Value(setup, "pp")))) {
  m_nStepsNo = 5;
  SetHelpContext(kHelpContext);
  AddParameterControls("TestCurrent", 1005, 1017);
}

CDetectPolePairs::~CDetectPolePairs() = default;

int CDetectPolePairs::PolePairs() const { return Truncated(Value(GetSetup(), "pp")); }

bool CDetectPolePairs::OnInitDialog() {
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  CMyTestDlg::OnInitDialog();
  SetPurposeText("Detects the number of motor pole pairs.");
  return true;
}

void CDetectPolePairs::DoDataExchange(CDataExchange* pDX) {
  CMyTestDlg::DoDataExchange(pDX);
  if (!pDX->m_bSaveAndValidate) ShowMoveButton();
}

void CDetectPolePairs::ShowMoveButton() {
  ShowChild(kMoveButton, IsRunning() && moveVisible_);
  EnableChild(kMoveButton, moveEnabled_);
}

void CDetectPolePairs::BeginTest() {
  CommitPendingEdits();
  SetChildText(kCountEdit, "");
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  // A run that failed during a move left Move offered.
  moved_ = false;
  moveVisible_ = false;
  moveEnabled_ = true;
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  LaunchProgram(kTexts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
}

void CDetectPolePairs::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
  ShowMoveButton();
}

void CDetectPolePairs::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchPolePairsProgram();
      return;
    case 3: LaunchPolePairsProgram(); return;
    case 4: WaitForUser(); return;
    case 5: FinishPolePairsProgram(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CDetectPolePairs::LaunchPolePairsProgram() {
  return LaunchProgram(kTexts, mainProgram_, mainImage_, nullptr,
                       {{"RefTest", references_.refTest}, {"RIncTest", references_.rIncTest}});
}

// The program has started when STARTED is set with the axis on; it then waits for Move, and so
// does the test (no tick until Stop). A read that fails resets the drive before the run fails.
void CDetectPolePairs::WaitForUser() {
  const ProgramSign sign = LookAtProgram(mainImage_);
  if (sign == ProgramSign::Unreadable) {
    CMC_Comm::ResetActiveBoard();
    TestFailed(1);
    return;
  }
  if (sign != ProgramSign::AxisOn) {
    if (CheckDriveErrors(1, kEnergisingErrorMask) == 0) return;
    RestartTick();
    return;
  }
  moveVisible_ = true;
  moveEnabled_ = true;
}

void CDetectPolePairs::OnMove() {
  if (!MoveOffered() || moveUnderway_) return;
  if (!WriteDriveValue("var_i2", 0.0)) return;
  moved_ = true;
  moveUnderway_ = true;
  moveEnabled_ = false;
  ShowMoveButton();
  BeginWaitCursor();
  const bool ended = WaitForMoveEnd();
  EndWaitCursor();
  moveUnderway_ = false;
  moveEnabled_ = true;
  ShowMoveButton();
  if (!ended) return;
  double count = 0.0;
  if (!ReadProgramValue(mainImage_, "poles_pairs", count)) return;
  SetChildText(kCountEdit, std::to_string(Truncated(count)));
}

bool CDetectPolePairs::WaitForMoveEnd() {
  ui::EventLoop& loop = ui::CurrentEventLoop();
  const ui::Milliseconds deadline = loop.Clock().Now() + ui::Milliseconds(kMoveLimit_ms);
  bool left = false;
  while (IsRunning()) {
    double angle = 0.0;
    if (!ReadDriveValue("THTST", true, angle)) return false;
    if (angle != kRestAngle) {
      left = true;
    } else if (left) {
      return true;
    }
    if (!ProgramStillRuns()) return false;
    if (loop.Clock().Now() >= deadline) {
      Fail(msc_pszErrInternal);
      return false;
    }
    loop.Pump();
  }
  return false;
}

// The program switches the axis off only when it ends: on a drive error, or stopped (the host then
// ends the run as stopped).
bool CDetectPolePairs::ProgramStillRuns() {
  int axisOn = 0;
  if (GetAxisOn(axisOn) == 0) {
    Fail(CMC_Comm::GetLastErrorText());
    return false;
  }
  if (axisOn != 0) return true;
  if (m_bStopRequested != 0) return false;
  if (CheckDriveErrors(1, kEnergisingErrorMask) != 0) Fail(msc_pszErrInternal);
  return false;
}

// Stop after a move finishes the count (the program ends by itself); otherwise, and while a move
// is underway or the dialog is closing, it is the host's stop.
void CDetectPolePairs::OnBtnStartStop() {
  if (IsRunning() && moved_ && !moveUnderway_ && !CloseRequested() && m_nStep == 4) {
    if (!WriteDriveValue("var_i2", 1.0)) return;
    moveVisible_ = false;
    ShowStepText(kTexts);
    RestartTick(kStopPoll_ms);
    ShowMoveButton();
    return;
  }
  CMyTestDlg::OnBtnStartStop();
  ShowMoveButton();
}

void CDetectPolePairs::FinishPolePairsProgram() {
  if (WaitForProgram(mainImage_) != ProgramState::Ended) return;
  double reported = 0.0, counted = 0.0;
  if (!ReadDriveValue("var_i2", false, reported) || !ReadProgramValue(mainImage_, "poles_pairs", counted)) return;
  // The count handed back must be the one the program made, and at least one pole pair.
  if (reported < 1.0 || reported != counted) return Fail(msc_pszErrInternal);
  CMC_Parameter* pp = GetSetup()->FindParameter("pp");
  if (pp == nullptr) return Fail(msc_pszErrInternal);
  pp->SetValueInBaseUnit(reported);
  moveVisible_ = false;
  moveEnabled_ = false;
  moved_ = false;
  TestSucceeded(1);
}

std::vector<kestrel::ComparedValue> CDetectPolePairs::ComparedValues() const {
  return {{"Pole Pairs", double(openingPolePairs_), double(PolePairs()), true}};
}

std::vector<CMyTestDlg::TestResultLine> CDetectPolePairs::ResultLines() const {
  return {{"pp", std::to_string(PolePairs())}};
}

const ui::MessageMap* CDetectPolePairs::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CDetectPolePairs>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CDetectPolePairs::OnTimer)
                                        .Command(kMoveButton, &CDetectPolePairs::OnMove)
                                        .Build();
  return &map;
}
