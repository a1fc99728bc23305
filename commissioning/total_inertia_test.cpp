// The total inertia and mass tests: what tells the twins apart, the result's formula and the
// judgement of the readings, the controls, and closing.
#include "commissioning/total_inertia_test.h"

#include <cmath>

#include "commissioning/program_names.h"
#include "dialogs/setup_values.h"

namespace {

// The texts of a failed identification. N2 is N1 with a final full stop.
constexpr const char* kInertiaNegative =
    "When a POSITIVE torque level is applied to the motor, the measured speed is NEGATIVE.\nPossible causes of "
    "failure:\n\t\tThe current controller is not tuned;\n\t\tThe encoder signals are reversed;\n\t\tCheck the "
    "current controller tuning;\n\t\tUse the test <<Detect number of lines>> to verify the encoder counting "
    "direction;\n\t\tCheck if the motor nominal current was correctly set";
constexpr const char* kMassNegative =
    "When a POSITIVE force level is applied to the motor, the measured speed is NEGATIVE.\nPossible causes of "
    "failure:\n\t\tThe current controller is not tuned;\n\t\tThe encoder signals are reversed;\n\t\tCheck the "
    "current controller tuning;\n\t\tUse the test <<Detect number of lines>> to verify the encoder counting "
    "direction;\n\t\tCheck if the motor nominal current was correctly set";
constexpr const char* kInertiaZero =
    "When trying to apply POSITIVE torque to the motor, the measured speed is ZERO, or the reference torque cannot "
    "be reached!\nPossible causes of failure:\n\t\tThe current controller is not tuned;\n\t\tThe encoder signals are "
    "missing;\n\t\tThe DC voltage level is not high enough;\n\t\tCheck the current controller tuning;\n\t\tUse the "
    "encoder <<Test connections>> to verify presence of the encoder signals\n\t\tCheck if the motor nominal current "
    "was correctly set.\n\t\tTry to decrease the test current.";
constexpr const char* kMassZero =
    "When trying to apply POSITIVE force to the motor, the measured speed is ZERO, or the reference force cannot "
    "be reached!\nPossible causes of failure:\n\t\tThe current controller is not tuned;\n\t\tThe encoder signals are "
    "missing;\n\t\tThe DC voltage level is not high enough;\n\t\tCheck the current controller tuning;\n\t\tUse the "
    "encoder <<Test connections>> to verify presence of the encoder signals\n\t\tCheck if the motor nominal current "
    "was correctly set.\n\t\tTry to decrease the test current.";
constexpr const char* kSpeedNotReached =
    "The motor does not reach the programmed speed level!\nYou may have a problem with the encoder or the initial "
    "positioning is not performed correctly. Check the encoder and motor connections. If these are OK, try to "
    "increase the test current.";

constexpr kestrel::TotalInertiaKind kInertia{
    CTotalInertiaTest::kTemplateId,
    262417,
    "Jt",
    "K",
    "Total inertia",
    "Total_Inertia_Identification_Test",
    {"Launching code for preliminary test", "Waiting preliminary test to be finished", "Launching code for J test",
     "Waiting J test to be finished"},
    kInertiaNegative,
    kInertiaZero,
};

constexpr kestrel::TotalInertiaKind kMass{
    CTotalMassTest::kTemplateId,
    262418,
    "Mt",
    "Kf",
    "Total mass",
    "Total_Mass_Identification_Test",
    {"Launching code for preliminary test", "Waiting preliminary test to be finished", "Launching code for M test",
     "Waiting M test to be finished"},
    kMassNegative,
    kMassZero,
};

}  // namespace

