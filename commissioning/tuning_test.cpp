// The tuning tests' opening, bindings, tabs and closing.
#include "compute/setup_access.h"
#include "commissioning/tuning_test.h"

#include <algorithm>
#include <initializer_list>

#include "commissioning/inertia_question.h"
#include "commissioning/program_names.h"
#include "compute/scale_functions.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::Code;
using kestrel::dialogs::Has;
using kestrel::dialogs::Value;

constexpr int kParametersTab[]{10014, 10015, 1322, 1376, 1377, 3282, 3284, 3283, 3285, 3287, 3286, 3280,
                                3281, 3279, 1326, 1327, 1328, 1313, 1314, 1315, 1329, 1330, 1331, 1316,
                                1317, 1318, 3549, 3550, 3551, 1368, 1369, 1332, 1101, 1043, 1044};
constexpr int kTestTab[]{
    3269, 3270, 3288, 3272, 3273, 3289, 1334, 1335, 1336, 1337, 1338, 1339, 1340, 1341, 1342, 1343, 1507, 1508,
    1509, 1510, 1511, 1512, 1513, 1344, 1345, 1346, 1347, 1348, 1349, 1378, 1379, 1380, 1381, 1382, 1383,
    1390, 1384, 1385, 1386, 1387, 1388, 1391, 1392, 1393, 1394, 1395, 3138, 1374, 10000, 10001, 10002, 10004,
    1372, CTuningTest::kRiseTimeText, CTuningTest::kOvershootText, CTuningTest::kSettlingText};
constexpr std::initializer_list<int> kFeedForwardGroup{1350, 1351, 1352, 1353, 1354, 1355,
                                                       1356, 1357, 1358, 1359, 1360};
constexpr std::initializer_list<int> kSpeedFeedForward{1351, 1352, 1353, 1354, 1355};
constexpr std::initializer_list<int> kStartCurrent{3285, 3286, 3287};
constexpr std::initializer_list<int> kLiveControls{CTuningTest::kReferenceSwatch, CTuningTest::kMeasuredSwatch,
                                                    CTuningTest::kPauseButton, CTuningTest::kContinueButton};
// Controls that a run must not change under it.
constexpr std::initializer_list<int> kLockedWhileRunning{IDOK, 1335, 1336, 1338, 1340, 1341, 1343, 1390};

}  // namespace

CTuningTest::CTuningTest(CMC_Setup* setup, const TuningLoop& loop, CWnd* parent)
    : CTwoTabTest(setup, loop.templateId, {kParametersTab, kTestTab, "TestLimitCurrent"}, parent), loop_(loop) {
  m_nStepsNo = Code(setup, loop.onlinePlot) != 0 ? 4 : 5;
  preliminaryProgram_ = kestrel::TestProgramName(setup, "Initial_Positioning_Test");
  const bool direct = loop.mainProgramDirect != nullptr && Code(setup, "PositionControlType") != 1;
  mainProgram_ = kestrel::TestProgramName(setup, direct ? loop.mainProgramDirect : loop.mainProgram);
  SnapTestSpeed();
  for (const kestrel::GainPair& pair : loop.tunedGains) openingGains_.push_back(Value(setup, pair.gain));
  logger_ = std::make_unique<CMC_SingleAxisLogger>(setup, nullptr);
  if (kestrel::dialogs::IntOption(setup, "hasOscilloscope", 0) != 0) {
    scope_ = std::make_unique<CMC_ScopeLogger>(setup, nullptr);
    previousHandler_ = CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(&CTuningTest::OnUnsolicitedMessage);
  }
  openTest_ = this;
  SetHelpContext(loop.helpContext);
  BindParameters();
}

CTuningTest::~CTuningTest() {
  if (scope_ != nullptr) CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(previousHandler_);
  if (openTest_ == this) openTest_ = nullptr;
}

CTuningTest* CTuningTest::openTest_ = nullptr;

// The speed test's speed lies on the grid of speeds the drive's reference can hold.
void CTuningTest::SnapTestSpeed() {
  CMC_Setup* setup = GetSetup();
  if (loop_.profileKind != kestrel::ProfileKind::speed || !Has(setup, loop_.distance)) return;
  setup->SetParameterValueInBaseUnit(loop_.distance,
                                     kestrel::SnapToSpeedGrid(Value(setup, loop_.distance), GetLoadSpeedScale(setup)));
}

