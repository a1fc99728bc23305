#include "commissioning/test_current.h"

#include <algorithm>
#include <initializer_list>

#include "commissioning/program_names.h"
#include "compute/derivation.h"
#include "compute/gain_pairs.h"
#include "compute/registers.h"
#include "compute/tuning.h"
#include "dialogs/setup_values.h"
#include "ui/data_exchange.h"

namespace {

using kestrel::dialogs::SameName;

constexpr std::initializer_list<int> kParametersTab{1120, 1121, 1303, 1304, 1301, 1123, 1376,
                                                     1377, 10014, 10015, 1119, 1122};
constexpr std::initializer_list<int> kTestTab{
    10000, 1339, 1340, 1342, 1343, 1341, 1334, 1335, 1337, 1338, 1336, 1361, 1372, 1375, 10002, 10004, 1374,
    10001, 1333, 3138, 3142, 3139, 3140, 3141, 3143, 3147, 3146, 3145, 3144, 3148, 3149, 3150, 3155, 3151,
    3152, 3153, 3154, CTestCurrent::kWarningText, CTestCurrent::kRiseTimeText, CTestCurrent::kOvershootText,
    CTestCurrent::kSettlingText};
constexpr std::initializer_list<int> kFilterControls{3139, 3140, 3141};
constexpr std::initializer_list<int> kOffsetControls{3144, 3145, 3146};

double BaseValue(const CMC_Setup* setup, const char* name) { return kestrel::dialogs::Value(setup, name); }

}  // namespace

CTestCurrent::CTestCurrent(CMC_Setup* setup, CWnd* parent) : CMyTestDlg(setup, kTemplateId, 1, parent) {
  m_nStepsNo = 5;
  preliminaryProgram_ = kestrel::TestProgramName(setup, "Initial_Positioning_Test");
  mainProgram_ = kestrel::TestProgramName(setup, "Current_Controller_Tuning_Test");
  openingKp_ = BaseValue(setup, "Kp_C_scl");
  openingKi_ = BaseValue(setup, "Ki_C_scl");
  SetHelpContext(kHelpContext);
  BindParameters();
}

CTestCurrent::~CTestCurrent() = default;

void CTestCurrent::BindParameters() {
  AddParameterControls("TestProtectionCurrent", 1303, 1304);
  AddParameterControls("TestCurrent", 1120, 1121);
  AddParameterControls("OffsetCurrent", 3145, 3144);
  AddParameterControls("FilterOnCurrentControllerOutput", 3140, 3141);
  AddCheckParameterControls("isUseFilterOnCrtCtrlOutput", 3142);
  AddCheckParameterControls("isCompensateGravitationalLoads", 3147);
  SetSliderRange("Kp_C_scl", 1337, 1335, 1336, 1338, 0);
  SetSliderRange("Ki_C_scl", 1342, 1340, 1341, 1343, 0);
  SetSliderRange("PB_C", 3152, 3155, 3153, 3154, 3151);
}

// The slider spans half to one and a half times the value at opening, within the limits.
void CTestCurrent::SetSliderRange(const char* name, int slider, int edit, int fineSpin, int coarseSpin, int label) {
  const CMC_Parameter* parameter = GetSetup()->FindParameter(name);
  if (parameter == nullptr) return;
  const double value = parameter->GetValueInBaseUnit();
  const double low = std::max(parameter->GetMinInBaseUnit(), 0.5 * value);
  const double high = std::min(parameter->GetMaxInBaseUnit(), 1.5 * value);
  // The slider works in the display unit, a fixed multiple of the base unit.
  const double display = value != 0.0 ? parameter->GetValueInDisplayUnit() / value : 1.0;
  AddSliderParameterControls(name, slider, edit, label, fineSpin, coarseSpin, low * display, high * display);
}

