#include "dialogs/drive_setup_dlg.h"

#include <array>
#include <charconv>
#include <string>

#include "compute/derivation.h"
#include "compute/option_readers.h"
#include "compute/options.h"
#include "compute/parameter_limits.h"
#include "compute/registers.h"
#include "compute/setup_access.h"
#include "dialogs/advanced_dialog.h"
#include "dialogs/analog_reference_dlg.h"
#include "dialogs/binding_tables.h"
#include "dialogs/dialog_opener.h"
#include "dialogs/drive_info.h"
#include "dialogs/guideline_texts.h"
#include "dialogs/motor_setup_dialog.h"
#include "dialogs/message_box_reporter.h"
#include "dialogs/setup_values.h"
#include "dialogs/test_maker.h"
#include "ui/data_exchange.h"
#include "ui/event_loop.h"

using kestrel::dialogs::CheckBinding;
using kestrel::dialogs::Code;
using kestrel::dialogs::EditBinding;
using kestrel::dialogs::Has;
using kestrel::dialogs::RadioBinding;
using kestrel::dialogs::Value;

namespace {

constexpr int kAxisIdCombo = 3136;
constexpr const char* kHardwareAxisId = "H/W";  // the last entry, after "1" ... "255"

constexpr std::array kEdits{
    EditBinding{"Vdc", 3163, 3166},          EditBinding{"IlimPS", 3169, 3170},
    EditBinding{"Kp_C_scl", 3173, 0},        EditBinding{"Ki_C_scl", 3176, 0},
    EditBinding{"Kp_S_scl", 3179, 0},        EditBinding{"Ki_S_scl", 3180, 0},
    EditBinding{"IPSatS", 3181, 3182},       EditBinding{"KFFA_scl", 3183, 0},
    EditBinding{"KFFS_scl", 3265, 0},        EditBinding{"Kp_P_scl", 3190, 0},
    EditBinding{"Ki_P_scl", 3191, 0},        EditBinding{"Kd_P_scl", 3192, 0},
    EditBinding{"filter_D", 3193, 0},        EditBinding{"IPSatP", 3194, 3195},
    EditBinding{"KFFS_scl", 3196, 0},        EditBinding{"KFFA_scl", 3197, 0},
    EditBinding{"Limit_Speed", 1043, 1044},  EditBinding{"Imax_Prot", 3214, 3215},
    EditBinding{"time_Imax_Prot", 3216, 3217}, EditBinding{"ERR_position", 3218, 3219},
    EditBinding{"time_ERR_pos", 3220, 3221}, EditBinding{"ERR_speed", 3222, 3223},
    EditBinding{"time_ERR_spd", 3224, 3225}, EditBinding{"I_I2t_M", 3226, 3227},
    EditBinding{"t_I2t_M", 3228, 3229},      EditBinding{"Vbrake", 3244, 3245},
    EditBinding{"StartCurrent", 3257, 3258}, EditBinding{"time_AB", 3260, 3261},
};

constexpr std::array kChecks{
    CheckBinding{"isAutoActivatedAfterPowerOn", 3116}, CheckBinding{"isOverCurrent", 3213},
    CheckBinding{"isPositionControlError", 3230},      CheckBinding{"isSpeedControlError", 3231},
    CheckBinding{"isMotorOverTemp", 3232},             CheckBinding{"isMotori2t", 3233},
    CheckBinding{"isBrakeResistor", 3243},
};

constexpr std::array kRadios{
    RadioBinding{"ControlMode", 1059, 1061},      RadioBinding{"ExternalReference", 1063, 1064},
    RadioBinding{"isAnalogueReference", 3290, 3291}, RadioBinding{"CommutationMethod", 3211, 3212},
    RadioBinding{"LSPPolarity", 3251, 3252},      RadioBinding{"LSNPolarity", 3253, 3254},
    RadioBinding{"StartMode", 1096, 1100},
};

// Radios and checks whose click reloads the controls from the setup (the rules depend on them).
struct IdRange {
  int first;
  int last;
};
constexpr std::array kReloadingControls{
    IdRange{1059, 1061}, IdRange{1063, 1064}, IdRange{1096, 1097}, IdRange{1099, 1099},
    IdRange{3211, 3213}, IdRange{3230, 3231}, IdRange{3233, 3233}, IdRange{3243, 3243},
    IdRange{3351, 3351}, IdRange{3371, 3372},
};

}  // namespace

CDriveSetupDlg::CDriveSetupDlg(CMC_Setup* setup, CWnd* parent)
    : CMySetupDlg(setup, kTemplateId, 1, kestrel::dialogs::DriveSetupGuideline(), parent) {
  DeriveParametersFromRegisters(setup);
  ComputeParameterLimits(setup);
  ForceSpeedFeedForward(setup);
  BindParameters();
  SetHelpContext(kHelpContext);
  EnableCANSettings();
}

