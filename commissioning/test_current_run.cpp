// The run of the current test: the preliminary program, the step program with the logger, and
// the upload drawn as it comes.
#include <cstdint>

#include "commissioning/test_current.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"
#include "ui/event_loop.h"

int CTestCurrent::SaturatedCurrent(double internal) { return kestrel::TruncatedWithin<std::int16_t>(internal); }

void CTestCurrent::BeginTest() {
  CommitPendingEdits();
  RefreshAllParameters();
  RecomputeFilterAndOffset();
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  for (const int id : {kRiseTimeText, kOvershootText, kSettlingText}) SetChildText(id, "");
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  LaunchProgram(kTexts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
  ShowRunState();
}

void CTestCurrent::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
  ShowRunState();
}

void CTestCurrent::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) {
        ShowStepText(kTexts);
        LaunchStepProgram();
      }
      return;
    case 3: LaunchStepProgram(); return;
    case 4: FinishStepProgram(); return;
    case 5:
      // Only an upload that has begun has points to read.
      if (logger_ == nullptr || !logger_->UploadInProgress()) return Fail(msc_pszErrInternal);
      UploadLoop();
      return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CTestCurrent::LaunchStepProgram() {
  const CMC_Setup* setup = GetSetup();
  return LaunchProgram(kTexts, mainProgram_, mainImage_, logger_.get(),
                       {{"RefTest", references_.refTest},
                        {"RIncTest", references_.rIncTest},
                        {"In1", double(SaturatedCurrent(setup->GetParameterValueInInternalUnit("TestCurrent")))},
                        {"Imax_Prot_Test", double(SaturatedCurrent(setup->GetParameterValueInInternalUnit("TestProtectionCurrent")))}});
}

void CTestCurrent::FinishStepProgram() {
  if (WaitForProgram(mainImage_) != ProgramState::Ended) return;
  double testFlag = 0.0;
  if (!ReadProgramValue(mainImage_, "test_flag", testFlag)) return;
  if (testFlag <= 0.0) return Fail(kTexts[6]);
  if (logger_ == nullptr || !logger_->BeginUploadData()) return Fail(msc_pszErrInternal);
  graph_.Invalidate();
  ShowStepText(kTexts);
  UploadLoop();
}

// Each point is drawn as it comes, and the messages pending meanwhile are dispatched, so that
// Stop and the dialog stay usable.
void CTestCurrent::UploadLoop() {
  StartComparisonPlot();
  graph_.DoZoomOut();
  while (logger_ != nullptr && logger_->ReadPoint() != 0) {
    AddComparisonRow();
    graph_.UpdateLastPoint();
    ui::CurrentEventLoop().Pump();
    if (m_bStopRequested != 0 && m_bStopDone != 0) break;
    if (!IsRunning() && m_bStopRequested == 0) {
      graph_.DoZoomOut();
      return;
    }
  }
  graph_.DoZoomOut();
  if (!IsRunning()) return;
  FinishStepFigures();
  TestSucceeded(1);
}