bool CTestCurrent::OnInitDialog() {
  CMyTestDlg::OnInitDialog();
  RefreshAllParameters();
  SetChildBitmap(1123, "3015");
  SetChildText(1377, kProcedure);
  SetPurposeText("Checks current controller step input response.");
  tabs_.InsertItem(0, "Test Parameters");
  tabs_.InsertItem(1, "Test");
  tabs_.SetCurSel(0);
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  CreateLogger();
  ShowTab(0);
  ShowPredictionWarning();
  return true;
}

void CTestCurrent::CreateLogger() {
  logger_ = std::make_unique<CMC_SingleAxisLogger>(GetSetup(), &mainImage_);
  logger_->ChangeSettings(100, 2, 1);
  for (const char* variable : {"Current_Reference", "Motor_Current", "Voltage_Reference"}) logger_->AddVariable(variable, 1);
  logger_->CorrectPointsNo();
  logger_->LocateItems();
  CGraphDocument& document = logger_->GetGraphDocument();
  CGraphFilter& filter = document.GetFilterCount() > 0 ? *document.GetFilter(0) : document.AddFilter();
  // Reference and measured current on the left axis, the voltage on the right.
  filter.Add(CXYCurve(1, 0, 1, 2, RGB16(2)));
  filter.Add(CXYCurve(2, 0, 3, 2, RGB16(8)));
  filter.Add(CXYCurve(1, 0, 2, 2, RGB16(5)));
  StartComparisonPlot();
  comparisonFilter_ = &comparison_.AddFilter();
  for (const CXYCurve& curve : filter.Curves()) comparisonFilter_->Add(curve);
  comparisonFilter_->Add(CXYCurve(1, 0, 4, 1, RGB16(12)));  // the predicted current
  graph_.SubclassDlgItem(kGraph, this, comparisonFilter_);
  graph_.RefreshGraph();
}

void CTestCurrent::DoDataExchange(CDataExchange* pDX) {
  CMyTestDlg::DoDataExchange(pDX);
  DDX_Control(pDX, kTabs, tabs_);
  if (pDX->m_bSaveAndValidate) return;
  ShowRunState();
  if (tabs_.GetItemCount() > 0) ShowTab(tabs_.GetCurSel());
}

void CTestCurrent::ShowRunState() { EnableChild(IDOK, !IsRunning()); }

void CTestCurrent::ShowTab(int tab) {
  const bool test = tab == 1;
  for (const int id : kParametersTab) ShowChild(id, !test);
  for (const int id : kTestTab) ShowChild(id, test);
  const CMC_Setup* setup = GetSetup();
  for (const int id : kFilterControls) ShowChild(id, test && BaseValue(setup, "isUseFilterOnCrtCtrlOutput") != 0.0);
  for (const int id : kOffsetControls) ShowChild(id, test && BaseValue(setup, "isCompensateGravitationalLoads") != 0.0);
  if (!test) ShowChild(drivebase::kDetailsButton, false);
}

void CTestCurrent::OnSelchangeTabs(NMHDR*, LRESULT*) {
  const int tab = tabs_.GetCurSel();
  if ((tab == 0 && IsRunning()) || !UpdateData(true)) {
    tabs_.SetCurSel(1 - tab);
    return;
  }
  const CMC_Setup* setup = GetSetup();
  if (tab == 1 && BaseValue(setup, "TestCurrent") > BaseValue(setup, "TestProtectionCurrent")) {
    MessageBox("Over current protection must be greater or equal to Test current.");
    tabs_.SetCurSel(0);
    return;
  }
  ShowTab(tab);
  if (tab != 1) return;
  if (Result() == 1) {
    TestSucceeded(0);
  } else if (!ErrorText().empty()) {
    TestFailed(0);
  }
}

void CTestCurrent::OnShowWindow(bool shown, unsigned) {
  if (shown) ShowTab(0);
}