void CDriveSetupDlg::BindParameters() {
  CMC_Setup* setup = GetSetup();
  for (const EditBinding& b : kEdits) AddParameterControls(b.name, b.edit, b.unit);
  for (const CheckBinding& b : kChecks) AddCheckParameterControls(b.name, b.check);
  for (const RadioBinding& b : kRadios) AddSwitchParameterControls(b.name, b.first, b.last);
  if (!kestrel::IsEnablePolarityHidden(setup)) AddSwitchParameterControls("EnablePolarity", 1046, 1047);
  if (Has(setup, "InputsPolarityType")) AddSwitchParameterControls("InputsPolarityType", 3387, 3388);
  if (Has(setup, "isSWLS")) {
    AddCheckParameterControls("isSWLS", 3351);
    AddParameterControls("Negative_SWLS", 3270, 3271);
    AddParameterControls("Positive_SWLS", 3268, 3269);
  }
  if (Has(setup, "rise_time_AB")) AddParameterControls("rise_time_AB", 3274, 3275);
  if (Has(setup, "save_CAN_baudrate") && Has(setup, "save_axis_id")) {
    AddCheckParameterControls("save_CAN_baudrate", 3371);
    AddCheckParameterControls("save_axis_id", 3372);
  }
}

bool CDriveSetupDlg::OnInitDialog() {
  CMySetupDlg::OnInitDialog();
  CMC_Setup* setup = GetSetup();
  SetChildBitmap(10019, "TO_MOTORSETUP");
  EnableChild(3262, kestrel::HasAnalogueInput(setup));
  FillAxisIdCombo();
  SetChildText(3318, Code(setup, "DigitalReferenceType") == 0 ? "Pulse && Direction" : "Incremental Encoder");
  ShowInputType();
  UpdateData(false);
  return true;
}

void CDriveSetupDlg::FillAxisIdCombo() {
  axisIdCombo_.ResetContent();
  for (int id = 1; id <= 255; ++id) {
    axisIdCombo_.SetItemData(axisIdCombo_.AddString(std::to_string(id)), static_cast<std::uintptr_t>(id));
  }
  axisIdCombo_.SetItemData(axisIdCombo_.AddString(kHardwareAxisId), 0);
  axisIdChosen_ = false;
  // An axis ID the list cannot show (300, say) shows no entry and is kept unless the user picks one.
  const int axisId = Code(GetSetup(), "Axis_ID_list", -1);
  const std::string shown = axisId == 0 ? kHardwareAxisId : std::to_string(axisId);
  axisIdCombo_.SetCurSel(axisIdCombo_.FindStringExact(-1, shown));
}

void CDriveSetupDlg::ShowInputType() {
  CMC_Setup* setup = GetSetup();
  const int programmable = kestrel::GetInputsTypeProgrammable(setup);
  const bool hasInputType = Has(setup, "InputsPolarityType");
  EnableChild(3387, hasInputType && programmable == 1);
  EnableChild(3388, hasInputType && programmable == 1);
  bool sink = false;
  if (programmable == -1) {
    sink = setup->GetDescription().find("QZ") != std::string::npos;
    CheckRadioButton(3387, 3388, sink ? 3388 : 3387);
  } else if (hasInputType) {
    sink = Code(setup, "InputsPolarityType") == 1;
  } else {
    // Bit 2 of ASR set: source inputs.
    sink = kestrel::Bit(Value(setup, "ASR"), 2) == 0;
    CheckRadioButton(3387, 3388, sink ? 3388 : 3387);
  }
  SetInputRowTexts(sink);
}

void CDriveSetupDlg::SetInputRowTexts(bool sink) {
  SetChildText(3385, sink ? "Active high (Connected to +Vlog)" : "Active high (Open/No connection)");
  SetChildText(3386, sink ? "Active low (Open/No connection)" : "Active low (Connected to GND)");
}

void CDriveSetupDlg::DoDataExchange(CDataExchange* pDX) {
  CMySetupDlg::DoDataExchange(pDX);
  DDX_Control(pDX, kAxisIdCombo, axisIdCombo_);
  if (pDX->m_bSaveAndValidate) return;
  ApplyControlRules();
  RefreshAllParameters();
}

void CDriveSetupDlg::ReloadControls() { UpdateData(false); }

void CDriveSetupDlg::OnSelchangeAxisId() {
  axisIdChosen_ = true;
  const int index = axisIdCombo_.GetCurSel();
  if (index >= 127 && index <= 254) {
    MessageBox(
        "If your drive is set in CANopen mode, the axis ID values must be in the range 1-127. Any value over "
        "127 will set the drive as non-configured and further CANopen communication will be disabled until a "
        "valid Axis ID will be set in the drive. Leave the drive with a non-configured axis ID only if you "
        "intend to set the Axis ID later via a CANopen master using CiA305 LSS protocol.");
  }
}

