#include "commissioning/test_vdc_detection.h"

#include "commissioning/program_names.h"
#include "commissioning/save_question.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::Value;

constexpr const char* kPrintFormat = "%G";

}  // namespace

CTestVdcDetection::CTestVdcDetection(CMC_Setup* setup, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent),
      program_(kestrel::TestProgramName(setup, "VDC_Detection_Test")),
      vdcMaxMeasurable_V_(Value(setup, "VdcMaxMeasurable")),
      openingVdc_V_(Value(setup, "Vdc")) {
  m_nStepsNo = static_cast<std::uint16_t>(kTexts.size());
  SetHelpContext(kHelpContext);
  AddParameterControls("Vdc", kVdcEdit, kVdcUnit);
}

bool CTestVdcDetection::OnInitDialog() {
  PrepareProgram(program_, image_);
  CMyTestDlg::OnInitDialog();
  SetPurposeText("Detects the DC supply voltage of the drive.");
  return true;
}

double CTestVdcDetection::PresentVdc() const { return Value(GetSetup(), "Vdc"); }

void CTestVdcDetection::BeginTest() {
  SetChildText(kVdcEdit, "");
  SetChildText(kVdcUnit, "");
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  LaunchProgram(kTexts, program_, image_, nullptr, {});
}

void CTestVdcDetection::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  if (m_nStep != 2) return Fail(msc_pszErrInternal);
  if (WaitForProgram(image_, kShortCircuitMask) == ProgramState::Ended) ReadSupplyVoltage();
}

// The program's mean bus count against the ADC's full scale, which stands for the largest voltage
// the drive measures.
void CTestVdcDetection::ReadSupplyVoltage() {
  double busCount = 0.0;
  if (!ReadDriveValue("var_u2", false, busCount)) return;
  const double fullScale = static_cast<double>(Compute_ADCMaxValue(GetSetup()));
  GetSetup()->SetParameterValueInBaseUnit("Vdc", busCount * vdcMaxMeasurable_V_ / fullScale);
  RefreshParameterControls("Vdc");
  TestSucceeded(1);
}

std::vector<CMyTestDlg::TestResultLine> CTestVdcDetection::ResultLines() const {
  if (Result() != 1) return {};
  return {{"Vdc", kestrel::FormatNumber(kPrintFormat, PresentVdc()) + " V"}};
}

std::vector<CMyTestDlg::MeasuredValue> CTestVdcDetection::MeasuredValues() const {
  if (Result() != 1) return {};
  return {{"Vdc", "V", PresentVdc()}};
}

// After a success the question compares the voltages as "%G" prints them. No ends the dialog
// with the setup of its opening, and with it the voltage the dialog showed before.
std::vector<kestrel::ComparedValue> CTestVdcDetection::ComparedValues() const {
  return {{"Power supply", openingVdc_V_, PresentVdc(), false, kPrintFormat}};
}

const ui::MessageMap* CTestVdcDetection::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<CTestVdcDetection>(CMyTestDlg::GetMessageMap()).Timer(&CTestVdcDetection::OnTimer).Build();
  return &map;
}
