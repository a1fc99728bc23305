#include "commissioning/test_analogue_ref.h"

#include <algorithm>
#include <cmath>

#include "commissioning/program_names.h"
#include "commissioning/save_question.h"
#include "dialogs/setup_values.h"
#include "drivebase/numeric.h"
#include "ui/event_loop.h"

namespace {

using kestrel::dialogs::Code;
using kestrel::dialogs::Value;

constexpr const char* kShownFormat = "%.2f";

// The unit a parameter is shown in; empty when the setup lacks it.
std::string UnitOf(const CMC_Setup* setup, const char* name) {
  const CMC_Parameter* parameter = setup->FindParameter(name);
  return parameter != nullptr ? parameter->GetUnitName() : "";
}

}  // namespace

double CTestAnalogueRef::Span::At(double count, double fullScale) const {
  return RoundDecimalValue((upper - lower) * count / fullScale + lower, 2);
}

CTestAnalogueRef::Span CTestAnalogueRef::VoltageSpan(double analogueInputsRange) {
  if (analogueInputsRange == 20.0) return {-10.0, 10.0};
  if (analogueInputsRange == 5.0) return {0.0, 5.0};
  return {0.0, 3.3};
}

double CTestAnalogueRef::BarReference(double lower, double upper) { return lower <= 0.0 && 0.0 <= upper ? 0.0 : lower; }

// The command's ends in the units the user reads them in.
std::optional<CTestAnalogueRef::Command> CTestAnalogueRef::CommandOf(const CMC_Setup* setup) {
  const auto command = [setup](const char* lower, const char* upper, const char* name) {
    return Command{{setup->GetParameterValue(lower), setup->GetParameterValue(upper)}, name, UnitOf(setup, upper)};
  };
  switch (Code(setup, "ControlMode")) {
    case 0: return command("POS_min", "POS_max", "Position command");
    case 1: return command("SPD_min", "SPD_max", "Speed command");
    case 2: return command("CRT_min", "CRT_max", "Current command");
    default: return std::nullopt;
  }
}

CTestAnalogueRef::CTestAnalogueRef(CMC_Setup* setup, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent), program_(kestrel::TestProgramName(setup, "Analogue_Reference_Test")) {
  m_nStepsNo = static_cast<std::uint16_t>(kTexts.size());
  SetHelpContext(kHelpContext);
  voltageBar_.SetColour(RGB(255, 0, 0));
  voltageBar_.SetValueFormat("%.2G");
  commandBar_.SetColour(RGB(0, 255, 0));
  commandBar_.SetValueFormat(kShownFormat);
}

bool CTestAnalogueRef::OnInitDialog() {
  CMC_Setup* setup = GetSetup();
  voltage_ = VoltageSpan(Value(setup, "AnalogueInputsRange"));
  command_ = CommandOf(setup);
  voltageBar_.SubclassDlgItem(kVoltageBar, this);
  commandBar_.SubclassDlgItem(kCommandBar, this);
  CMyTestDlg::OnInitDialog();
  SetChildText(kVoltageUnit, UnitOf(setup, "AnalogueInputsRange"));
  // A mode without an analogue command shows the voltage alone.
  for (const int id : {kCommandName, kCommandEdit, kCommandUnit, kCommandBar}) ShowChild(id, command_.has_value());
  if (command_) {
    SetChildText(kCommandName, command_->name);
    SetChildText(kCommandUnit, command_->unit);
    ShowOnBar(commandBar_, command_->span, command_->span.lower);
  }
  ShowOnBar(voltageBar_, voltage_, 0.0);
  SetChildText(kVoltageEdit, "");
  SetChildText(kCommandEdit, "");
  SetPurposeText("Checks the analogue reference input: turn the potentiometer, then press Stop.");
  return true;
}

void CTestAnalogueRef::ShowOnBar(CBarGraph& bar, const Span& span, double value) {
  const double lower = std::min(span.lower, span.upper), upper = std::max(span.lower, span.upper);
  bar.SetRange(lower, upper);
  bar.SetValue(value);
  bar.SetReference(BarReference(lower, upper));
  bar.Repaint();
}

void CTestAnalogueRef::BeginTest() {
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  SetChildText(kVoltageEdit, "");
  SetChildText(kCommandEdit, "");
  for (CBarGraph* bar : {&voltageBar_, &commandBar_}) {
    bar->SetValue(bar->Reference());
    bar->Repaint();
  }
  LaunchProgramWithoutImage(kTexts, program_);
}

void CTestAnalogueRef::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  if (m_nStep != 2) return Fail(msc_pszErrInternal);
  FollowInput();
}

// The user's Stop is the end of a run that passed: the host stops the idle program and the run
// takes the request up at once (left to the next tick, the host's own poll of the stopped axis
// could end it first as stopped).
void CTestAnalogueRef::OnBtnStartStop() {
  const bool following = IsRunning() && m_nStep == 2;
  CMyTestDlg::OnBtnStartStop();
  if (!following || m_bStopRequested == 0) return;
  m_bStopRequested = 0;
  TestSucceeded(1);
}

// The input's count over the ADC's full scale places the voltage and the command in their spans.
void CTestAnalogueRef::FollowInput() {
  if (CheckDriveErrors(1, kShortCircuitMask) == 0) return;
  double count = 0.0;
  if (!ReadDriveValue("AD5", true, count)) return;
  const double fullScale = static_cast<double>(Compute_ADCMaxValue(GetSetup()));
  const double volts = voltage_.At(count, fullScale);
  SetChildText(kVoltageEdit, kestrel::FormatNumber(kShownFormat, volts));
  ShowOnBar(voltageBar_, voltage_, volts);
  if (command_) {
    const double commanded = command_->span.At(count, fullScale);
    SetChildText(kCommandEdit, kestrel::FormatNumber(kShownFormat, commanded));
    ShowOnBar(commandBar_, command_->span, commanded);
  }
  ui::DispatchPendingMessages();
  RestartTick();
}

std::optional<CMyTestDlg::PotentiometerTurn> CTestAnalogueRef::UnattendedPotentiometer() const {
  return PotentiometerTurn{voltage_.lower, voltage_.upper, kPotentiometerTurn_s};
}

std::vector<CMyTestDlg::TestResultLine> CTestAnalogueRef::ResultLines() const {
  const auto shown = [this](int edit, int unit) { return GetDlgItemText(edit) + " " + GetDlgItemText(unit); };
  std::vector<TestResultLine> lines{{"Input voltage", shown(kVoltageEdit, kVoltageUnit)}};
  if (command_) lines.push_back({command_->name, shown(kCommandEdit, kCommandUnit)});
  return lines;
}

const ui::MessageMap* CTestAnalogueRef::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<CTestAnalogueRef>(CMyTestDlg::GetMessageMap()).Timer(&CTestAnalogueRef::OnTimer).Build();
  return &map;
}
