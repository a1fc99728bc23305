#include "dialogs/motor_setup_dialog.h"

#include <array>

#include "compute/derivation.h"
#include "compute/option_readers.h"
#include "compute/registers.h"
#include "compute/setup_access.h"
#include "dialogs/binding_tables.h"
#include "dialogs/guideline_texts.h"
#include "dialogs/motor_setup_local_values.h"
#include "dialogs/setup_values.h"
#include "dialogs/test_maker.h"
#include "ui/data_exchange.h"

using kestrel::dialogs::CheckBinding;
using kestrel::dialogs::Code;
using kestrel::dialogs::ComboBinding;
using kestrel::dialogs::EditBinding;
using kestrel::dialogs::Has;
using kestrel::dialogs::IntOption;
using kestrel::dialogs::RadioBinding;
using kestrel::dialogs::SetValue;

namespace {

constexpr std::array kMotorEdits{
    EditBinding{"In", 1159, 1160},       EditBinding{"ImaxM", 1161, 1162},     EditBinding{"pp", 1165, 0},
    EditBinding{"PolePitch", 3425, 3426}, EditBinding{"K", 1166, 1167},        EditBinding{"Kf", 3424, 3423},
    EditBinding{"R", 1168, 1169},        EditBinding{"L", 1170, 1171},         EditBinding{"Jm", 1172, 1173},
    EditBinding{"M", 3428, 3429},        EditBinding{"Motor_transmission", 1163, 1164},
    EditBinding{"Load_transmission", 1174, 1192},
};

// Sensor settings, bound whenever the setup holds them, so that the fields of a sensor chosen
// inside the dialog work too.
constexpr std::array kSensorEdits{
    EditBinding{"No_encoder_lines", 1179, 1180},      EditBinding{"Resolution", 3431, 3432},
    EditBinding{"LHResolution", 3407, 0},             EditBinding{"SSI_No_Bits_Revolution", 3435, 3436},
    EditBinding{"SSI_No_Bits_Turns", 3438, 3439},     EditBinding{"SSI_Offset", 3449, 0},
    EditBinding{"No_encoder_lines_LD", 1203, 1204},   EditBinding{"Resolution_LD", 1205, 1206},
    EditBinding{"LHResolution_LD", 3412, 0},          EditBinding{"SSI_No_Bits_Revolution_LD", 3455, 3456},
    EditBinding{"SSI_No_Bits_Turns_LD", 3458, 3459},  EditBinding{"MotorBrake_releasetime", 1191, 1197},
    EditBinding{"MotorBrake_applytime", 1198, 1199},
};

constexpr std::array kLinearSerialEdits{
    EditBinding{"SSI_Resolution", 3553, 3554}, EditBinding{"SSI_No_Bits_Linear", 3556, 0},
    EditBinding{"SSI_Resolution_LD", 3558, 3559}, EditBinding{"SSI_No_Bits_Linear_LD", 3561, 0},
};

constexpr std::array kSensorChecks{
    CheckBinding{"isHallsensors", 1181},        CheckBinding{"SSI_isReverseCounting", 3447},
    CheckBinding{"SSI_isReverseCounting_LD", 3467}, CheckBinding{"isFilterEnc_MT", 3360},
    CheckBinding{"isFilterEnc_LD", 3366},       CheckBinding{"ReverseCounting_MT", 3358},
    CheckBinding{"ReverseCounting_LD", 3361},   CheckBinding{"isMotorBrake", 3363},
};

constexpr std::array kSensorRadios{
    RadioBinding{"SSI_isMultiTurn", 3433, 3434},    RadioBinding{"SSI_isGray", 3442, 3443},
    RadioBinding{"SSI_isMultiTurn_LD", 3453, 3454}, RadioBinding{"SSI_isGray_LD", 3462, 3463},
};

constexpr std::array kCombos{
    ComboBinding{"MotorSensorType", 1201}, ComboBinding{"MotorSensorConnector", 1202},
    ComboBinding{"LoadSensorType", 1216},  ComboBinding{"LoadSensorConnector", 1217},
};

constexpr std::array kSensorCombos{
    ComboBinding{"HALLCASE", 1182},          ComboBinding{"SINCOS_fract", 1200},
    ComboBinding{"SINCOS_fract_LD", 1215},   ComboBinding{"SSI_freq", 3446},
    ComboBinding{"SSI_freq_LD", 3466},       ComboBinding{"FilterEncValue_MT", 3359},
    ComboBinding{"FilterEncValue_LD", 3365}, ComboBinding{"MotorBrake_output", 3364},
};

}  // namespace

CMotorSetupDialog::CMotorSetupDialog(CMC_Setup* setup, CWnd* parent)
    : CMySetupDlg(setup, kTemplateId, 0, kestrel::dialogs::RotaryMotorGuideline(), parent) {
  BindParameters();
  CreateLocalValues();
  SetHelpContext(kHelpContext);
  InitializeMotorEditor();
}

