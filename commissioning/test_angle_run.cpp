// The run of the electric-angle controller test: the program with the logger, the upload drawn
// as it comes, the judgement of test_flag, Details, the plots and the results for kestrel test.
#include <cmath>
#include <cstdio>

#include "commissioning/save_question.h"
#include "commissioning/test_angle.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"
#include "ui/event_loop.h"

namespace {

constexpr double kProtectionTripped = -1.0, kNotStabilized = -2.0, kNoMotion = -3.0;

}  // namespace

CTestAngle::Outcome CTestAngle::JudgeRun(double testFlag, std::optional<double> theta1) {
  if (testFlag == drivebase::kNoValue) return {msc_pszErrInternal, false};
  if (testFlag == kProtectionTripped) return {kProtectionText, false};
  if (testFlag == kNoMotion) return {kTooLittleCurrentText, false};
  if (testFlag != kNotStabilized) return {};
  if (!theta1) return {kNotStabilizedText, true};
  char text[1024];
  std::snprintf(text, sizeof text, kNotStabilizedAtText, kestrel::TruncatedWithin<int>(*theta1));
  return {text, true};
}

void CTestAngle::BeginTest() {
  CommitPendingEdits();
  RefreshAllParameters();
  const CMC_Setup* setup = GetSetup();
  const double maxCurrent = setup->GetParameterValueInInternalUnit("MAX_CURRENT");
  const double increment = setup->GetParameterValueInInternalUnit("REF_INC");
  const double timeLimit = setup->GetParameterValueInInternalUnit("TIME_LIMIT");
  m_bTestRunning = 1;
  m_nResult = -1;
  hint_ = false;
  testFlag_.reset();
  theta1_.reset();
  m_nStep = 0;
  if (program_.empty()) return Fail(kNoProgramText);
  ConfigureLogger();
  LaunchProgram(kTexts, program_, image_, logger_.get(),
                {{"In1", maxCurrent}, {"ReferenceIncrement", increment}, {"TimeLimit", timeLimit}});
  ShowRunState();
}

void CTestAngle::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
  ShowRunState();
}

void CTestAngle::Tick() {
  switch (m_nStep) {
    case 2: FinishProgram(); return;
    case 3:
      // Only an upload that has begun has points to read.
      if (logger_ == nullptr || !logger_->UploadInProgress()) return Fail(msc_pszErrInternal);
      UploadLoop();
      return;
    default: Fail(msc_pszErrInternal); return;
  }
}

void CTestAngle::FinishProgram() {
  if (WaitForProgram(image_) != ProgramState::Ended) return;
  if (logger_ == nullptr || !logger_->BeginUploadData()) return Fail(msc_pszErrInternal);
  graph_.Invalidate();
  ShowStepText(kTexts);
  UploadLoop();
}

// Each point is drawn as it comes, and the messages pending meanwhile are dispatched, so that
// Stop and the dialog stay usable.
void CTestAngle::UploadLoop() {
  graph_.DoZoomOut();
  while (logger_ != nullptr && logger_->ReadPoint() != 0) {
    graph_.UpdateLastPoint();
    ui::CurrentEventLoop().Pump();
    if (m_bStopRequested != 0) break;
  }
  graph_.DoZoomOut();
  if (!IsRunning() || m_bStopRequested != 0) return;
  JudgeTestFlag();
}

void CTestAngle::JudgeTestFlag() {
  double testFlag = 0.0;
  if (GetUserVariableValue(&image_, "test_flag", testFlag, m_strErrorText) == 0) return TestFailed(1);
  testFlag_ = testFlag;
  // A program that a drive error ended never judged its run and left test_flag at 0: the error
  // fails the test rather than pass for an unknown code.
  if (testFlag == 0.0 && CheckDriveErrors(1, kEveryDriveError) == 0) return;
  // A theta_1 that cannot be read, or reads no value, gives the unsettled angle's text without it.
  double theta1 = 0.0;
  std::string ignored;
  if (GetUserVariableValue(&image_, "theta_1", theta1, ignored) != 0 && theta1 != drivebase::kNoValue) theta1_ = theta1;
  const Outcome outcome = JudgeRun(testFlag, theta1_);
  hint_ = outcome.hint;
  if (outcome.failure) return Fail(*outcome.failure);
  TestSucceeded(1);
}

// The error text; after an unsettled angle the box also offers the help on tuning the controller.
void CTestAngle::OnDetails() {
  if (ErrorText().empty()) return;
  const unsigned style = MB_OK | MB_ICONERROR | (hint_ ? MB_HELP : 0u);
  if (MessageBox(ErrorText(), "", style) == IDHELP) ShowHelp(kHelpContext);
}

void CTestAngle::OnSavePlots() {
  if (logger_ == nullptr || IsRunning()) return;
  std::string error;
  if (!SaveAllPlots(error)) MessageBox(error, "", MB_ICONERROR);
}

bool CTestAngle::SaveAllPlots(std::string& error) {
  if (logger_ == nullptr) return true;
  if (logger_->SaveGraph(kPlotName)) return true;
  error = "The plots could not be saved as " + std::string(kPlotName) + ".svg and .csv.";
  return false;
}

std::vector<CMyTestDlg::TestResultLine> CTestAngle::ResultLines() const {
  std::vector<TestResultLine> lines{GainLine(kestrel::kAngleProportional), GainLine(kestrel::kAngleIntegral)};
  if (testFlag_) {
    const double flag = *testFlag_;
    const char* meaning = flag == kProtectionTripped ? "current protection triggered"
                          : flag == kNotStabilized   ? "angle not stabilized"
                          : flag == kNoMotion        ? "no motion: too little test current"
                          : flag == 0.0              ? "not judged: the program was ended before"
                                                     : "angle stabilized";
    lines.push_back({"test_flag", kestrel::FormatG(flag) + " (" + meaning + ")"});
  }
  if (theta1_) lines.push_back({"theta_1", std::to_string(kestrel::TruncatedWithin<int>(*theta1_))});
  if (logger_ != nullptr && logger_->GetPointsNo() > 0) {
    const CGraphDocument& document = logger_->GetGraphDocument();
    lines.push_back({"Final Electric_Angle", kestrel::FormatG(document.Value(document.RowCount() - 1, 2))});
  }
  return lines;
}
