// The tuning tests' live plots: the drive's scope and its unsolicited frames, the values read by
// the test on drives without a scope, the pause buttons, Stop during a live run, and the plot's
// context menu with its commands.
#include <array>

#include "commissioning/save_question.h"
#include "commissioning/tuning_test.h"
#include "drivebase/comm.h"
#include "drivebase/variable.h"
#include "dialogs/setup_values.h"
#include "ui/event_loop.h"
#include "ui/menu.h"

namespace {

constexpr std::uint16_t kScopeFrameCode = 0xE900;
constexpr int kFrameHeaderBytes = 6;  // length, axis, code

constexpr const char* kLivePlotMenuJson = R"({"id": 101, "popups": [{"text": "Live plot", "items": [
  {"id": 10062, "text": "&Edit settings..."}, {"id": 10063, "text": "&Restore default settings"},
  {"id": 10064, "text": "&Autoscale"}, {"separator": true},
  {"id": 10065, "text": "&Load plot..."}, {"id": 10066, "text": "&Save plot..."}, {"separator": true},
  {"id": 10067, "text": "Save plot as &picture and points"}, {"id": 10068, "text": "Save plot as &metafile"},
  {"id": 10069, "text": "E&xport as text"}]}]})";

}  // namespace

void CTuningTest::RegisterLivePlotMenu() {
  ui::MenuResources().Add(ui::ParseMenuResource(kLivePlotMenuJson, "live plot menu 101"));
}

int CTuningTest::OnUnsolicitedMessage(const std::uint16_t* message) {
  if (message == nullptr) return 0;
  CTuningTest* test = openTest_;
  if (message[2] != kScopeFrameCode) {
    // Not a scope frame: the handler that was installed before the test's gets it.
    return test != nullptr && test->previousHandler_ != nullptr ? test->previousHandler_(message) : 0;
  }
  if (test == nullptr || test->scope_ == nullptr) return kScopeFrameCode;
  const auto* payload = reinterpret_cast<const std::uint8_t*>(message) + kFrameHeaderBytes;
  if (test->scope_->OnFrameReceive(payload, message[0] * 2) > 0) test->DrawFramePoints();
  return kScopeFrameCode;
}

// The points the last frame wrote, each at its place in the window; the plot is repainted each
// time the window starts again.
void CTuningTest::DrawFramePoints() {
  frameReceived_ = true;
  const std::size_t points = scope_->GetPointsNo();
  if (points == 0) return;
  framesSeen_ = true;
  const std::size_t first = scope_->FirstPointToBeDrawn();
  for (int k = 0; k < scope_->GetPointsToBeDrawn(); ++k) {
    const std::size_t index = (first + static_cast<std::size_t>(k)) % points;
    if (index < drawnIndex_) liveGraph_.RefreshGraph();
    liveGraph_.UpdatePoint(index);
    drawnIndex_ = index;
  }
}

// Frames are taken as they come until the scope's single window is full or the user stops.
void CTuningTest::WatchScopeRun() {
  while (IsRunning() && m_bStopRequested == 0) {
    frameReceived_ = false;
    if (scope_->DoGracefulStop()) {
      CMC_TestDlg::OnBtnStartStop();
      m_bStopRequested = 0;
      m_bContinuousRun = 0;
      if (RunChecks(true)) TestSucceeded(1);
      scope_->EndUploadData();
      return;
    }
    CMC_Comm::CheckForUnrequestedMessages();
    if (!scope_->UploadInProgress()) break;
    if (!frameReceived_ && !RunChecks(true)) return scope_->EndUploadData();
    ui::CurrentEventLoop().Pump();
  }
  scope_->EndUploadData();
  if (!IsRunning()) return;
  if (m_bStopRequested == 0) return Fail(msc_pszErrInternal);  // the upload ended by itself
  // Stopped by the user: the frames seen are the result; a scope that never triggered saw none.
  TakeUpStop();
  m_bContinuousRun = 0;
  if (!RunChecks(true)) return;
  if (!framesSeen_) return FailForMissingData(true);
  TestSucceeded(1);
}

// Without the drive's scope the test reads the reference and the measured value itself.
void CTuningTest::WatchOscilloscopeRun() {
  OnContinue();
  CMC_Setup* setup = GetSetup();
  CMC_Variable* reference = setup->FindVariable(loop_.liveVariables[0], 1);
  CMC_Variable* measured = setup->FindVariable(loop_.liveVariables[1], 1);
  if (reference == nullptr || measured == nullptr) return Fail(msc_pszErrInternal);
  measured->ChangeUnitType(reference->GetUnitName());
  const std::array<CMC_Variable*, 2> variables{reference, measured};
  while (m_bStopRequested == 0 && IsRunning()) {
    if (!paused_) {
      std::array<double, 2> values{};
      for (std::size_t k = 0; k < variables.size(); ++k) {
        if (!variables[k]->ReadFromChip()) return Fail(CMC_Comm::GetLastErrorText());
        values[k] = variables[k]->GetValueInInternalUnit();
        const std::string& unit = variables[k]->GetUnitName();
        SetChildText(loop_.liveValueIds[k], kestrel::FormatG(variables[k]->GetValueInDisplayUnit()) +
                                                (unit.empty() || unit == "IU" ? " IU" : " " + unit));
      }
      oscilloscope_.AddLastPoint(values);
      liveGraph_.UpdateLastPoint();
    }
    if (!RunChecks(true)) return;
    ui::CurrentEventLoop().Pump();
  }
  if (!IsRunning()) return;
  TakeUpStop();
  m_bContinuousRun = 0;
  TestSucceeded(1);
}

