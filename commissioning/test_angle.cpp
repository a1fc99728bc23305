// The electric-angle controller test's opening, bindings, tabs, live gains and closing.
#include "commissioning/test_angle.h"

#include <cstdint>
#include <initializer_list>

#include "commissioning/program_names.h"
#include "commissioning/test_current_counts.h"
#include "compute/gain_pairs.h"
#include "compute/registers.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::Has;
using kestrel::dialogs::SameName;
using kestrel::dialogs::Value;

constexpr int kParametersTab[]{10014, 10015, 1376, 1377, 1301, CTestAngle::kPicture, 3361, 3362, 3363, 3364, 3365,
                                3366, 3367, 3368, 3369, 3356, 3357, 3358, 3359};
constexpr int kTestTab[]{10000, 1333, 1334, 1335, 1336, 1337, 1338, 1339, 1340, 1341, 1342, 1343, CTestAngle::kGraph,
                         CTestAngle::kSavePlots, 1375, 1374, 10001, 10002, 10004};
// What a run must not change under it: OK and the gains' edits, spins and sliders.
constexpr std::initializer_list<int> kLockedWhileRunning{IDOK, 1335, 1336, 1337, 1338, 1340, 1341, 1342, 1343};
constexpr kestrel::GainPair kAngleGains[]{kestrel::kAngleProportional, kestrel::kAngleIntegral};

}  // namespace

CTestAngle::CTestAngle(CMC_Setup* setup, CWnd* parent)
    : CTwoTabTest(setup, kTemplateId, {kParametersTab, kTestTab, nullptr}, parent) {
  m_nStepsNo = 3;
  program_ = kestrel::TestProgramName(setup, "Angle_Controller_Tuning_Test");
  openingKp_ = Value(setup, "Kp_T_scl");
  openingKi_ = Value(setup, "Ki_T_scl");
  SetHelpContext(kHelpContext);
  BindParameters();
}

CTestAngle::~CTestAngle() = default;

void CTestAngle::BindParameters() {
  AddParameterControls("MAX_CURRENT", 3362, 3363);
  AddParameterControls("REF_INC", 3365, 3366);
  AddParameterControls("TIME_LIMIT", 3368, 3369);
  BindLoggerSetting(ownPoints_, "AquisitionsNo", 2000.0, 10.0, 5000.0, 3357);
  BindLoggerSetting(ownDivider_, "SamplingRate", 2.0, 1.0, 200.0, 3359);
  SetSliderRange("Kp_T_scl", 1337, 1335, 1336, 1338, 0);
  SetSliderRange("Ki_T_scl", 1342, 1340, 1341, 1343, 0);
}

// The setup's own setting when it has one; else one that the dialog owns, with its default and
// limits in internal units.
void CTestAngle::BindLoggerSetting(std::optional<CMC_Parameter>& own, const char* name, double initial, double min,
                                   double max, int edit) {
  if (Has(GetSetup(), name)) {
    AddParameterControls(name, edit);
    return;
  }
  drivebase::ParameterSpec spec;
  spec.name = name;
  spec.type = 1;
  spec.internal = initial;
  spec.min = min;
  spec.max = max;
  own.emplace(GetSetup(), spec);
  AddUserParameterControls(&*own, edit);
}

double CTestAngle::LoggerSetting(const std::optional<CMC_Parameter>& own, const char* name) const {
  return own ? own->GetValueInInternalUnit() : GetSetup()->GetParameterValueInInternalUnit(name);
}

bool CTestAngle::OnInitDialog() {
  CMyTestDlg::OnInitDialog();
  RefreshAllParameters();
  SetChildBitmap(kPicture, "3063");
  SetChildText(1377, kProcedure);
  SetPurposeText("Tunes the electric angle controller of the motionless start.");
  InsertTabs();
  PrepareProgram(program_, image_);
  logger_ = std::make_unique<CMC_SingleAxisLogger>(GetSetup(), &image_);
  ConfigureLogger();
  CGraphDocument& document = logger_->GetGraphDocument();
  CGraphFilter& filter = document.GetFilterCount() > 0 ? *document.GetFilter(0) : document.AddFilter();
  // The motor current on the left axis, the electric angle on the right.
  filter.Add(CXYCurve(1, 0, 1, 2, RGB16(1)));
  filter.Add(CXYCurve(2, 0, 2, 2, RGB16(4)));
  graph_.SubclassDlgItem(kGraph, this, &filter);
  graph_.RefreshGraph();
  ShowTab(0);
  return true;
}

void CTestAngle::ConfigureLogger() {
  logger_->Reset();
  logger_->ChangeSettings(
      static_cast<std::uint16_t>(kestrel::TruncatedWithin<std::uint16_t>(LoggerSetting(ownPoints_, "AquisitionsNo"))),
      2, static_cast<std::uint16_t>(kestrel::TruncatedWithin<std::uint16_t>(LoggerSetting(ownDivider_, "SamplingRate"))));
  logger_->AddVariable("Motor_Current", 1);
  logger_->AddVariable("Electric_Angle", 1);
  logger_->CorrectPointsNo();
}

void CTestAngle::ShowRunState() {
  for (const int id : kLockedWhileRunning) EnableChild(id, !IsRunning());
}

void CTestAngle::ShowOwnControls(bool) {}

void CTestAngle::OnChangedParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  for (const kestrel::GainPair& pair : kAngleGains) {
    if (!SameName(name, pair.gain)) continue;
    kestrel::ComputeShiftRegister(setup, pair);
    kestrel::ComputeMantissaRegister(setup, pair);
  }
  CMyTestDlg::OnChangedParameterValue(name);
}

void CTestAngle::OnRefreshParameterValue(const std::string& name) {
  for (const kestrel::GainPair& pair : kAngleGains) {
    if (IsRunning() && SameName(name, pair.gain)) WriteGainToDrive(pair);
  }
  CMyTestDlg::OnRefreshParameterValue(name);
}

std::vector<kestrel::ComparedValue> CTestAngle::ComparedValues() const {
  const CMC_Setup* setup = GetSetup();
  return {{"Kp", openingKp_, Value(setup, "Kp_T_scl")}, {"Ki", openingKi_, Value(setup, "Ki_T_scl")}};
}

const ui::MessageMap* CTestAngle::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestAngle>(CTwoTabTest::GetMessageMap())
                                        .Timer(&CTestAngle::OnTimer)
                                        .Command(kSavePlots, &CTestAngle::OnSavePlots)
                                        .Command(drivebase::kDetailsButton, &CTestAngle::OnDetails)
                                        .Build();
  return &map;
}
