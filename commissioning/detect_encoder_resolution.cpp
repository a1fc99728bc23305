#include "commissioning/detect_encoder_resolution.h"

#include <cmath>
#include <numbers>

#include "commissioning/hall_test_displays.h"
#include "commissioning/test_current_counts.h"
#include "compute/setup_access.h"
#include "commissioning/program_names.h"
#include "commissioning/save_question.h"
#include "commissioning/hall_test_displays.h"
#include "commissioning/test_current_counts.h"
#include "compute/registers.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"
#include "drivebase/numeric.h"

namespace {

using kestrel::OptionalInternalValue;
using kestrel::TruncatedWithin;
using kestrel::dialogs::Code;
using kestrel::dialogs::Has;
using kestrel::dialogs::SameName;
using kestrel::dialogs::Value;

}  // namespace

// The member's programs: the incremental encoder's (IE) or the sine/cosine encoder's (SC), the
// linear variant where the drive has one.
std::string CDetectEncoderResolution::MemberProgram(const CMC_Setup* setup, Variant variant,
                                                    std::string_view baseName) {
  return kestrel::ProgramName(variant.sinCos ? "SC" : "IE", baseName, Code(setup, "TransmissionType"));
}

CDetectEncoderResolution::CDetectEncoderResolution(CMC_Setup* setup, CWnd* parent)
    : CDetectEncoderResolution(setup, parent, {kTemplateId, false, false}) {}

CDetectEncoderResolution::CDetectEncoderResolution(CMC_Setup* setup, CWnd* parent, Variant variant)
    : CMyTestDlg(setup, variant.templateId, 1, parent),
      variant_(variant),
      preliminaryProgram_(MemberProgram(setup, variant, "Initial_Positioning_Test")),
      mainProgram_(MemberProgram(setup, variant, "Encoder_Resolution_And_Direction_Test")),
      lines_(TruncatedWithin<int>(Value(setup, "No_encoder_lines"))),
      interpolationBits_(variant.sinCos ? (TruncatedWithin<int>(Value(setup, "SINCOS_fract"))) : 0),
      index_(setup, variant.sinCos ? -1 : Code(setup, "MotorSensorConnector")) {
  m_nStepsNo = 6;
  SetHelpContext(kHelpContext);
  AddParameterControls("TestCurrent", 1005, 1017);
  if (!variant.linear) AddParameterControls("pp", kPolePairsEdit);
  if (HasReverseCounting()) AddCheckParameterControls("ReverseCounting_MT", kReverseCountingCheck);
  if (variant.linear && Has(setup, "Resolution")) {
    resolutionCopy_ = setup->FindParameter("Resolution")->CopyAs("DetectedResolution");
    AddUserParameterControls(&*resolutionCopy_, kResolutionEdit, kResolutionUnit);
  }
  if (variant.sinCos) return;
  hallDiagram_ = variant.linear ? std::make_unique<CLinearHallDiagram>() : std::make_unique<CHallDiagram>();
  hallState_ = std::make_unique<HallStateDisplay>(*this, kHallStateEdit, *hallDiagram_);
}

CDetectEncoderResolution::~CDetectEncoderResolution() = default;

// The counting direction is the incremental members' to change.
bool CDetectEncoderResolution::HasReverseCounting() const {
  return !variant_.sinCos && Has(GetSetup(), "ReverseCounting_MT");
}

bool CDetectEncoderResolution::OnInitDialog() {
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  if (variant_.linear) {
    linear_.SubclassDlgItem(kEncoderDiagram, this);
  } else {
    encoder_.SubclassDlgItem(kEncoderDiagram, this);
  }
  phase_.SubclassDlgItem(kPhaseDiagram, this);
  if (hallDiagram_) hallDiagram_->SubclassDlgItem(kHallDiagram, this);
  CMyTestDlg::OnInitDialog();
  EnableChild(kReverseCountingCheck, HasReverseCounting());
  ShowChild(kHallDiagram, hallDiagram_ != nullptr);
  ShowChild(kHallStateEdit, hallDiagram_ != nullptr);
  ShowChild(kIndexLabel, index_.Applies());
  ShowChild(kIndexEdit, index_.Applies());
  ShowChild(kLinesEdit, !variant_.linear);
  for (const int id : {kResolutionLabel, kResolutionEdit, kResolutionUnit}) ShowChild(id, resolutionCopy_.has_value());
  SetPurposeText(variant_.linear ? "Detects the encoder resolution and counting direction."
                                 : "Detects the number of encoder lines and the counting direction.");
  return true;
}

