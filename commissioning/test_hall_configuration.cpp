#include "commissioning/test_hall_configuration.h"

#include <numbers>

#include "commissioning/program_names.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"

namespace kestrel {

bool IsValidHallConfiguration(int code) { return code >= 2 && code <= 13; }

}  // namespace kestrel

namespace {

using kestrel::dialogs::Value;

// The digital Halls are the incremental encoder's companions: its programs, linear or rotary.
std::string IncrementalProgram(const CMC_Setup* setup, std::string_view baseName) {
  return kestrel::ProgramName("IE", baseName, kestrel::dialogs::Code(setup, "TransmissionType"));
}

}  // namespace

CTestHallConfiguration::CTestHallConfiguration(CMC_Setup* setup, CWnd* parent)
    : CTestHallConfiguration(setup, false, kTemplateId, parent) {}

CTestHallConfiguration::CTestHallConfiguration(CMC_Setup* setup, bool linear, unsigned templateId, CWnd* parent)
    : CMyTestDlg(setup, templateId, 1, parent),
      preliminaryProgram_(IncrementalProgram(setup, "Initial_Positioning_Test")),
      mainProgram_(IncrementalProgram(setup, "Hall_Configuration_Detection_Test")),
      lines_(kestrel::TruncatedWithin<int>(Value(setup, "No_encoder_lines"))),
      displays_(*this, linear) {
  m_nStepsNo = 4;
  SetHelpContext(kHelpContext);
  AddParameterControls("TestCurrent", 1005, 1017);
}

CTestHallConfiguration::~CTestHallConfiguration() = default;

CTestHallConfiguration_lin::CTestHallConfiguration_lin(CMC_Setup* setup, CWnd* parent)
    : CTestHallConfiguration(setup, true, kTemplateId, parent) {}

bool CTestHallConfiguration::OnInitDialog() {
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  displays_.Attach(true);
  CMyTestDlg::OnInitDialog();
  SetPurposeText("Detects the Hall sensor configuration (the commutation sequence) and the Hall sensors shift.");
  return true;
}

void CTestHallConfiguration::BeginTest() {
  CommitPendingEdits();
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  code_ = shift_ = 0;
  SetChildText(kCodeEdit, "");
  SetChildText(HallTestDisplays::kPositionEdit, "");
  displays_.Reset(GetSetup());
  LaunchProgram(kTexts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
}

void CTestHallConfiguration::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
}

void CTestHallConfiguration::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchDetectionProgram();
      return;
    case 3: LaunchDetectionProgram(); return;
    case 4: FollowDetection(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CTestHallConfiguration::LaunchDetectionProgram() {
  return LaunchProgram(kTexts, mainProgram_, mainImage_, nullptr,
                       {{"In1", double(testCurrent_)},
                        {"RefTest", references_.refTest},
                        {"RIncTest", references_.rIncTest}});
}

// While the program sweeps, every Hall state it passes is marked; each stays marked.
void CTestHallConfiguration::FollowDetection() {
  const ProgramSign sign = LookAtProgram(mainImage_);
  if (sign == ProgramSign::Unreadable) return TestFailed(1);
  if (sign == ProgramSign::NotStarted) {
    if (CheckDriveErrors(1, kEnergisingErrorMask) != 0) RestartTick();
    return;
  }
  double state = 0.0;
  if (!ReadProgramValue(mainImage_, "H123", state)) return;
  displays_.State().Mark(kestrel::TruncatedWithin<int>(state));
  if (sign == ProgramSign::AxisOn) {
    RestartTick();
    return;
  }
  if (CheckDriveErrors(1, kEnergisingErrorMask) == 0) return;
  if (m_bStopRequested != 0) return Fail(kStoppedText);
  ReadOutcome();
}

void CTestHallConfiguration::ReadOutcome() {
  double position = 0.0, angle = 0.0, code = 0.0;
  if (!ReadDriveValue(displays_.Linear() ? "APOS_MT" : "POSINC", true, position) ||
      !ReadDriveValue("THTST", true, angle) || !ReadDriveValue("HALLCASE", true, code)) {
    return;
  }
  code_ = kestrel::TruncatedWithin<int>(code);
  SetChildText(kCodeEdit, std::to_string(code_));
  ShowPosition(kestrel::TruncatedWithin<int>(position));
  const int thtst = kestrel::TruncatedWithin<int>(angle);
  displays_.ShowPhaseAngle((thtst + kPhaseAngleOffset) * 2.0 * std::numbers::pi / 65536.0);
  if (!kestrel::IsValidHallConfiguration(code_)) return Fail(kNoValidCombinationText);
  double shift = 0.0;
  if (!ReadProgramValue(mainImage_, "delta_el_pos", shift)) return;
  shift_ = kestrel::TruncatedWithin<int>(shift);
  TestSucceeded(1);
}

// A rotary motor shows the position within one revolution (the remainder keeps the sign of the
// count) and its angle; a linear motor its position along the pole pitch.
void CTestHallConfiguration::ShowPosition(int position) {
  if (displays_.Linear()) {
    SetChildText(HallTestDisplays::kPositionEdit, std::to_string(position));
    return displays_.ShowLinearPosition(position);
  }
  // Without encoder lines there is no revolution to take the remainder of.
  if (lines_ < 1) return SetChildText(HallTestDisplays::kPositionEdit, std::to_string(position));
  const int withinRevolution = position % (4 * lines_);
  SetChildText(HallTestDisplays::kPositionEdit, std::to_string(withinRevolution));
  displays_.ShowEncoderAngle(withinRevolution * std::numbers::pi * 0.5 / lines_);
}

std::vector<kestrel::ComparedValue> CTestHallConfiguration::ComparedValues() const {
  const CMC_Setup* setup = GetSetup();
  return {{"Hall configuration", double(kestrel::TruncatedWithin<int>(Value(setup, "HALLCASE"))), double(code_), true},
          {"Hall sensors shift", double(kestrel::TruncatedWithin<int>(Value(setup, "HALL30"))), double(shift_), true}};
}

void CTestHallConfiguration::AcceptResults() {
  kestrel::dialogs::SetValue(GetSetup(), "HALLCASE", code_);
  kestrel::dialogs::SetValue(GetSetup(), "HALL30", shift_);
}

std::vector<CMyTestDlg::TestResultLine> CTestHallConfiguration::ResultLines() const {
  return {{"HALLCASE", std::to_string(code_)}, {"HALL30", std::to_string(shift_)}};
}

const ui::MessageMap* CTestHallConfiguration::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestHallConfiguration>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CTestHallConfiguration::OnTimer)
                                        .Build();
  return &map;
}
