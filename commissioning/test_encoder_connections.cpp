#include "commissioning/test_encoder_connections.h"

#include <cmath>
#include <numbers>

#include "commissioning/hall_test_displays.h"
#include "commissioning/test_current_counts.h"
#include "compute/setup_access.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"
#include "drivebase/numeric.h"

namespace {

using kestrel::OptionalInternalValue;
using kestrel::TruncatedWithin;
using kestrel::IsLinearMotor;
using kestrel::dialogs::Code;
using kestrel::dialogs::Value;

constexpr double kHandTurn_s = 2.0;

// A rotary encoder: lines from the setup, a sine/cosine one interpolated by its fraction bits.
EncoderCounterView::Layout RotaryEncoder(const CMC_Setup* setup, const char* counter, int editId, int diagramId,
                                         const char* linesName, int sensorType, const char* fractionName) {
  const long lines = TruncatedWithin<int>(Value(setup, linesName));
  double anglesLines = static_cast<double>(lines);
  if (sensorType == 3) {
    anglesLines *= std::pow(2.0, static_cast<double>(TruncatedWithin<int>(Value(setup, fractionName))));
  }
  return {counter, editId, diagramId, false, 4 * lines, anglesLines, 0.0, false};
}

// A linear encoder whose diagram starts at ± `limit` counts.
EncoderCounterView::Layout LinearEncoder(const char* counter, int editId, int diagramId, double limit, bool widens) {
  return {counter, editId, diagramId, true, 0, 0.0, std::trunc(limit), widens};
}

bool HallsShown(const CMC_Setup* setup) {
  return Code(setup, "MotorSensorType") != 4 && Value(setup, "isHallsensors") > 0.0;
}

}  // namespace

void EncoderCounterView::Attach(CWnd& dialog) {
  if (layout_.linear) {
    linear_.SubclassDlgItem(layout_.diagramId, &dialog);
  } else {
    rotary_.SubclassDlgItem(layout_.diagramId, &dialog);
  }
}

void EncoderCounterView::Reset() {
  shown_.reset();
  rotary_.SetTheta(0.0);
  linear_.SetLimits(-layout_.limit, layout_.limit);
  linear_.SetPosition(0.0);
  layout_.linear ? linear_.Repaint() : rotary_.Repaint();
}

bool EncoderCounterView::Show(CWnd& dialog, double counter) {
  const long count = TruncatedWithin<int>(counter);
  const long shown = layout_.linear ? count : PositiveModulo(count, layout_.countsPerRevolution);
  dialog.SetDlgItemText(layout_.editId, std::to_string(shown));
  if (shown_ == shown) return false;
  shown_ = shown;
  if (!layout_.linear) {
    rotary_.SetTheta(counter * std::numbers::pi / layout_.countsPerHalfTurn * 0.5);
    rotary_.Repaint();
    return true;
  }
  const double farthest = std::fabs(static_cast<double>(count));
  if (layout_.widens && farthest > linear_.Upper()) linear_.SetLimits(-farthest, farthest);
  linear_.SetPosition(static_cast<double>(count));
  linear_.Repaint();
  return true;
}

CTestEncoderConnections::CTestEncoderConnections(CMC_Setup* setup, CWnd* parent)
    : CTestEncoderConnections(setup, parent, kTemplateId, "IE_Encoder_Connection_Test",
                              {RotaryEncoder(setup, "APOS_MT", kPositionEdit, kMotorDiagram, "No_encoder_lines",
                                             Code(setup, "MotorSensorType"), "SINCOS_fract")},
                              HallsShown(setup), false, Code(setup, "MotorSensorConnector")) {}

CTestEncoderConnections::CTestEncoderConnections(CMC_Setup* setup, CWnd* parent, unsigned templateId,
                                                 std::string program, std::vector<EncoderCounterView::Layout> encoders,
                                                 bool halls, bool linearHalls, int indexConnector)
    : CMyTestDlg(setup, templateId, 1, parent), program_(std::move(program)), index_(setup, indexConnector) {
  m_nStepsNo = 3;
  SetHelpContext(kHelpContext);
  for (const EncoderCounterView::Layout& layout : encoders)
    encoders_.push_back(std::make_unique<EncoderCounterView>(layout));
  if (!halls) return;
  hallDiagram_ = linearHalls ? std::make_unique<CLinearHallDiagram>() : std::make_unique<CHallDiagram>();
  hallState_ = std::make_unique<HallStateDisplay>(*this, kHallStateEdit, *hallDiagram_);
}

CTestEncoderConnections::~CTestEncoderConnections() = default;

bool CTestEncoderConnections::OnInitDialog() {
  for (const auto& encoder : encoders_) encoder->Attach(*this);
  const bool motorOnly = encoders_.size() == 1;
  if (motorOnly) phase_.SubclassDlgItem(kPhaseDiagram, this);
  if (hallDiagram_) hallDiagram_->SubclassDlgItem(kHallDiagram, this);
  CMyTestDlg::OnInitDialog();
  if (motorOnly) EnableChild(kPhaseDiagram, false);
  if (!motorOnly) {
    for (const int place : CTestEncoderLdConnections::kDiagramPlaces) {
      ShowChild(place, std::ranges::any_of(encoders_, [place](const auto& encoder) {
                  return encoder->GetLayout().diagramId == place;
                }));
    }
  }
  ShowChild(kHallDiagram, ShowsHalls());
  ShowChild(kHallStateEdit, ShowsHalls());
  ShowChild(kIndexLabel, index_.Applies());
  ShowChild(kIndexEdit, index_.Applies());
  SetPurposeText("Checks the encoder connections: turn the motor shaft by hand, then press Stop.");
  return true;
}