void CDetectEncoderResolution::OnChangedParameterValue(const std::string& name) {
  CMyTestDlg::OnChangedParameterValue(name);
  if (!HasReverseCounting() || !SameName(name, "ReverseCounting_MT")) return;
  kestrel::ComputeCountingDirection(GetSetup(), 0);
  kestrel::ComputeCountingDirection(GetSetup(), 1);
  rememberedReverse_ = TruncatedWithin<int>(OptionalInternalValue(GetSetup(), "ReverseCounting_MT"));
}

void CDetectEncoderResolution::BeginTest() {
  CommitPendingEdits();
  for (const int id : {kLinesEdit, kHallStateEdit, kPositionEdit}) SetChildText(id, "");
  encoder_.SetTheta(0.0);
  if (variant_.linear) {
    // One pole pitch in counts either side of the start.
    const double limit = kestrel::CountsPerPolePitch(GetSetup());
    linear_.SetLimits(-limit, limit);
    linear_.SetPosition(0.0);
  }
  if (hallState_) hallState_->Reset();
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  index_.Reset();
  moved_ = false;
  estimated_ = 0;
  resolution_ = 0.0;
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  // A rotary count is judged against the setup's lines: none would divide by zero.
  if (!variant_.linear && lines_ < 1) {
    ShowStepText(kTexts);
    return Fail(msc_pszErrInternal);
  }
  LaunchProgram(kTexts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
}

void CDetectEncoderResolution::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  if (HasReverseCounting()) kestrel::ComputeCountingDirection(GetSetup(), 0);
  Tick();
}

