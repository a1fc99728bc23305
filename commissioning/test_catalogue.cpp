#include "commissioning/test_catalogue.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <utility>

#include "commissioning/detect_encoder_resolution.h"
#include "commissioning/detect_pole_pairs.h"
#include "commissioning/test_analogue_ref.h"
#include "commissioning/test_angle.h"
#include "commissioning/test_current.h"
#include "commissioning/test_encoder_connections.h"
#include "commissioning/test_hall_configuration.h"
#include "commissioning/test_hall_signals.h"
#include "commissioning/test_linear_hall.h"
#include "commissioning/test_phase_connections.h"
#include "commissioning/test_position_tuning.h"
#include "commissioning/test_resolver_setup.h"
#include "commissioning/test_rl.h"
#include "commissioning/test_speed_tuning.h"
#include "commissioning/test_ssi_connections.h"
#include "commissioning/test_ssi_offset.h"
#include "commissioning/test_vdc_detection.h"
#include "commissioning/total_inertia_test.h"
#include "compute/setup_access.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/my_setup_dlg.h"
#include "dialogs/setup_values.h"
#include "dialogs/test_maker.h"
#include "ui/template_library.h"

namespace kestrel {
namespace resources {
std::string_view DialogTemplate101();
std::string_view DialogTemplate288();
std::string_view DialogTemplate289();
std::string_view DialogTemplate290();
std::string_view DialogTemplate102();
std::string_view DialogTemplate103();
std::string_view DialogTemplate3041();
std::string_view DialogTemplate3056();
std::string_view DialogTemplate3065();
std::string_view DialogTemplate3066();
std::string_view DialogTemplate291();
std::string_view DialogTemplate292();
std::string_view DialogTemplate3060();
std::string_view DialogTemplate3067();
std::string_view DialogTemplate3070();
std::string_view DialogTemplate293();
std::string_view DialogTemplate294();
std::string_view DialogTemplate3061();
std::string_view DialogTemplate3062();
std::string_view DialogTemplate3068();
std::string_view DialogTemplate3069();
std::string_view DialogTemplate3058();
std::string_view DialogTemplate3063();
std::string_view DialogTemplate3059();
std::string_view DialogTemplate104();
std::string_view DialogTemplate105();
std::string_view DialogTemplate3064();
}  // namespace resources

namespace {

template <class Test>
std::unique_ptr<CMyTestDlg> Make(CMC_Setup* setup, CWnd* parent) {
  return std::make_unique<Test>(setup, parent);
}

// A test that takes the opener's flag, opened on its own with flag 1.
template <class Test>
std::unique_ptr<CMyTestDlg> MakeFlagged(CMC_Setup* setup, CWnd* parent) {
  return std::make_unique<Test>(setup, 1, parent);
}

// The rotary member, or the linear one for a linear motor (TransmissionType 2 or 3).
template <class Rotary, class Linear>
std::unique_ptr<CMyTestDlg> MakeForMotor(CMC_Setup* setup, CWnd* parent) {
  if (IsLinearMotor(setup)) return std::make_unique<Linear>(setup, parent);
  return std::make_unique<Rotary>(setup, parent);
}

// A test of the load sensor.
template <class Test>
std::unique_ptr<CMyTestDlg> MakeForLoad(CMC_Setup* setup, CWnd* parent) {
  return std::make_unique<Test>(setup, SensorSide::load, parent);
}

// The sine/cosine members for a motor sensor of type 3 or 7, the incremental ones otherwise.
std::unique_ptr<CMyTestDlg> MakeEncoderResolutionTest(CMC_Setup* setup, CWnd* parent) {
  const int sensor = dialogs::Code(setup, "MotorSensorType");
  const bool sinCos = sensor == 3 || sensor == 7;
  if (IsLinearMotor(setup)) {
    if (sinCos) return std::make_unique<CDetectEncoderResolution2_lin>(setup, parent);
    return std::make_unique<CDetectEncoderResolution_lin>(setup, parent);
  }
  if (sinCos) return std::make_unique<CDetectEncoderResolution2>(setup, parent);
  return std::make_unique<CDetectEncoderResolution>(setup, parent);
}

constexpr std::array kTests{
    CommissioningTest{"current", "Current Controller Tuning Test", true, &Make<CTestCurrent>},
    CommissioningTest{"rl", "Total Resistance and Inductance Identification Test", true, &Make<CTestRL>},
    CommissioningTest{"phase", "Motor Phase Connection Test", false, &Make<CTestPhaseConnections>},
    CommissioningTest{"pole-pairs", "Motor Pole Pairs Detection Test", false, &Make<CDetectPolePairs>},
    CommissioningTest{"speed", "Speed Controller Tuning Test", false, &Make<CTestSpeedTuning>},
    CommissioningTest{"position", "Position Controller Tuning Test", false, &Make<CTestPositionTuning>},
    CommissioningTest{"inertia", "Total inertia test", false, &MakeFlagged<CTotalInertiaTest>},
    CommissioningTest{"mass", "Total mass test", false, &MakeFlagged<CTotalMassTest>},
    CommissioningTest{"encoder", "Encoder Connection Test", false,
                      &MakeForMotor<CTestEncoderConnections, CTestEncoderConnections_lin>},
    CommissioningTest{"encoder-load", "Motor and Load Encoder Connection Test", false,
                      &Make<CTestEncoderLdConnections>},
    CommissioningTest{"resolution", "Encoder Resolution and Direction Test", false, &MakeEncoderResolutionTest},
    CommissioningTest{"hall-signals", "Hall Sensors Connection Test", false,
                      &MakeForMotor<CTestHallSignals, CTestHallSignals_lin>},
    CommissioningTest{"hall-config", "Hall Configuration Detection Test", false,
                      &MakeForMotor<CTestHallConfiguration, CTestHallConfiguration_lin>},
    CommissioningTest{"linear-hall-signals", "Linear Hall Sensors Connection Test", false, &Make<CTestLHHallSignals>},
    CommissioningTest{"linear-hall-gains", "Linear Hall Gains and Offsets Detection", false,
                      &Make<CDetectHallGainOffset>},
    CommissioningTest{"linear-hall-signals-load", "Linear Hall Sensors Connection Test (load)", false,
                      &MakeForLoad<CTestLHHallSignals>},
    CommissioningTest{"linear-hall-gains-load", "Linear Hall Gains and Offsets Detection (load)", false,
                      &MakeForLoad<CDetectHallGainOffset>},
    CommissioningTest{"ssi-connection", "Encoder Connections Test", false, &Make<CTestSSIEncoderConnections>},
    CommissioningTest{"ssi-connection-load", "Encoder Connections Test (load)", false,
                      &MakeForLoad<CTestSSIEncoderConnections>},
    CommissioningTest{"ssi-offset", "Detect Offset Test", false, &Make<CTestSSIEncoderOffset>},
    CommissioningTest{"angle", "Electric Angle Controller Tuning Test", false, &Make<CTestAngle>},
    CommissioningTest{"vdc", "VDC Detection Test", false, &Make<CTestVdcDetection>},
    CommissioningTest{"analogue", "Analogue Reference Test", false, &Make<CTestAnalogueRef>},
    CommissioningTest{"resolver", "Resolver Setup Test", false, &Make<CTestResolverSetup>},
};

const CommissioningTest* FindTest(std::string_view name) {
  const auto it =
      std::ranges::find_if(kTests, [name](const CommissioningTest& test) { return dialogs::SameName(test.name, name); });
  return it != kTests.end() ? &*it : nullptr;
}

const CommissioningTest& TestNamed(std::string_view name) {
  const CommissioningTest* test = FindTest(name);
  if (test == nullptr) throw std::invalid_argument("no commissioning test named '" + std::string(name) + "'");
  return *test;
}

}  // namespace

std::span<const CommissioningTest> CommissioningTests() { return kTests; }

bool IsCommissioningTestName(std::string_view name) { return FindTest(name) != nullptr; }

void RegisterTestTemplates() {
  static const bool registered = [] {
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate101(), "resources/dialogs/101.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate288(), "resources/dialogs/288.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate289(), "resources/dialogs/289.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate290(), "resources/dialogs/290.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate102(), "resources/dialogs/102.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate103(), "resources/dialogs/103.json"));
    CTuningTest::RegisterLivePlotMenu();
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate3041(), "resources/dialogs/3041.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate3056(), "resources/dialogs/3056.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate3065(), "resources/dialogs/3065.json"));
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate3066(), "resources/dialogs/3066.json"));
    for (const auto& [text, file] : {std::pair{resources::DialogTemplate291(), "resources/dialogs/291.json"},
                                     {resources::DialogTemplate292(), "resources/dialogs/292.json"},
                                     {resources::DialogTemplate3060(), "resources/dialogs/3060.json"},
                                     {resources::DialogTemplate3067(), "resources/dialogs/3067.json"},
                                     {resources::DialogTemplate3070(), "resources/dialogs/3070.json"},
                                     {resources::DialogTemplate293(), "resources/dialogs/293.json"},
                                     {resources::DialogTemplate294(), "resources/dialogs/294.json"},
                                     {resources::DialogTemplate3061(), "resources/dialogs/3061.json"},
                                     {resources::DialogTemplate3062(), "resources/dialogs/3062.json"},
                                     {resources::DialogTemplate3068(), "resources/dialogs/3068.json"},
                                     {resources::DialogTemplate3069(), "resources/dialogs/3069.json"},
                                     {resources::DialogTemplate3058(), "resources/dialogs/3058.json"},
                                     {resources::DialogTemplate3063(), "resources/dialogs/3063.json"},
                                     {resources::DialogTemplate3059(), "resources/dialogs/3059.json"},
                                     {resources::DialogTemplate104(), "resources/dialogs/104.json"},
                                     {resources::DialogTemplate105(), "resources/dialogs/105.json"},
                                     {resources::DialogTemplate3064(), "resources/dialogs/3064.json"}}) {
      ui::DialogTemplates().Add(ui::ParseDialogTemplate(text, file));
    }
    return true;
  }();
  (void)registered;
}

void RegisterCommissioningTests() {
  RegisterTestTemplates();
  SetTestMaker([](CMC_Setup* setup, std::string_view name, CWnd* parent) -> std::unique_ptr<CDialog> {
    return MakeCommissioningTest(setup, name, parent);
  });
}

std::unique_ptr<CMyTestDlg> MakeCommissioningTest(CMC_Setup* setup, std::string_view name, CWnd* parent) {
  const CommissioningTest& test = TestNamed(name);
  RegisterTestTemplates();
  return test.make(setup, parent);
}

bool UsesSinusoidalVoltage(std::string_view name) {
  const CommissioningTest* test = FindTest(name);
  return test != nullptr && test->sinusoidalVoltage;
}

int RunTestAlone(CMC_Setup* setup, std::string_view name) {
  const CommissioningTest& test = TestNamed(name);
  RegisterDialogTemplates();
  RegisterTestTemplates();
  return RunChildDialog(setup, [&] { return test.make(setup, nullptr); }, test.sinusoidalVoltage);
}

}  // namespace kestrel
