// The run of a commissioning test: Start, the two phases of Stop, the reports that end a run,
// their display, and closing a running test.
#include "drivebase/test_dlg.h"

#include "drivebase/comm.h"
#include "drivebase/gui_resources.h"
#include "ui/event_loop.h"
#include "ui/message_map.h"

const char* const CMC_TestDlg::msc_pszErrInternal = "Internal error: the drive did not answer as the test expects.";
const char* const CMC_TestDlg::msc_pszErrInZero =
    "The test current is too small: the drive measured no current. Please increase the test current.";
const char* const CMC_TestDlg::kStoppedText = "Test stopped by the user.";

CMC_TestDlg::CMC_TestDlg(CMC_Setup* setup, unsigned templateId, int flag, CWnd* parent)
    : CMC_EditSetupDlg(setup, templateId, flag, {}, parent) {}

CMC_TestDlg::~CMC_TestDlg() = default;

// A test that draws no plot has none to save.
bool CMC_TestDlg::SaveAllPlots(std::string&) { return true; }

const ui::MessageMap* CMC_TestDlg::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CMC_TestDlg>(CMC_EditSetupDlg::GetMessageMap())
                                        .Command(drivebase::kStartStopButton, &CMC_TestDlg::OnBtnStartStop)
                                        .Command(drivebase::kDetailsButton, &CMC_TestDlg::OnDetails)
                                        .Timer(&CMC_TestDlg::OnTimer)
                                        .Build();
  return &map;
}

bool CMC_TestDlg::OnInitDialog() {
  CMC_EditSetupDlg::OnInitDialog();
  closeRequested_ = false;
  SetChildText(drivebase::kStartStopButton, m_bTestRunning != 0 ? drivebase::kStopText : drivebase::kStartText);
  Display(outcome_);
  return true;
}

void CMC_TestDlg::BeginTest() {}

void CMC_TestDlg::OnBtnStartStop() {
  if (m_bTestRunning == 0) {
    // A Start clicked while a handler pumps messages would begin a run inside the old one's loop.
    if (ui::CurrentEventLoop().PumpDepth() > 0 || closeRequested_) return;
    KillTimer(drivebase::kHostStopTimer);
    m_bStopRequested = 0;
    m_bStopDone = 0;
    m_strErrorText.clear();
    outcome_ = Outcome::none;
    Display(outcome_);
    SetChildText(drivebase::kStartStopButton, drivebase::kStopText);
    BeginTest();
    // A test that did not start (nor report) leaves the button as it was.
    if (m_bTestRunning == 0 && outcome_ == Outcome::none) {
      SetChildText(drivebase::kStartStopButton, drivebase::kStartText);
    }
    return;
  }
  if (m_bStopRequested != 0) return;
  m_bStopRequested = 1;
  // A drive that cannot take the stop cannot be asked for its axis either: the poll ends the run.
  CMC_Comm::StopProgram();
  if (SetTimer(drivebase::kHostStopTimer, drivebase::kHostStopPoll_ms) == 0) PollStoppedProgram();
}

void CMC_TestDlg::OnTimer(std::uintptr_t id) {
  if (id == drivebase::kHostStopTimer) {
    PollStoppedProgram();
    return;
  }
  CWnd::OnTimer(id);
}

void CMC_TestDlg::PollStoppedProgram() {
  int on = 0;
  if (GetAxisOn(on) != 0 && on != 0) return;  // still ramping down: polled again
  KillTimer(drivebase::kHostStopTimer);
  m_bStopDone = 1;
  if (m_bTestRunning == 0) return;  // the test took the stop up and reported itself
  m_strErrorText = kStoppedText;
  TestFailed(1);
}

void CMC_TestDlg::TestFailed(int end) {
  if (end == 0) {
    Display(Outcome::failed);
    return;
  }
  if (m_bTestRunning != 0) EndRun(false);
}

void CMC_TestDlg::TestSucceeded(int end) {
  if (end == 0) {
    Display(Outcome::passed);
    return;
  }
  if (m_bTestRunning != 0) EndRun(true);
}

void CMC_TestDlg::EndRun(bool succeeded) {
  m_bTestRunning = 0;
  if (succeeded) m_nResult = 1;
  outcome_ = succeeded ? Outcome::passed : Outcome::failed;
  KillTimer(drivebase::kTestTimer);
  SetChildText(drivebase::kStartStopButton, drivebase::kStartText);
  Display(outcome_);
  if (closeRequested_ && GetSafeHwnd() != nullptr) EndDialog(IDCANCEL);
}

void CMC_TestDlg::Display(Outcome outcome) {
  if (outcome == Outcome::none) {
    SetChildText(drivebase::kOutcomeText, "");
    ShowChild(drivebase::kStatusIcon, false);
    ShowChild(drivebase::kDetailsButton, false);
    return;
  }
  const bool passed = outcome == Outcome::passed;
  const char* text = passed ? drivebase::kTestPassedText : drivebase::kTestFailedText;
  const char* bitmap = passed ? drivebase::kTestPassedBitmap : drivebase::kTestFailedBitmap;
  SetChildText(drivebase::kOutcomeText, text);
  if (CMC_Setup::GetGuiModule().HasBitmap(bitmap)) {
    SetChildBitmap(drivebase::kStatusIcon, bitmap);
  } else {
    SetChildText(drivebase::kStatusIcon, text);
  }
  ShowChild(drivebase::kStatusIcon, true);
  if (!passed) SetChildText(drivebase::kProgressText, m_strErrorText);
  ShowChild(drivebase::kDetailsButton, !passed);
}

void CMC_TestDlg::OnDetails() {
  if (!m_strErrorText.empty()) MessageBox(m_strErrorText, "", MB_OK | MB_ICONERROR);
}

void CMC_TestDlg::OnCancel() {
  if (m_bTestRunning == 0) {
    CMC_EditSetupDlg::OnCancel();
    return;
  }
  closeRequested_ = true;
  if (m_bStopRequested == 0) OnBtnStartStop();
}

void CMC_TestDlg::SetInfoText(const std::string& text) {
  SetChildText(drivebase::kProgressText, text);
  ++m_nStep;
}

void CMC_TestDlg::SetPurposeText(const std::string& text) { SetChildText(drivebase::kPurposeText, text); }