std::optional<CMyTestDlg::HandMove> CTestEncoderConnections::UnattendedHandMove() const {
  const double travel = encoders_.front()->GetLayout().linear ? Value(GetSetup(), "PolePitch") : 2.0 * std::numbers::pi;
  return HandMove{travel, kHandTurn_s};
}

std::vector<CMyTestDlg::TestResultLine> CTestEncoderConnections::ResultLines() const {
  std::vector<TestResultLine> lines;
  for (const auto& encoder : encoders_) {
    const EncoderCounterView::Layout& layout = encoder->GetLayout();
    const std::string label = std::string(layout.counter) + (layout.linear ? "" : " within one revolution");
    lines.push_back({label, GetDlgItemText(layout.editId)});
  }
  if (index_.Applies()) lines.push_back({"Index position", GetDlgItemText(kIndexEdit)});
  return lines;
}

void CTestEncoderConnections::BeginTest() {
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  pulsesSeen_ = false;
  index_.Reset();
  if (hallState_) hallState_->Reset();
  for (const auto& encoder : encoders_) {
    encoder->Reset();
    SetChildText(encoder->GetLayout().editId, "");
  }
  SetChildText(kHallStateEdit, "");
  ShowStepText(kTexts);
  // A rotary encoder without lines has no revolution to show the counter in.
  for (const auto& encoder : encoders_) {
    const EncoderCounterView::Layout& layout = encoder->GetLayout();
    if (!layout.linear && layout.countsPerRevolution <= 0) return Fail(msc_pszErrInternal);
  }
  LaunchProgramWithoutImage(kTexts, program_);
}

void CTestEncoderConnections::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  if (m_nStep != 2) return Fail(msc_pszErrInternal);
  FollowCounters();
}

void CTestEncoderConnections::FollowCounters() {
  if (CheckDriveErrors(1, kShortCircuitMask) == 0) return;
  if (!FollowIndexCapture(index_, pulsesSeen_, kIndexEdit)) return;
  bool moved = false;
  for (const auto& encoder : encoders_) {
    double counter = 0.0;
    if (!ReadDriveValue(encoder->GetLayout().counter, true, counter)) return;
    if (!encoder->Show(*this, counter)) continue;
    moved = true;
    if (std::fabs(counter) > 2.0) pulsesSeen_ = true;
  }
  if (moved && hallState_) {
    double hall = 0.0;
    if (!ReadDriveValue("HALL", true, hall)) return;
    hallState_->Show(TruncatedWithin<int>(hall));
  }
  RestartTick();
}


// Stop while the counters are followed ends the program first (var_i2 := 1), then judges the run.
void CTestEncoderConnections::OnBtnStartStop() {
  if (!IsRunning() || m_nStep != 2) return CMyTestDlg::OnBtnStartStop();
  KillTimer(drivebase::kTestTimer);
  if (!WriteDriveValue("var_i2", 1.0)) return;
  if (!pulsesSeen_) return Fail(kNoPulsesText);
  ShowStepText(kTexts);
  TestSucceeded(1);
}

const ui::MessageMap* CTestEncoderConnections::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestEncoderConnections>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CTestEncoderConnections::OnTimer)
                                        .Build();
  return &map;
}

CTestEncoderConnections_lin::CTestEncoderConnections_lin(CMC_Setup* setup, CWnd* parent)
    : CTestEncoderConnections(
          setup, parent, kTemplateId, "IE_Encoder_Connection_Test",
          {LinearEncoder("APOS_MT", kPositionEdit, kMotorDiagram,
                         kestrel::CountsPerPolePitch(setup), false)},
          HallsShown(setup), true, Code(setup, "MotorSensorConnector")) {}

namespace {

std::vector<EncoderCounterView::Layout> DualLoopEncoders(const CMC_Setup* setup) {
  using Test = CTestEncoderLdConnections;
  const auto linear = [setup](const char* counter, int edit, int diagram, const char* resolution) {
    return LinearEncoder(counter, edit, diagram, OptionalInternalValue(setup, resolution) * 1000.0, true);
  };
  const bool linearLoad = !kestrel::IsLoadSideRotary(Code(setup, "TransmissionType"));
  return {IsLinearMotor(setup) ? linear("APOS_MT", Test::kPositionEdit, Test::kLinearMotorDiagram, "Resolution")
                               : RotaryEncoder(setup, "APOS_MT", Test::kPositionEdit, Test::kMotorDiagram,
                                               "No_encoder_lines", Code(setup, "MotorSensorType"), "SINCOS_fract"),
          linearLoad ? linear("APOS_LD", Test::kLoadPositionEdit, Test::kLinearLoadDiagram, "Resolution_LD")
                     : RotaryEncoder(setup, "APOS_LD", Test::kLoadPositionEdit, Test::kLoadDiagram,
                                     "No_encoder_lines_LD", Code(setup, "LoadSensorType"), "SINCOS_fract_LD")};
}

}  // namespace

CTestEncoderLdConnections::CTestEncoderLdConnections(CMC_Setup* setup, CWnd* parent)
    : CTestEncoderConnections(setup, parent, kTemplateId, "IE_Encoder_LD_Connection_Test", DualLoopEncoders(setup),
                              false, false, Code(setup, "LoadSensorConnector")) {}
