#include "commissioning/test_resolver_setup.h"

#include <cmath>
#include <numbers>

#include "commissioning/save_question.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"

namespace {

using kestrel::dialogs::Value;

}  // namespace

CTestResolverSetup::CTestResolverSetup(CMC_Setup* setup, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent), countsPerTurn_(std::trunc(Value(setup, "MECRESL"))) {
  m_nStepsNo = static_cast<std::uint16_t>(kTexts.size());
  SetHelpContext(kHelpContext);
  AddParameterControls("TestCurrent", 1005, 1017);
}

bool CTestResolverSetup::OnInitDialog() {
  diagram_.SubclassDlgItem(kPositionDiagram, this);
  CMyTestDlg::OnInitDialog();
  SetPurposeText("Tunes the resolver interface and identifies the resolver offset.");
  return true;
}

void CTestResolverSetup::BeginTest() {
  CommitPendingEdits();
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  diagram_.SetTheta(0.0);
  diagram_.Repaint();
  const int testCurrent = kestrel::TestCurrentCounts(GetSetup());
  // Without counts per turn there is no position to show.
  if (countsPerTurn_ < 1.0) {
    ShowStepText(kTexts);
    return Fail(msc_pszErrInternal);
  }
  PrepareProgram(kPreliminaryProgram, preliminaryImage_);
  LaunchProgram(kTexts, kPreliminaryProgram, preliminaryImage_, nullptr, {{"In1", double(testCurrent)}});
}

void CTestResolverSetup::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchResolverProgram();
      return;
    case 3: LaunchResolverProgram(); return;
    case 4: FollowProgram(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

// The resolver program's image is loaded only now; without it the launch fails.
bool CTestResolverSetup::LaunchResolverProgram() {
  PrepareProgram(kResolverProgram, resolverImage_);
  return LaunchProgram(kTexts, kResolverProgram, resolverImage_, nullptr,
                       {{"RefTest", references_.refTest}, {"IncTheta", kAngleIncrement}});
}

void CTestResolverSetup::FollowProgram() {
  double count = 0.0;
  switch (LookAtProgram(resolverImage_)) {
    case ProgramSign::Unreadable: TestFailed(1); return;
    case ProgramSign::NotStarted:
      if (CheckDriveErrors(1, kEnergisingErrorMask) != 0) RestartTick();
      return;
    case ProgramSign::AxisOn:
      if (!ReadDriveValue("APOS_MT", true, count)) return;
      ShowPosition(count);
      RestartTick(kFollowPeriodMs);
      return;
    case ProgramSign::AxisOff: break;
  }
  if (CheckDriveErrors(1, kEnergisingErrorMask) == 0) return;
  if (m_bStopRequested != 0) return Fail(kStoppedText);
  KeepOffset();
}

// The drive's offset goes into the setup.
void CTestResolverSetup::KeepOffset() {
  double offset = 0.0, count = 0.0;
  if (!ReadDriveValue("ZAOFF", true, offset)) return;
  GetSetup()->SetParameterValueInBaseUnit("ZAOFF", offset);
  if (!ReadDriveValue("APOS_MT", true, count)) return;
  ShowPosition(count);
  ShowStepText(kTexts);
  TestSucceeded(1);
}

void CTestResolverSetup::ShowPosition(double count) {
  diagram_.SetTheta(std::trunc(count) * 2.0 * std::numbers::pi / countsPerTurn_);
  diagram_.Repaint();
}

std::vector<CMyTestDlg::TestResultLine> CTestResolverSetup::ResultLines() const {
  if (Result() != 1) return {};
  return {{"ZAOFF", kestrel::FormatNumber("%.0f", GetSetup()->GetParameterValueInInternalUnit("ZAOFF"))}};
}

void CTestResolverSetup::OnCancel() {
  if (IsRunning() || Result() != 1) return CMC_TestDlg::OnCancel();
  EndDialog(IDOK);
}

const ui::MessageMap* CTestResolverSetup::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<CTestResolverSetup>(CMyTestDlg::GetMessageMap()).Timer(&CTestResolverSetup::OnTimer).Build();
  return &map;
}