void CTuningTest::BindParameters() {
  AddParameterControls("TestLimitCurrent", 3284, 3283);
  AddParameterControls("TestStartCurrent", 3287, 3286);
  AddParameterControls("TestProtectionCurrent", 3281, 3279);
  AddParameterControls("Jt", 3270, 3288);
  AddParameterControls("Mt", 3273, 3289);
  AddParameterControls(loop_.distance, loop_.distanceEdit, loop_.distanceUnit);
  AddParameterControls(loop_.times[1], 1314, 1315);
  AddParameterControls(loop_.times[3], 1317, 1318);
  AddParameterControls(loop_.times[0], 1327, 1328);
  AddParameterControls(loop_.times[2], 1330, 1331);
  AddSwitchParameterControls(loop_.onlinePlot, 1368, 1369);
  AddCheckParameterControls(loop_.multiCycle, 1332);
  // The reference type is offered only on setups that hold it.
  if (Has(GetSetup(), loop_.referenceType)) AddSwitchParameterControls(loop_.referenceType, 3549, 3551);
  SetSliderRange(loop_.tunedGains[0].gain, 1337, 1335, 1336, 1338, 0);
  SetSliderRange(loop_.tunedGains[1].gain, 1342, 1340, 1341, 1343, 0);
  if (loop_.tunedGains.size() > 2) SetSliderRange(loop_.tunedGains[2].gain, 1510, 1508, 1509, 1511, 0);
  SetSliderRange(loop_.integralLimit, 1348, 1345, 1347, 1349, 1346);
  SetSliderRange("KFFS_scl", 1354, 1352, 1353, 1355, 0);
  SetSliderRange("KFFA_scl", 1359, 1357, 1358, 1360, 0);
  SetSliderRange(loop_.passband, 1382, 1379, 1381, 1383, 1380);
  SetSliderRange("Jload_over_J", 1387, 1385, 1386, 1388, 0);
  SetSliderRange("Mload_over_M", 1394, 1392, 1395, 1393, 0);
  if (loop_.profileKind != kestrel::ProfileKind::position) return;
  AddParameterControls("filter_D", 1513);
  if (Code(GetSetup(), "PositionControlType") == 1) AddParameterControls("Limit_Speed", 1043, 1044);
}

// The slider spans half to one and a half times the value at opening, within the limits.
void CTuningTest::SetSliderRange(const char* name, int slider, int edit, int fineSpin, int coarseSpin, int label) {
  const CMC_Parameter* parameter = GetSetup()->FindParameter(name);
  if (parameter == nullptr) return;
  const double value = parameter->GetValueInBaseUnit();
  double low = std::max(parameter->GetMinInBaseUnit(), 0.5 * value);
  double high = std::min(parameter->GetMaxInBaseUnit(), 1.5 * value);
  // A gain of 0 (feed-forward off) would leave no range to move in: the slider then spans the
  // parameter's limits, and without limits only the edit is offered.
  if (low >= high) {
    low = parameter->GetMinInBaseUnit();
    high = parameter->GetMaxInBaseUnit();
  }
  if (low >= high) {
    AddParameterControls(name, edit);
    return;
  }
  const double display = value != 0.0 ? parameter->GetValueInDisplayUnit() / value : 1.0;
  AddSliderParameterControls(name, slider, edit, label, fineSpin, coarseSpin, low * display, high * display);
}

bool CTuningTest::OnInitDialog() {
  CMyTestDlg::OnInitDialog();
  RefreshAllParameters();
  SetChildText(1377, loop_.procedure);
  SetPurposeText(loop_.purpose);
  InsertTabs();
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  CreateLoggers();
  ShowProfilePicture();
  ShowTab(0);
  // A total below the motor's own is asked about before anything is tuned on it.
  AskMotorInertiaQuestion();
  return true;
}

std::vector<const char*> CTuningTest::LoggedVariables() const {
  return {"Speed_Reference", "Load_Speed", "Current_Reference", "Motor_Current"};
}

void CTuningTest::CreateLoggers() {
  logger_->ChangeSettings(2000, 1, 1);
  for (const char* variable : LoggedVariables()) logger_->AddVariable(variable, 1);
  logger_->CorrectPointsNo();
  logger_->LocateItems();
  CGraphDocument& document = logger_->GetGraphDocument();
  CGraphFilter& filter = document.GetFilterCount() > 0 ? *document.GetFilter(0) : document.AddFilter();
  // References and measured values on the left axis, the currents (or speeds) on the right.
  filter.Add(CXYCurve(1, 0, 1, 2, RGB16(2)));
  filter.Add(CXYCurve(2, 0, 3, 2, RGB16(8)));
  filter.Add(CXYCurve(1, 0, 2, 2, RGB16(5)));
  filter.Add(CXYCurve(2, 0, 4, 2, RGB16(9)));
  loggerGraph_.SubclassDlgItem(kLoggerGraph, this, &filter);
  loggerGraph_.RefreshGraph();
  if (scope_ == nullptr) {
    liveGraph_.SubclassDlgItem(kLiveGraph, this, &oscilloscope_.Filter());
    return;
  }
  SetChildText(1369, "Scope");
  // Saved settings are the user's own: OK keeps them.
  scopeSettingsChanged_ = scope_->LoadSettingsFromSetupOption(loop_.scopeOption);
  if (!scopeSettingsChanged_) SetScopeDefaults();
  CGraphDocument& live = scope_->GetGraphDocument();
  liveGraph_.SubclassDlgItem(kLiveGraph, this, live.GetFilterCount() > 0 ? live.GetFilter(0) : &live.AddFilter());
  liveGraph_.RefreshGraph();
}

