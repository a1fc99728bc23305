#include "commissioning/test_phase_connections.h"

#include <cmath>

#include "commissioning/program_names.h"
#include "commissioning/save_question.h"
#include "commissioning/test_current_counts.h"
#include "compute/scale_functions.h"
#include "drivebase/numeric.h"
#include "ui/data_exchange.h"

namespace kestrel {

bool PhaseCurrentsAreRight(double ia_A, double ib_A, double itest_A) {
  if (ib_A == 0.0) return false;
  const double ratio = std::fabs(ia_A / ib_A);
  return ratio > 1.5 && ratio < 2.5 && ia_A > 0.6 * itest_A && ia_A < 1.4 * itest_A && ia_A > 0.0 && ib_A < 0.0;
}

}  // namespace kestrel

namespace {

// Linear Hall and sin/cos motors run the incremental encoder's linear program; the preliminary
// program stays their own.
std::string PhaseProgramName(const CMC_Setup* setup) {
  const std::string prefix = kestrel::ProgramPrefix(setup);
  if (prefix == "LH" || prefix == "SC") return "IE_Motor_Phase_Connection_Test_LIN";
  return kestrel::TestProgramName(setup, "Motor_Phase_Connection_Test");
}

}  // namespace

CTestPhaseConnections::CTestPhaseConnections(CMC_Setup* setup, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent),
      preliminaryProgram_(kestrel::TestProgramName(setup, "Initial_Positioning_Test")),
      mainProgram_(PhaseProgramName(setup)) {
  m_nStepsNo = 4;
  SetHelpContext(kHelpContext);
  AddParameterControls("TestCurrent", 1005, 1017);
}

CTestPhaseConnections::~CTestPhaseConnections() = default;

double CTestPhaseConnections::TestCurrent_A() const { return testCurrent_ / GetCurrentScale(GetSetup()); }

bool CTestPhaseConnections::OnInitDialog() {
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  barA_.SubclassDlgItem(kCurrentABar, this);
  barB_.SubclassDlgItem(kCurrentBBar, this);
  CMyTestDlg::OnInitDialog();
  SetPurposeText("Checks the connection of the motor phases to the drive.");
  return true;
}

void CTestPhaseConnections::DoDataExchange(CDataExchange* pDX) {
  CMyTestDlg::DoDataExchange(pDX);
  if (pDX->m_bSaveAndValidate) return;
  barA_.SetValue(ia_A_);
  barB_.SetValue(ib_A_);
}

void CTestPhaseConnections::ShowBars(double ia_A, double ib_A) {
  barA_.SetValue(ia_A);
  barB_.SetValue(ib_A);
  barA_.Repaint();
  barB_.Repaint();
}

void CTestPhaseConnections::BeginTest() {
  CommitPendingEdits();
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  ia_A_ = ib_A_ = 0.0;
  SetChildText(kCurrentAEdit, "");
  SetChildText(kCurrentBEdit, "");
  const double itest_A = TestCurrent_A();
  for (CBarGraph* bar : {&barA_, &barB_}) bar->SetRange(-1.5 * itest_A, 1.5 * itest_A);
  ShowBars(0.0, 0.0);
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  LaunchProgram(kTexts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
}

void CTestPhaseConnections::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
}

void CTestPhaseConnections::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchPhaseProgram();
      return;
    case 3: LaunchPhaseProgram(); return;
    case 4: FinishPhaseProgram(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CTestPhaseConnections::LaunchPhaseProgram() {
  return LaunchProgram(kTexts, mainProgram_, mainImage_, nullptr,
                       {{"RefTest", references_.refTest}, {"RIncTest", references_.rIncTest}});
}

void CTestPhaseConnections::FinishPhaseProgram() {
  if (WaitForProgram(mainImage_) != ProgramState::Ended) return;
  double currentA = 0.0, currentB = 0.0;
  if (!ReadDriveValue("var_i1", true, currentA) || !ReadDriveValue("var_i2", true, currentB)) return;
  const double scale = GetCurrentScale(GetSetup());
  ia_A_ = RoundDecimalValue(currentA / scale, 2);
  ib_A_ = RoundDecimalValue(currentB / scale, 2);
  SetChildText(kCurrentAEdit, kestrel::FormatNumber("%.3G", ia_A_));
  SetChildText(kCurrentBEdit, kestrel::FormatNumber("%.3G", ib_A_));
  if (!kestrel::PhaseCurrentsAreRight(ia_A_, ib_A_, TestCurrent_A())) return Fail(kFailureText);
  ShowBars(ia_A_, ib_A_);
  TestSucceeded(1);
}

std::vector<CMyTestDlg::TestResultLine> CTestPhaseConnections::ResultLines() const {
  return {{"IA", kestrel::FormatG(ia_A_) + " A"},
          {"IB", kestrel::FormatG(ib_A_) + " A"},
          {"Itest", kestrel::FormatG(TestCurrent_A()) + " A"}};
}

const ui::MessageMap* CTestPhaseConnections::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestPhaseConnections>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CTestPhaseConnections::OnTimer)
                                        .Build();
  return &map;
}