CMotorSetupDialog::~CMotorSetupDialog() = default;

void CMotorSetupDialog::BindParameters() {
  for (const EditBinding& b : kMotorEdits) AddParameterControls(b.name, b.edit, b.unit);
  AddCheckParameterControls("isMotorInertiaUnknown", 1178);
  AddSwitchParameterControls("MotorPhaseConnectionType", 1195, 1196);
  for (const ComboBinding& b : kCombos) AddSwitchParameterControls(b.name, b.combo);
  AddCheckParameterControls("isMotorTemperatureSensor", 1183);
  AddSwitchParameterControls("Motor_TempSensor_Type", 1185, 1186);
  AddSwitchParameterControls("TransmissionType", 3416, 3419);
  BindSensorParameters();
}

void CMotorSetupDialog::BindSensorParameters() {
  const CMC_Setup* setup = GetSetup();
  for (const EditBinding& b : kSensorEdits) {
    if (Has(setup, b.name)) AddParameterControls(b.name, b.edit, b.unit);
  }
  if (kestrel::HasLinearAbsoluteEncoders(setup)) {
    for (const EditBinding& b : kLinearSerialEdits) {
      if (Has(setup, b.name)) AddParameterControls(b.name, b.edit, b.unit);
    }
  }
  for (const CheckBinding& b : kSensorChecks) {
    if (Has(setup, b.name)) AddCheckParameterControls(b.name, b.check);
  }
  for (const RadioBinding& b : kSensorRadios) {
    if (Has(setup, b.name)) AddSwitchParameterControls(b.name, b.first, b.last);
  }
  for (const ComboBinding& b : kSensorCombos) {
    if (Has(setup, b.name)) AddSwitchParameterControls(b.name, b.combo);
  }
  // The resolver's count, on whichever side the resolver is.
  AddParameterControls("MECRESL", 3474);
  AddParameterControls("MECRESL", 3478);
}

bool CMotorSetupDialog::OnInitDialog() {
  CMySetupDlg::OnInitDialog();
  CMC_Setup* setup = GetSetup();
  SetChildBitmap(IDOK, "TO_DRIVESETUP");
  SetChildBitmap(3483, "WARN_SWITCH_HW_LS");
  ShowChild(3483, false);
  FillHallCombo();
  FillFilterCombos();
  FillBrakeCombo();
  SetChildBitmap(3369, "3066");
  FillSensorCombos("");
  FillInterpolationCombos();
  ApplyTransmissionRule();
  UseGuidelineOfMotorSide();
  for (const bool loadSide : {false, true}) {
    const int type = Code(setup, loadSide ? "LoadSensorType" : "MotorSensorType");
    if (type == 5 || type == 6) FillFrequencyCombo(loadSide);
  }
  dualLoop_ = Code(setup, "MotorSensorType") != 0 && Code(setup, "LoadSensorType") != 0;
  UpdateData(false);
  return true;
}

void CMotorSetupDialog::DoDataExchange(CDataExchange* pDX) {
  CMySetupDlg::DoDataExchange(pDX);
  if (pDX->m_bSaveAndValidate) return;
  ApplyControlRules();
  RefreshAllParameters();
}

void CMotorSetupDialog::ReloadControls() { UpdateData(false); }

void CMotorSetupDialog::OnSelchangeMotorName() {
  CMySetupDlg::OnSelchangeMotorName();
  if (Code(GetSetup(), "MotorSensorType") == 4) SetFixedResolverCount();
}

void CMotorSetupDialog::SetFixedResolverCount() {
  CMC_Setup* setup = GetSetup();
  const int fixedCount = IntOption(setup, "ResolverFixedCounts", 0);
  if (fixedCount <= 0) return;
  setup->SetParameterValueInBaseUnit("MECRESL", fixedCount);
  kestrel::DeriveEncoderLines(setup);
  kestrel::ComputeMECRESL(setup);
  RefreshParameterControls("No_encoder_lines");
  RefreshParameterControls("MECRESL");
}

void CMotorSetupDialog::OnOK() {
  CommitPendingEdits();
  CMC_Setup* setup = GetSetup();
  if (Code(setup, "isMotorTemperatureSensor") == 0) SetValue(setup, "isMotorOverTemp", 0);
  const int motorType = Code(setup, "MotorSensorType");
  const bool incrementalOrNone = motorType == 0 || motorType == 1 || motorType == 9;
  // Trapezoidal commutation and the Hall starts need Hall sensors.
  if (incrementalOrNone && Code(setup, "isHallsensors") == 0) {
    if (Code(setup, "CommutationMethod") == 0) SetValue(setup, "CommutationMethod", 1);
    const int startMode = Code(setup, "StartMode");
    if (startMode == 1 || startMode == 3) SetValue(setup, "StartMode", 0);
  }
  if (!incrementalOrNone && Code(setup, "CommutationMethod") == 0) SetValue(setup, "CommutationMethod", 1);
  // A load sensor added to a single-loop setup closes the position loop over the speed loop.
  if (!dualLoop_ && motorType != 0 && Code(setup, "LoadSensorType") != 0) SetValue(setup, "PositionControlType", 1);
  CMySetupDlg::OnOK();
}