void CDriveSetupDlg::OnShowWindow(bool shown, unsigned) {
  CenterWindow();
  if (shown) SetTimer(kMotorSetupTimer, kMotorSetupDelayMs);
}

void CDriveSetupDlg::OnTimer(std::uintptr_t id) {
  KillTimer(id);
  // Never a Motor Setup inside another dialog or test that this one opened.
  if (id == kMotorSetupTimer && ui::CurrentEventLoop().TopDialog() == this) RunMotorSetup();
}

void CDriveSetupDlg::OnMotorSetup() { RunMotorSetup(); }

void CDriveSetupDlg::RunMotorSetup() {
  CMotorSetupDialog motorSetup(GetSetup(), this);
  RunChild(motorSetup);
  ComputeOptions(GetSetup());
}

void CDriveSetupDlg::OnAdvanced() {
  CAdvancedDialog advanced(GetSetup(), this);
  RunChild(advanced, false, [setup = GetSetup()] { kestrel::ClearUnusableFeedForward(setup); });
}

void CDriveSetupDlg::OnExternalReference() {
  ComputeParameterLimits(GetSetup());
  CAnalogReferenceDlg reference(GetSetup(), this);
  RunChild(reference);
}

void CDriveSetupDlg::OnDriveInfo() {
  // Its edits change the current, bus and temperature scales: both layers are computed again.
  CDriveInfo info(GetSetup(), this);
  RunChild(info);
}

// The current controller's test runs with the sinusoidal voltage scale, in which its gains are
// tuned.
void CDriveSetupDlg::OnTuneCurrent() {
  RunChild([this]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), "current", this); },
           true);
}

// The speed test's limits follow the setup as it stands now.
void CDriveSetupDlg::OnTuneSpeed() {
  ComputeParameterLimits(GetSetup());
  RunChild([this]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), "speed", this); }, false);
}

void CDriveSetupDlg::OnTunePosition() {
  RunChild([this]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), "position", this); }, false);
}

void CDriveSetupDlg::OnTuneAngle() {
  RunChild([this]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), "angle", this); }, false);
}

// The measured supply voltage, once kept, goes through both layers to every control.
void CDriveSetupDlg::OnDetectVdc() {
  RunChild([this]() -> std::unique_ptr<CDialog> { return kestrel::MakeTest(GetSetup(), "vdc", this); }, false);
}

void CDriveSetupDlg::OnOK() {
  CommitPendingEdits();
  CMC_Setup* setup = GetSetup();
  if (axisIdChosen_ && Has(setup, "Axis_ID_list")) {
    const int index = axisIdCombo_.GetCurSel();
    const std::string text = index >= 0 ? axisIdCombo_.GetLBText(index) : "";
    if (text != std::to_string(Code(setup, "Axis_ID_list"))) {
      int axisId = 0;  // "H/W" reads as 0
      std::from_chars(text.data(), text.data() + text.size(), axisId);
      setup->SetParameterValueInBaseUnit("Axis_ID_list", axisId);
    }
  }
  ComputeAllRegisters(setup, kestrel::MessageBoxReporter());
  ComputeOptions(setup);
  CMySetupDlg::OnOK();
}

const ui::MessageMap* CDriveSetupDlg::GetMessageMap() const {
  const ui::MessageMap* base = CMySetupDlg::GetMessageMap();
  static const ui::MessageMap map = [base] {
    ui::MessageMapBuilder<CDriveSetupDlg> builder(base);
    builder.Command(10019, &CDriveSetupDlg::OnMotorSetup)
        .Command(3158, &CDriveSetupDlg::OnAdvanced)
        .Command(3159, &CDriveSetupDlg::OnDriveInfo)
        .Command(3208, &CDriveSetupDlg::OnExternalReference)
        .Command(3137, &CDriveSetupDlg::OnTuneCurrent)
        .Command(3178, &CDriveSetupDlg::OnTuneSpeed)
        .Command(3198, &CDriveSetupDlg::OnTunePosition)
        .Command(3264, &CDriveSetupDlg::OnTuneAngle)
        .Command(3171, &CDriveSetupDlg::OnDetectVdc)
        .ControlNotification(kAxisIdCombo, CBN_SELCHANGE, &CDriveSetupDlg::OnSelchangeAxisId)
        .ShowWindow(&CDriveSetupDlg::OnShowWindow)
        .Timer(&CDriveSetupDlg::OnTimer);
    for (const IdRange& range : kReloadingControls) {
      for (int id = range.first; id <= range.last; ++id) builder.Command(id, &CDriveSetupDlg::ReloadControls);
    }
    return builder.Build();
  }();
  return &map;
}