void CTestCurrent::OnChangedParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  if (SameName(name, "Kp_C_scl")) {
    kestrel::ComputeShiftRegister(setup, kestrel::kCurrentProportional);
    kestrel::ComputeMantissaRegister(setup, kestrel::kCurrentProportional);
  } else if (SameName(name, "Ki_C_scl")) {
    kestrel::ComputeShiftRegister(setup, kestrel::kCurrentIntegral);
    kestrel::ComputeMantissaRegister(setup, kestrel::kCurrentIntegral);
  } else if (SameName(name, "OffsetCurrent")) {
    kestrel::ComputeFFL(setup);
    kestrel::ComputeKFFL(setup);
  } else if (SameName(name, "FilterOnCurrentControllerOutput")) {
    kestrel::ComputeFILTERQ(setup);
  } else if (SameName(name, "isUseFilterOnCrtCtrlOutput") || SameName(name, "isCompensateGravitationalLoads")) {
    RecomputeFilterAndOffset();
    ShowTab(tabs_.GetCurSel());
  }
  CMyTestDlg::OnChangedParameterValue(name);
  ShowPredictionWarning();
}

void CTestCurrent::OnRefreshParameterValue(const std::string& name) {
  if (IsRunning()) {
    if (SameName(name, "Kp_C_scl")) WriteGainToDrive("SFTKPI", "KPI");
    if (SameName(name, "Ki_C_scl")) WriteGainToDrive("SFTKII", "KII");
  }
  CMyTestDlg::OnRefreshParameterValue(name);
}

// The shift first, then the mantissa, each only when the write before it succeeded.
bool CTestCurrent::WriteGainToDrive(const char* shift, const char* mantissa) {
  for (const char* name : {shift, mantissa}) {
    const CMC_Parameter* parameter = GetSetup()->FindParameter(name);
    if (parameter == nullptr || !parameter->WriteToChip()) return false;
  }
  return true;
}

void CTestCurrent::RecomputeFilterAndOffset() {
  CMC_Setup* setup = GetSetup();
  kestrel::ComputeFILTERQ(setup);
  kestrel::ComputeFFL(setup);
  kestrel::ComputeKFFL(setup);
  kestrel::DeriveOffsetCurrent(setup);
  RefreshAllParameters();
}

void CTestCurrent::OnTune() {
  CMC_Setup* setup = GetSetup();
  TuneCurrentController(setup);
  for (const kestrel::GainPair& pair : {kestrel::kCurrentProportional, kestrel::kCurrentIntegral}) {
    kestrel::ComputeMantissaRegister(setup, pair);
    kestrel::ComputeShiftRegister(setup, pair);
  }
  kestrel::DeriveScaledGain(setup, "Ki_C_scl", "KII", "SFTKII");
  kestrel::DeriveScaledGain(setup, "Kp_C_scl", "KPI", "SFTKPI");
  if (IsRunning() && WriteGainToDrive("SFTKPI", "KPI")) WriteGainToDrive("SFTKII", "KII");
  RefreshAllParameters();
  ShowPredictionWarning();
}

void CTestCurrent::OnSavePlots() {
  if (logger_ == nullptr || IsRunning()) return;
  std::string error;
  if (!SaveAllPlots(error)) MessageBox(error, "", MB_ICONERROR);
}

void CTestCurrent::OnOK() {
  CMyTestDlg::OnOK();
  if (ModalEnded()) AcceptResults();
}

void CTestCurrent::AcceptResults() {
  GetSetup()->SetParameterValueInBaseUnit("Imax_Prot", BaseValue(GetSetup(), "TestProtectionCurrent"));
}

std::vector<kestrel::ComparedValue> CTestCurrent::ComparedValues() const {
  const CMC_Setup* setup = GetSetup();
  return {{"Kp", openingKp_, BaseValue(setup, "Kp_C_scl")}, {"Ki", openingKi_, BaseValue(setup, "Ki_C_scl")}};
}

const ui::MessageMap* CTestCurrent::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestCurrent>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CTestCurrent::OnTimer)
                                        .Notify(kTabs, TCN_SELCHANGE, &CTestCurrent::OnSelchangeTabs)
                                        .ShowWindow(&CTestCurrent::OnShowWindow)
                                        .Command(kSavePlots, &CTestCurrent::OnSavePlots)
                                        .Command(kTuneButton, &CTestCurrent::OnTune)
                                        .Build();
  return &map;
}
