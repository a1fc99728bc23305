#include "commissioning/test_current.h"

#include <algorithm>
#include <initializer_list>

#include "commissioning/program_names.h"
#include "compute/derivation.h"
#include "compute/gain_pairs.h"
#include "compute/registers.h"
#include "compute/tuning.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::SameName;

constexpr int kParametersTab[]{1120, 1121, 1303, 1304, 1301, 1123, 1376, 1377, 10014, 10015, 1119, 1122};
constexpr int kTestTab[]{
    10000, 1339, 1340, 1342, 1343, 1341, 1334, 1335, 1337, 1338, 1336, 1361, 1372, 1375, 10002, 10004, 1374,
    10001, 1333, 3138, 3142, 3139, 3140, 3141, 3143, 3147, 3146, 3145, 3144, 3148, 3149, 3150, 3155, 3151,
    3152, 3153, 3154, CTestCurrent::kWarningText, CTestCurrent::kRiseTimeText, CTestCurrent::kOvershootText,
    CTestCurrent::kSettlingText};
constexpr std::initializer_list<int> kFilterControls{3139, 3140, 3141};
constexpr std::initializer_list<int> kOffsetControls{3144, 3145, 3146};

double BaseValue(const CMC_Setup* setup, const char* name) { return kestrel::dialogs::Value(setup, name); }

}  // namespace

CTestCurrent::CTestCurrent(CMC_Setup* setup, CWnd* parent)
    : CTwoTabTest(setup, kTemplateId, {kParametersTab, kTestTab, "TestCurrent"}, parent) {
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

bool CTestCurrent::OnInitDialog() {
  CMyTestDlg::OnInitDialog();
  RefreshAllParameters();
  SetChildBitmap(1123, "3015");
  SetChildText(1377, kProcedure);
  SetPurposeText("Checks current controller step input response.");
  InsertTabs();
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

void CTestCurrent::ShowRunState() { EnableChild(IDOK, !IsRunning()); }

void CTestCurrent::ShowOwnControls(bool test) {
  const CMC_Setup* setup = GetSetup();
  for (const int id : kFilterControls) ShowChild(id, test && BaseValue(setup, "isUseFilterOnCrtCtrlOutput") != 0.0);
  for (const int id : kOffsetControls) ShowChild(id, test && BaseValue(setup, "isCompensateGravitationalLoads") != 0.0);
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
    ShowSelectedTab();
  }
  CMyTestDlg::OnChangedParameterValue(name);
  ShowPredictionWarning();
}

void CTestCurrent::OnRefreshParameterValue(const std::string& name) {
  if (IsRunning()) {
    if (SameName(name, "Kp_C_scl")) WriteGainToDrive(kestrel::kCurrentProportional);
    if (SameName(name, "Ki_C_scl")) WriteGainToDrive(kestrel::kCurrentIntegral);
  }
  CMyTestDlg::OnRefreshParameterValue(name);
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
  if (IsRunning() && WriteGainToDrive(kestrel::kCurrentProportional)) WriteGainToDrive(kestrel::kCurrentIntegral);
  RefreshAllParameters();
  ShowPredictionWarning();
}

void CTestCurrent::OnSavePlots() {
  if (logger_ == nullptr || IsRunning()) return;
  std::string error;
  if (!SaveAllPlots(error)) MessageBox(error, "", MB_ICONERROR);
}

void CTestCurrent::AcceptResults() {
  GetSetup()->SetParameterValueInBaseUnit("Imax_Prot", BaseValue(GetSetup(), "TestProtectionCurrent"));
}

std::vector<kestrel::ComparedValue> CTestCurrent::ComparedValues() const {
  const CMC_Setup* setup = GetSetup();
  return {{"Kp", openingKp_, BaseValue(setup, "Kp_C_scl")}, {"Ki", openingKi_, BaseValue(setup, "Ki_C_scl")}};
}

const ui::MessageMap* CTestCurrent::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestCurrent>(CTwoTabTest::GetMessageMap())
                                        .Timer(&CTestCurrent::OnTimer)
                                        .Command(kSavePlots, &CTestCurrent::OnSavePlots)
                                        .Command(kTuneButton, &CTestCurrent::OnTune)
                                        .Build();
  return &map;
}
