// The resistance and inductance identification: opening, closing and results.
#include "commissioning/test_rl.h"

#include "commissioning/program_names.h"
#include "commissioning/save_question.h"
#include "compute/scale_functions.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::Value;

}  // namespace

CTestRL::CTestRL(CMC_Setup* setup, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent),
      preliminaryProgram_(kestrel::TestProgramName(setup, "Initial_Positioning_Test")),
      resistanceProgram_(kestrel::TestProgramName(setup, "Ident_R_or_Rs")),
      inductanceProgram_(kestrel::TestProgramName(setup, "Ident_L_or_Tau_el")),
      logger_(std::make_unique<CMC_SingleAxisLogger>(setup, nullptr)) {
  m_nStepsNo = 10;
  SetHelpContext(kHelpContext);
  AddParameterControls("TestCurrent", 1005, 1017);
}

CTestRL::~CTestRL() { RestoreOpeningVdc(); }

bool CTestRL::OnInitDialog() {
  const CMC_Setup* setup = GetSetup();
  openingVdc_V_ = Value(setup, "Vdc");
  openingR_Ohm_ = Value(setup, "R");
  openingL_H_ = Value(setup, "L");
  openingKept_ = true;
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(resistanceProgram_, resistanceImage_);
  PrepareProgram(inductanceProgram_, inductanceImage_);
  CMyTestDlg::OnInitDialog();
  SetPurposeText("Identifies total resistance and inductance.");
  ClearResults();
  ShowTimeConstantWarning();
  return true;
}

// Below about four current-loop periods the drive's dead time, not the motor, shapes the current
// that the inductance is computed from.
void CTestRL::ShowTimeConstantWarning() {
  const CMC_Setup* setup = GetSetup();
  const double r_Ohm = Value(setup, "R");
  const bool shortTimeConstant = r_Ohm > 0.0 && Value(setup, "L") / r_Ohm < 4.0 * GetCurrentLoopPeriod(setup);
  SetChildText(kWarningText, shortTimeConstant ? kShortTimeConstantWarning : "");
}

void CTestRL::RestoreOpeningVdc() {
  // Only a dialog that opened knows the value to restore.
  if (openingKept_) kestrel::dialogs::SetValue(GetSetup(), "Vdc", openingVdc_V_);
}

void CTestRL::OnCancel() {
  RestoreOpeningVdc();
  CMyTestDlg::OnCancel();
}

std::vector<kestrel::ComparedValue> CTestRL::ComparedValues() const {
  return {{"Phase resistance", openingR_Ohm_, r_Ohm_}, {"Phase inductance", openingL_H_, l_H_}};
}

// R and L are shown once measured; their controls are bound to them then.
void CTestRL::ClearResults() {
  if (resultsBound_) return;
  for (const int id : {kResistanceEdit, kInductanceEdit, kResistanceUnit, kInductanceUnit}) SetChildText(id, "");
}

void CTestRL::ShowResults() {
  if (!resultsBound_) {
    AddParameterControls("R", kResistanceEdit, kResistanceUnit);
    AddParameterControls("L", kInductanceEdit, kInductanceUnit);
    resultsBound_ = true;
  }
  RefreshParameterControls("R");
  RefreshParameterControls("L");
}

std::vector<CMyTestDlg::TestResultLine> CTestRL::ResultLines() const {
  using kestrel::FormatG;
  return {
      {"R", FormatG(r_Ohm_) + " Ohm"}, {"L", FormatG(l_H_) + " H"}, {"Vdc", FormatG(measuredVdc_V_) + " V (measured)"}};
}

std::vector<CMyTestDlg::MeasuredValue> CTestRL::MeasuredValues() const {
  return {{"R", "Ohm", r_Ohm_}, {"L", "H", l_H_}};
}

const ui::MessageMap* CTestRL::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<CTestRL>(CMyTestDlg::GetMessageMap()).Timer(&CTestRL::OnTimer).Build();
  return &map;
}