void CDetectEncoderResolution::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchResolutionProgram();
      return;
    case 3: LaunchResolutionProgram(); return;
    case 4: FollowProgram(); return;
    case 5: FinishResolutionProgram(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CDetectEncoderResolution::LaunchResolutionProgram() {
  const double polePairs = variant_.linear ? 1.0 : Value(GetSetup(), "pp");
  return LaunchProgram(kTexts, mainProgram_, mainImage_, nullptr,
                       {{"RefTest", references_.refTest}, {"PolesPairs", polePairs}});
}

// While the axis is on the program turns the motor; once it is off the count is final.
void CDetectEncoderResolution::FollowProgram() {
  double started = 0.0;
  if (!ReadProgramValue(mainImage_, "STARTED", started)) return;
  if (started == 0.0) {
    if (CheckDriveErrors(1, kEnergisingErrorMask) != 0) RestartTick();
    return;
  }
  int axisOn = 0;
  if (GetAxisOn(axisOn) == 0) return Fail(CMC_Comm::GetLastErrorText());
  if (axisOn != 0) return FollowMotion();
  if (CheckDriveErrors(1, kEnergisingErrorMask) == 0) return;
  if (m_bStopRequested != 0) return Fail(kStoppedText);
  ShowStepText(kTexts);
  RestartTick();
}

double CDetectEncoderResolution::Count(double reported) const {
  return reported / std::pow(2.0, static_cast<double>(interpolationBits_));
}

void CDetectEncoderResolution::FollowMotion() {
  double hall = 0.0, reported = 0.0, frame = 0.0;
  if (hallState_ && !ReadProgramValue(mainImage_, "H123", hall)) return;
  if (!FollowIndexCapture(index_, moved_, kIndexEdit)) return;
  // The count in its internal unit, as at the end.
  if (!ReadDriveValue("var_lf_long", true, reported)) return;
  const double count = Count(reported);
  const long position =
      variant_.sinCos && variant_.linear ? static_cast<long>(TG_FRound(count)) : TruncatedWithin<int>(count);
  if (position != 0) moved_ = true;
  SetChildText(kPositionEdit, std::to_string(position));
  if (variant_.linear) {
    linear_.SetPosition(static_cast<double>(position));
    linear_.Repaint();
  } else {
    encoder_.SetTheta(static_cast<double>(position) * std::numbers::pi / static_cast<double>(lines_) * 0.5);
    encoder_.Repaint();
  }
  if (!ReadDriveValue("THTST", true, frame)) return;
  phase_.SetTheta((frame + 16384.0) * 2.0 * std::numbers::pi / 65536.0);
  phase_.Repaint();
  if (hallState_) hallState_->Show(TruncatedWithin<int>(hall));
  RestartTick(kFollowPeriodMs);
}


void CDetectEncoderResolution::FinishResolutionProgram() {
  ShowStepText(kTexts);
  double reported = 0.0, hall = 0.0;
  if (!ReadDriveValue("var_lf_long", true, reported)) return;
  if (hallState_ && !ReadProgramValue(mainImage_, "H123", hall)) return;
  if (hallState_) hallState_->Show(TruncatedWithin<int>(hall));
  const double count = Count(reported);
  if (variant_.linear) {
    return JudgeLinearCount(variant_.sinCos ? static_cast<long>(TG_FRound(count)) : TruncatedWithin<int>(count));
  }
  JudgeRotaryCount(TruncatedWithin<int>(count));
}

// A count below the smallest standard line count tells that the shaft did not turn; a negative
// one that it counted backwards; otherwise the standard line count nearest a quarter of it.
void CDetectEncoderResolution::JudgeRotaryCount(long count) {
  const long lines = CResolution::FindBestResolution(count / 4);
  estimated_ = variant_.sinCos ? lines : std::labs(lines);
  if (count <= 0 && std::labs(count) < CResolution::GetResolution(0)) return Fail(kNotTurningText);
  if (count == 0) return Fail(kNotTurningText);
  if (count < 0) return Fail(variant_.sinCos ? kReversedSinCosText : kReversedText);
  SetChildText(kLinesEdit, std::to_string(estimated_));
  TestSucceeded(1);
}

// A linear encoder's resolution is the pole pitch over the counts of one pole pitch.
void CDetectEncoderResolution::JudgeLinearCount(long count) {
  if (count <= 0) return Fail(variant_.sinCos ? kNotTurningText : kReversedText);
  resolution_ = Value(GetSetup(), "PolePitch") / static_cast<double>(count);
  if (resolutionCopy_) {
    resolutionCopy_->SetValueInBaseUnit(resolution_);
    RefreshParameterControls("DetectedResolution");
  }
  TestSucceeded(1);
}

std::vector<CMyTestDlg::TestResultLine> CDetectEncoderResolution::ResultLines() const {
  if (Result() != 1) return {};
  if (variant_.linear) return {{"Resolution", kestrel::FormatG(resolution_)}};
  return {{"No_encoder_lines", std::to_string(estimated_)}};
}

void CDetectEncoderResolution::OnCancel() {
  if (IsRunning()) return CMC_TestDlg::OnCancel();
  variant_.linear ? CloseLinear() : CloseRotary();
}

void CDetectEncoderResolution::CloseRotary() {
  const bool succeeded = Result() == 1;
  const double opening = static_cast<double>(lines_);
  const std::vector<kestrel::ComparedValue> values{
      {"Encoder resolution", opening, static_cast<double>(estimated_), true}};
  const std::string question = succeeded ? kestrel::SaveQuestionText(values) : "";
  if (question.empty()) {
    if (succeeded && !variant_.sinCos) return EndDialog(IDOK);
    return CMC_TestDlg::OnCancel();
  }
  switch (AfxMessageBox(question, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      GetSetup()->SetParameterValueInBaseUnit("No_encoder_lines", static_cast<double>(estimated_));
      EndDialog(IDOK);
      return;
    case IDNO: EndDialog(IDOK); return;
    default: return;
  }
}

void CDetectEncoderResolution::CloseLinear() {
  CMC_Parameter* setupResolution = GetSetup()->FindParameter("Resolution");
  if (Result() != 1 || setupResolution == nullptr || !resolutionCopy_) return CMC_TestDlg::OnCancel();
  setupResolution->ChangeUnitType(resolutionCopy_->GetUnitName());
  const std::string oldText = setupResolution->PrintValue(), newText = resolutionCopy_->PrintValue();
  if (oldText == newText) return EndDialog(IDOK);
  const std::string unit = resolutionCopy_->GetUnitName();
  const std::string question =
      "A different value than specified has been detected for the following parameter:\r\n\r\nEncoder "
      "resolution:\tOld = " +
      oldText + " [" + unit + "]\tNew = " + newText + " [" + unit +
      "]\r\n\r\nDo you want to save the new value(s)? (Recommended)";
  switch (AfxMessageBox(question, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      setupResolution->SetValueInBaseUnit(resolutionCopy_->GetValueInBaseUnit());
      EndDialog(IDOK);
      return;
    case IDNO: EndDialog(IDOK); return;
    default: return;
  }
}

const ui::MessageMap* CDetectEncoderResolution::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CDetectEncoderResolution>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CDetectEncoderResolution::OnTimer)
                                        .Build();
  return &map;
}

CDetectEncoderResolution2::CDetectEncoderResolution2(CMC_Setup* setup, CWnd* parent)
    : CDetectEncoderResolution(setup, parent, {kTemplateId, true, false}) {}

CDetectEncoderResolution_lin::CDetectEncoderResolution_lin(CMC_Setup* setup, CWnd* parent)
    : CDetectEncoderResolution(setup, parent, {kTemplateId, false, true}) {}

CDetectEncoderResolution2_lin::CDetectEncoderResolution2_lin(CMC_Setup* setup, CWnd* parent)
    : CDetectEncoderResolution(setup, parent, {CDetectEncoderResolution::kTemplateId, true, true}) {}