void CTuningTest::OnBtnStartStop() {
  if (IsRunning() && OnlineMode() && scope_ != nullptr && scope_->UploadInProgress()) {
    scope_->EndUploadData();
    // An upload still in progress ignores the first press; the second stops the program anyway.
    if (scope_->UploadInProgress() && !stopPressedDuringUpload_) {
      stopPressedDuringUpload_ = true;
      return;
    }
    m_bContinuousRun = 0;
  }
  // The host's stop: asks the drive once to stop the program; a press after that sends nothing.
  CMC_TestDlg::OnBtnStartStop();
  // Multiple cycles: the next tick takes the stop up at once.
  if (IsRunning() && m_bStopRequested != 0 && !OnlineMode() && m_bContinuousRun != 0) {
    KillTimer(drivebase::kTestTimer);
    RestartTick(1);
  }
}

void CTuningTest::OnPause() {
  paused_ = true;
  EnableChild(kPauseButton, false);
  EnableChild(kContinueButton, true);
}

void CTuningTest::OnContinue() {
  paused_ = false;
  EnableChild(kPauseButton, true);
  EnableChild(kContinueButton, false);
}

// The live values' legend: each swatch in the colour of its channel on the live plot, the
// reference in palette entry 2, the measured value in entry 5.
void CTuningTest::OnCtlColor(CDC& dc, CWnd& control) {
  const int id = control.GetDlgCtrlID();
  if (id == kReferenceSwatch) dc.SetBkColor(RGB16(2));
  if (id == kMeasuredSwatch) dc.SetBkColor(RGB16(5));
}

void CTuningTest::OnContextMenu(CWnd* window, CPoint point) {
  if (scope_ == nullptr || IsRunning() || window != GetDlgItem(kLiveGraph)) return;
  CMenu menu;
  if (!menu.LoadMenu(kLivePlotMenu)) return;
  if (CMenu* popup = menu.GetSubMenu(0)) popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
}

void CTuningTest::OnLivePlotCommand(unsigned id) {
  if (scope_ == nullptr || IsRunning()) return;
  switch (id) {
    case 10062:
      if (scope_->Edit(this) != IDOK) return;
      break;
    case 10063:
      scopeSettingsChanged_ = false;
      SetScopeDefaults();
      break;
    case 10064: scope_->Autoscale(); break;
    case 10065:
    case 10066: {
      const bool save = id == 10066;
      const std::string path = DoPromptScopeLoggerFileName(save ? 1 : 0, loop_.plotName, this);
      if (path.empty()) return;
      if (!(save ? scope_->Save(path) : scope_->Load(path))) {
        MessageBox(scope_->LastError(), "", MB_ICONERROR);
        return;
      }
      break;
    }
    default: return;
  }
  scopeSettingsChanged_ = true;
  liveGraph_.RefreshGraph();
}

// The live graph asks for another scale of a channel: low word the channel, high word the scale.
LRESULT CTuningTest::OnScaleChange(WPARAM wParam, LPARAM lParam) {
  if (scope_ == nullptr || static_cast<int>(wParam) != kLiveGraph) return 0;
  const auto value = static_cast<std::uintptr_t>(lParam);
  scope_->ChangeChannelScale(static_cast<int>(LOWORD(value)), HIWORD(value));
  liveGraph_.RefreshGraph();
  return 0;
}

void CTuningTest::OnSavePlots() {
  if (IsRunning()) return;
  std::string error;
  if (!SaveAllPlots(error)) MessageBox(error, "", MB_ICONERROR);
}

// The graph shown: the live plot in on-line mode, else the data logger's.
void CTuningTest::OnSaveMetafile() {
  if (IsRunning()) return;
  std::string error;
  const CGraphWindow& graph = OnlineMode() ? liveGraph_ : loggerGraph_;
  if (!graph.CreateWMF(loop_.plotName, error)) MessageBox(error, "", MB_ICONERROR);
}

void CTuningTest::OnExportText() {
  if (IsRunning()) return;
  std::string error;
  const CGraphWindow& graph = OnlineMode() ? liveGraph_ : loggerGraph_;
  if (graph.Filter() != nullptr && !graph.Filter()->ExportToASCII(loop_.plotName, error)) {
    MessageBox(error, "", MB_ICONERROR);
  }
}
