#include "commissioning/test_hall_signals.h"

#include <algorithm>
#include <numbers>

#include "commissioning/program_names.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"

namespace kestrel {

void MarkHallSignals(HallSignalFlags& flags, int state) {
  for (std::size_t signal = 0; signal < flags.size(); ++signal) {
    const int bit = 4 >> signal;
    flags[signal] |= (state & bit) != 0 ? 2 : 1;
  }
}

}  // namespace kestrel

namespace {

constexpr int kToggled = 3;

// The digital Halls are read by the incremental encoder's program whatever the transmission.
std::string HallSignalsProgram() { return kestrel::ProgramName("IE", "Hall_Signals_Connection_Test", 0); }

}  // namespace

CTestHallSignals::CTestHallSignals(CMC_Setup* setup, CWnd* parent)
    : CTestHallSignals(setup, false, kTemplateId, parent) {}

CTestHallSignals::CTestHallSignals(CMC_Setup* setup, bool linear, unsigned templateId, CWnd* parent)
    : CMyTestDlg(setup, templateId, 1, parent),
      program_(HallSignalsProgram()),
      lines_(kestrel::TruncatedWithin<int>(kestrel::dialogs::Value(setup, "No_encoder_lines"))),
      displays_(*this, linear) {
  m_nStepsNo = 3;
  SetHelpContext(kHelpContext);
}

CTestHallSignals::~CTestHallSignals() = default;

CTestHallSignals_lin::CTestHallSignals_lin(CMC_Setup* setup, CWnd* parent)
    : CTestHallSignals(setup, true, kTemplateId, parent) {}

bool CTestHallSignals::OnInitDialog() {
  PrepareProgram(program_, image_);
  displays_.Attach(false);
  CMyTestDlg::OnInitDialog();
  SetPurposeText("Checks the three Hall sensor signals while the motor is moved by hand.");
  return true;
}

void CTestHallSignals::BeginTest() {
  CommitPendingEdits();
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  for (const int edit : kResultEdits) SetChildText(edit, "");
  flags_ = {};
  displays_.Reset(GetSetup());
  LaunchProgram(kTexts, program_, image_, nullptr, {});
}

std::optional<CMyTestDlg::HandMove> CTestHallSignals::UnattendedHandMove() const {
  if (!displays_.Linear()) return HandMove{2.0 * std::numbers::pi, 4.0};
  return HandMove{4.0 * kestrel::dialogs::Value(GetSetup(), "PolePitch"), 4.0};
}

void CTestHallSignals::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  if (m_nStep != 2) return Fail(msc_pszErrInternal);
  Watch();
}

void CTestHallSignals::Watch() {
  if (CheckDriveErrors(1, kMonitorMask) == 0) return;
  double position = 0.0, state = 0.0;
  if (!ReadDriveValue("APOS_MT", true, position) || !ReadDriveValue("HALL", true, state)) return;
  SetChildText(HallTestDisplays::kPositionEdit, std::to_string(kestrel::TruncatedWithin<int>(position)));
  ShowPosition(position);
  const int hall = kestrel::TruncatedWithin<int>(state);
  // A state seen again changes neither the flags nor the display.
  kestrel::MarkHallSignals(flags_, hall);
  displays_.State().Show(hall);
  RestartTick();
}

void CTestHallSignals::ShowPosition(double position) {
  if (displays_.Linear()) return displays_.ShowLinearPosition(position);
  // Without encoder lines the angle cannot be known: the diagram stays where it is.
  if (lines_ < 1) return;
  displays_.ShowEncoderAngle(position * std::numbers::pi / lines_ * 0.5);
}

// Stop while the signals are watched judges them; any other Stop (or a close) is the host's.
void CTestHallSignals::OnBtnStartStop() {
  if (!IsRunning() || m_nStep != 2 || CloseRequested()) return CMyTestDlg::OnBtnStartStop();
  KillTimer(drivebase::kTestTimer);
  FinishOnStop();
}

void CTestHallSignals::FinishOnStop() {
  double statesSeen = 0.0, bad = 0.0;
  if (!ReadDriveValue("var_i2", true, statesSeen) || !ReadProgramValue(image_, "bad", bad)) return;
  bool allToggled = true;
  for (std::size_t signal = 0; signal < flags_.size(); ++signal) {
    const bool toggled = flags_[signal] == kToggled;
    allToggled = allToggled && toggled;
    SetChildText(kResultEdits[signal], toggled ? "OK" : "Bad");
  }
  // The monitoring program is told to end (var_i2 := 1) before the outcome is reported, whichever
  // it is. It ends on any value of var_i2 but the count it wrote last, and a failed run may have
  // left a count of 1: a failed run also stops the program.
  if (!WriteDriveValue("var_i2", 1.0)) return;
  const bool driveSawAll = bad == 0.0 && statesSeen == kAllStates;
  if (!driveSawAll || !allToggled) {
    CMC_Comm::StopProgram();
    return Fail(driveSawAll ? kNotAllTransitionsText : kNoTransitionsText);
  }
  ShowStepText(kTexts);
  TestSucceeded(1);
}

std::vector<CMyTestDlg::TestResultLine> CTestHallSignals::ResultLines() const {
  std::vector<TestResultLine> lines;
  for (std::size_t signal = 0; signal < flags_.size(); ++signal) {
    lines.push_back({"Hall " + std::to_string(signal + 1), flags_[signal] == kToggled ? "OK" : "Bad"});
  }
  return lines;
}

const ui::MessageMap* CTestHallSignals::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<CTestHallSignals>(CMyTestDlg::GetMessageMap()).Timer(&CTestHallSignals::OnTimer).Build();
  return &map;
}