bool CTuningTest::OnlineMode() const { return Code(GetSetup(), loop_.onlinePlot) != 0; }

void CTuningTest::ShowProfilePicture() {
  static constexpr std::array<const char*, 3> kBitmaps{"profile_positive", "profile_negative", "profile_bidirectional"};
  const auto shape = static_cast<std::size_t>(kestrel::ReferenceShapeOf(Code(GetSetup(), loop_.referenceType)));
  SetChildBitmap(kProfilePicture, kBitmaps[shape]);
}

void CTuningTest::ShowRunState() {
  for (const int id : kLockedWhileRunning) EnableChild(id, !IsRunning());
  EnableChild(loop_.identifyButton, !IsRunning());
}

void CTuningTest::ShowOwnControls(bool test) {
  const CMC_Setup* setup = GetSetup();
  for (const int id : kFeedForwardGroup) ShowChild(id, test);
  ShowChild(kProfilePicture, !test);
  ShowChild(loop_.distanceEdit, !test);
  ShowChild(loop_.distanceUnit, !test);
  ShowChild(loop_.distanceEdit - 1, !test);
  ShowChild(loop_.identifyButton, test);
  if (!test && Code(setup, "CommutationMethod") == 0) {
    for (const int id : kStartCurrent) ShowChild(id, false);
  }
  if (!Has(setup, "SpeedForward")) {
    for (const int id : kSpeedFeedForward) EnableChild(id, false);
  }
  // The graph of the mode chosen; the live values only without the drive's scope.
  const bool online = OnlineMode();
  ShowChild(kLoggerGraph, test && !online);
  ShowChild(kLiveGraph, test && online);
  for (const int id : kLiveControls) ShowChild(id, test && online && scope_ == nullptr);
  for (const int id : loop_.liveValueIds) ShowChild(id, test && online && scope_ == nullptr);
  const bool linear = kestrel::IsLinearMotor(setup);
  for (const int id : {3269, 3270, 3288, 1384, 1385, 1386, 1387, 1388}) ShowChild(id, test && !linear);
  for (const int id : {3272, 3273, 3289, 1391, 1392, 1393, 1394, 1395}) ShowChild(id, test && linear);
}

void CTuningTest::OnCancel() {
  CMyTestDlg::OnCancel();
  if (ModalEnded() && !acceptedOnClose_) RestoreSetupChangedForRun();
}

void CTuningTest::AcceptResults() {
  acceptedOnClose_ = true;
  CMC_Setup* setup = GetSetup();
  if (scope_ != nullptr && scopeSettingsChanged_) {
    scope_->SaveSettingsToSetupOption(loop_.scopeOption);
  } else {
    setup->SetOption(loop_.scopeOption, "");
  }
  setup->SetParameterValueInBaseUnit("Imax_Prot", Value(setup, "TestProtectionCurrent"));
  setup->SetParameterValueInBaseUnit("IlimPS", Value(setup, "TestLimitCurrent"));
  setup->SetParameterValueInBaseUnit("StartCurrent", Value(setup, "TestStartCurrent"));
}

std::vector<kestrel::ComparedValue> CTuningTest::ComparedValues() const {
  static constexpr std::array<const char*, 3> kLabels{"Kp", "Ki", "Kd"};
  std::vector<kestrel::ComparedValue> values;
  for (std::size_t k = 0; k < loop_.tunedGains.size(); ++k) {
    values.push_back({kLabels[k], openingGains_[k], Value(GetSetup(), loop_.tunedGains[k].gain)});
  }
  return values;
}

const ui::MessageMap* CTuningTest::GetMessageMap() const {
  const ui::MessageMap* base = CTwoTabTest::GetMessageMap();
  static const ui::MessageMap map = [base] {
    ui::MessageMapBuilder<CTuningTest> builder(base);
    builder.Timer(&CTuningTest::OnTimer)
        .Command(kSavePlots, &CTuningTest::OnSavePlots)
        .Command(10067, &CTuningTest::OnSavePlots)
        .Command(10068, &CTuningTest::OnSaveMetafile)
        .Command(10069, &CTuningTest::OnExportText)
        .Command(kTuneButton, &CTuningTest::OnTune)
        .Command(kPauseButton, &CTuningTest::OnPause)
        .Command(kContinueButton, &CTuningTest::OnContinue)
        .Command(kFiltersButton, &CTuningTest::OnFilters)
        .Command(3271, &CTuningTest::OnIdentify)
        .Command(3305, &CTuningTest::OnIdentify)
        .CommandRange(10062, 10066, &CTuningTest::OnLivePlotCommand)
        .ContextMenu(&CTuningTest::OnContextMenu)
        .CtlColor(&CTuningTest::OnCtlColor)
        .Message(kScaleChangeMessage, &CTuningTest::OnScaleChange);
    return builder.Build();
  }();
  return &map;
}