namespace kestrel {

const TotalInertiaKind& InertiaTestKind() { return kInertia; }
const TotalInertiaKind& MassTestKind() { return kMass; }

double TotalInertia(double speedScale, double currentScale, double period_s, double constant, double testCurrent,
                    const TotalInertiaReadings& readings) {
  return (speedScale / currentScale) * readings.deltaTime * period_s * constant * testCurrent / readings.deltaSpeed;
}

std::optional<std::string> TotalInertiaFailure(const TotalInertiaKind& kind, const TotalInertiaReadings& readings) {
  if (readings.testFlag <= 0.0) return std::string(kind.negativeSpeedText);
  if (readings.deltaTime <= 0.0) {
    if (readings.deltaTime == -1.0) return std::string(kind.negativeSpeedText) + ".";
    if (readings.deltaTime == -2.0) return std::string(kind.zeroSpeedText);
    return std::string(kSpeedNotReached);
  }
  // A speed that fell, or did not change, would give a negative or infinite result.
  if (readings.deltaSpeed < 0.0) return std::string(kind.negativeSpeedText) + ".";
  if (readings.deltaSpeed == 0.0) return std::string(kind.zeroSpeedText);
  return std::nullopt;
}

}  // namespace kestrel

CTotalLoadTest::CTotalLoadTest(CMC_Setup* setup, int flag, CWnd* parent, const kestrel::TotalInertiaKind& kind)
    : CMyTestDlg(setup, kind.templateId, flag, parent), kind_(kind) {
  AddParameterControls("TestMaxSpeed", kMaxSpeedEdit, kMaxSpeedUnit);
  AddParameterControls(kind.resultParameter, kResultEdit, kResultUnit);
  AddParameterControls("TestCurrent", kCurrentEdit, kCurrentUnit);
  AddParameterControls("TestProtectionCurrent", kProtectionEdit, kProtectionUnit);
  SetHelpContext(kind.helpContext);
  // The inertia test's positioning is the rotary one; the mass test takes the linear one where
  // the sensor has it.
  const bool linear = kind.templateId == CTotalMassTest::kTemplateId;
  const std::string prefix = kestrel::ProgramPrefix(setup);
  preliminaryProgram_ = kestrel::ProgramName(prefix, "Initial_Positioning_Test", linear ? 3 : 0);
  mainProgram_ = kestrel::ProgramName(prefix, kind.programBaseName, linear ? 3 : 0);
}

CTotalInertiaTest::CTotalInertiaTest(CMC_Setup* setup, int flag, CWnd* parent)
    : CTotalLoadTest(setup, flag, parent, kInertia) {}

CTotalMassTest::CTotalMassTest(CMC_Setup* setup, int flag, CWnd* parent) : CTotalLoadTest(setup, flag, parent, kMass) {}

bool CTotalLoadTest::OnInitDialog() {
  CMyTestDlg::OnInitDialog();
  SetPurposeText(kind_.templateId == CTotalMassTest::kTemplateId
                     ? "Identifies the total mass that the motor moves, motor and load."
                     : "Identifies the total inertia that the motor moves, motor and load.");
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  openingResult_ = kestrel::dialogs::Value(GetSetup(), kind_.resultParameter);
  return true;
}

void CTotalLoadTest::OnOK() {
  CMyTestDlg::OnOK();
  if (!ModalEnded()) return;
  kestrel::dialogs::SetValue(GetSetup(), "Imax_Prot", kestrel::dialogs::Value(GetSetup(), "TestProtectionCurrent"));
}

// The values are compared as the question prints them: a result that prints as the stored
// value asks nothing.
std::vector<kestrel::ComparedValue> CTotalLoadTest::ComparedValues() const {
  if (!identified_) return {};
  const double now = kestrel::dialogs::Value(GetSetup(), kind_.resultParameter);
  if (kestrel::FormatG(now) == kestrel::FormatG(openingResult_)) return {};
  return {{kind_.resultLabel, openingResult_, now, false}};
}

std::vector<CMyTestDlg::MeasuredValue> CTotalLoadTest::MeasuredValues() const {
  if (!identified_) return {};
  const CMC_Parameter* result = GetSetup()->FindParameter(kind_.resultParameter);
  return {{kind_.resultParameter, result != nullptr ? std::string(result->GetBaseUnitName()) : "", *identified_}};
}

std::vector<CMyTestDlg::TestResultLine> CTotalLoadTest::ResultLines() const {
  std::vector<TestResultLine> lines;
  for (const MeasuredValue& value : MeasuredValues()) {
    lines.push_back({kind_.resultLabel, kestrel::FormatG(value.value) + (value.unit.empty() ? "" : " " + value.unit)});
  }
  return lines;
}