// The motor tests, built by name on the layers brought to agree; every control is reloaded after
// OK. The resistance and inductance run with the sinusoidal voltage scale.
int CMotorSetupDialog::RunTest(const char* name, bool sinusoidalVoltage) {
  return RunChild([this, name]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), name, this); },
                  sinusoidalVoltage);
}

void CMotorSetupDialog::OnTestPhaseConnections() { RunTest("phase", false); }

void CMotorSetupDialog::OnDetectPolePairs() {
  // The controls are shown afresh after OK; what depends on pp follows it here.
  if (RunTest("pole-pairs", false) == IDOK) OnRefreshParameterValue("pp");
}

void CMotorSetupDialog::OnIdentifyResistanceAndInductance() { RunTest("rl", true); }

void CMotorSetupDialog::OnTestEncoderConnections() { RunTest("encoder", false); }

// The resolver's offset stays in the setup; Motor Setup shows nothing of it to refresh.
void CMotorSetupDialog::OnSetupResolver() {
  kestrel::RunChildDialog(
      GetSetup(), [this]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), "resolver", this); },
      false);
}

void CMotorSetupDialog::OnTestLoadEncoderConnections() { RunTest("encoder-load", false); }

// After OK the counting direction and the lines (the resolution of a linear motor) follow what
// the test kept. A test left otherwise still keeps the counting direction the user chose in it.
void CMotorSetupDialog::OnDetectEncoderResolution() {
  CMC_Setup* setup = GetSetup();
  int reverseCounting = -1;
  const auto make = [this]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), "resolution", this); };
  const auto ended = [&reverseCounting](const CDialog& test) {
    if (const auto* report = dynamic_cast<const kestrel::CountingDirectionReport*>(&test)) {
      reverseCounting = report->RememberedReverseCounting();
    }
  };
  const bool hasReverseCounting = Has(setup, "ReverseCounting_MT");
  if (RunChild(make, false, ended) != IDOK) {
    if (!hasReverseCounting || reverseCounting == -1) return;
    setup->FindParameter("ReverseCounting_MT")->SetValueInInternalUnit(reverseCounting);
    OnChangedParameterValue("ReverseCounting_MT");
    OnRefreshParameterValue("ReverseCounting_MT");
    RefreshParameterControls("ReverseCounting_MT");
    return;
  }
  if (hasReverseCounting) OnRefreshParameterValue("ReverseCounting_MT");
  OnRefreshParameterValue(kestrel::IsLinearMotor(setup) ? "Resolution" : "No_encoder_lines");
}

const ui::MessageMap* CMotorSetupDialog::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CMotorSetupDialog>(CMySetupDlg::GetMessageMap())
                                        .Command(3363, &CMotorSetupDialog::ReloadControls)
                                        .Command(1175, &CMotorSetupDialog::OnTestPhaseConnections)
                                        .Command(1176, &CMotorSetupDialog::OnDetectPolePairs)
                                        .Command(1177, &CMotorSetupDialog::OnIdentifyResistanceAndInductance)
                                        .Command(1187, &CMotorSetupDialog::OnTestEncoderConnections)
                                        .Command(1211, &CMotorSetupDialog::OnTestLoadEncoderConnections)
                                        .Command(1189, &CMotorSetupDialog::OnDetectEncoderResolution)
                                        .Command(3403, &CMotorSetupDialog::OnDetectEncoderResolution)
                                        .Command(1188, &CMotorSetupDialog::OnTestHallSignals)
                                        .Command(1190, &CMotorSetupDialog::OnDetectHallConfiguration)
                                        .Command(3409, &CMotorSetupDialog::OnDetectLinearHallGains)
                                        .Command(3414, &CMotorSetupDialog::OnDetectLoadLinearHallGains)
                                        .Command(3410, &CMotorSetupDialog::OnTestLinearHallSignals)
                                        .Command(3415, &CMotorSetupDialog::OnTestLoadLinearHallSignals)
                                        .Command(3451, &CMotorSetupDialog::OnDetectSerialEncoderOffset)
                                        .Command(3452, &CMotorSetupDialog::OnTestSerialEncoderConnections)
                                        .Command(3472, &CMotorSetupDialog::OnTestLoadSerialEncoderConnections)
                                        .Command(3476, &CMotorSetupDialog::OnSetupResolver)
                                        .Command(3480, &CMotorSetupDialog::OnSetupResolver)
                                        .ControlNotification(drivebase::kMotorNameCombo, CBN_SELCHANGE,
                                                             &CMotorSetupDialog::OnSelchangeMotorName)
                                        .Build();
  return &map;
}
