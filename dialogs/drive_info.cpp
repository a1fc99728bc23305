#include "dialogs/drive_info.h"

#include <array>
#include <charconv>
#include <climits>

#include "compute/registers.h"
#include "dialogs/binding_tables.h"
#include "dialogs/control_rules.h"
#include "dialogs/message_box_reporter.h"
#include "dialogs/setup_values.h"
#include "ui/controls.h"
#include "ui/data_exchange.h"
#include "ui/keyboard.h"
#include "ui/window_messages.h"

using kestrel::dialogs::CheckBinding;
using kestrel::dialogs::Code;
using kestrel::dialogs::EditBinding;
using kestrel::dialogs::EnableAll;

namespace {

constexpr int kFirmwareId = 3278;
constexpr int kProductId = 3277;
constexpr int kE2ROMSize = 3276;
constexpr int kDriveName = 3275;
constexpr int kApplicationId = 3114;
constexpr int kWordsPerKword = 1024;

constexpr std::array kEdits{
    EditBinding{"VMOT_min", 3087, 3088},       EditBinding{"VMOT_max", 3089, 3090},
    EditBinding{"VLOG_min", 3092, 3093},       EditBinding{"VLOG_max", 3094, 3095},
    EditBinding{"InPS", 1159, 1160},           EditBinding{"ImaxPS", 1161, 1162},
    EditBinding{"VdcMaxMeasurable", 1163, 1164}, EditBinding{"DriveTempSensorGain", 1165, 1166},
    EditBinding{"DriveTempOutputAt0oC", 1167, 1168}, EditBinding{"Temp_2", 1177, 1178},
    EditBinding{"UMAX_PROT", 1169, 1170},      EditBinding{"UMIN_PROT", 1171, 1172},
    EditBinding{"I_I2t_D", 1173, 1174},        EditBinding{"t_I2t_D", 1175, 1176},
    EditBinding{"AnalogueInputsRange", 1179, 1180},
};

constexpr std::array kChecks{
    CheckBinding{"isDriveTemperatureSensor", 3097}, CheckBinding{"isDriveOverTemp", 3325},
    CheckBinding{"isOverVoltage", 3103},            CheckBinding{"isUnderVoltage", 3105},
    CheckBinding{"isDriveI2t", 3107},
};

bool IsHeld(int key) { return GetKeyState(key) < 0; }

// A positive whole number of Kwords whose size in words fits the drive's count.
bool ReadKwords(const std::string& text, int& kwords) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, kwords);
  return error == std::errc() && stop == end && kwords > 0 && kwords <= INT_MAX / kWordsPerKword;
}

}  // namespace

CDriveInfo::CDriveInfo(CMC_Setup* setup, CWnd* parent) : CMySetupDlg(setup, kTemplateId, 0, {}, parent) {
  for (const EditBinding& b : kEdits) AddParameterControls(b.name, b.edit, b.unit);
  for (const CheckBinding& b : kChecks) AddCheckParameterControls(b.name, b.check);
  // The identity as the setup holds it, so that every exchange shows it, not blanks.
  firmwareId_ = setup->GetFirmwareID();
  productId_ = setup->GetProductID();
  e2romKwords_ = std::to_string(setup->GetE2ROMSize() / kWordsPerKword);
  e2romShown_ = e2romKwords_;
  driveName_ = setup->GetDescription();
  applicationId_ = setup->GetUserAppID();
}

bool CDriveInfo::OnInitDialog() {
  CMySetupDlg::OnInitDialog();
  applicationIdEdit_.SubclassDlgItem(kApplicationId, this);
  applicationIdEdit_.LimitText(40);
  UpdateData(false);
  return true;
}

void CDriveInfo::DoDataExchange(CDataExchange* pDX) {
  CMySetupDlg::DoDataExchange(pDX);
  DDX_Text(pDX, kFirmwareId, firmwareId_);
  DDX_Text(pDX, kProductId, productId_);
  DDX_Text(pDX, kE2ROMSize, e2romKwords_);
  DDX_Text(pDX, kDriveName, driveName_);
  DDX_Text(pDX, kApplicationId, applicationId_);
  if (!pDX->m_bSaveAndValidate) ApplyEditingRules();
}

void CDriveInfo::ApplyEditingRules() {
  const CMC_Setup* setup = GetSetup();
  const bool sensor = Code(setup, "isDriveTemperatureSensor") == 1;
  const bool overVoltage = Code(setup, "isOverVoltage") == 1;
  const bool underVoltage = Code(setup, "isUnderVoltage") == 1;
  const bool i2t = Code(setup, "isDriveI2t") == 1;
  const bool overTemperature = Code(setup, "isDriveOverTemp") == 1;
  const bool e = editing_;
  EnableAll(*this, {3087, 3089, 3092, 3094, 1159, 1161, 1163, 1179, 3097, 3103, 3105, 3107, 3275, 3276, 3277, 3278}, e);
  EnableAll(*this, {1165, 1167, 3325}, e && sensor);
  EnableChild(1169, e && overVoltage);
  EnableChild(1171, e && underVoltage);
  EnableAll(*this, {1173, 1175}, e && i2t);
  EnableChild(1177, e && overTemperature);
  EnableAll(*this, {1166, 1168, 3098, 3101}, sensor);
  EnableAll(*this, {1170, 3104}, overVoltage);
  EnableAll(*this, {1172, 3106}, underVoltage);
  EnableAll(*this, {1174, 3108, 1176, 3109}, i2t);
  EnableAll(*this, {1178, 3326}, overTemperature);
}

// What the user typed into the identity fields, kept across an exchange that shows the members.
void CDriveInfo::TakeIdentityTexts() {
  firmwareId_ = GetDlgItemText(kFirmwareId);
  productId_ = GetDlgItemText(kProductId);
  e2romKwords_ = GetDlgItemText(kE2ROMSize);
  driveName_ = GetDlgItemText(kDriveName);
  applicationId_ = GetDlgItemText(kApplicationId);
}

bool CDriveInfo::PreTranslateMessage(MSG* message) {
  const bool keyDown = message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN;
  if (keyDown && message->wParam == kEditingChordKey && IsHeld(VK_CONTROL) && IsHeld(VK_MENU) && IsHeld(VK_SHIFT)) {
    CommitPendingEdits();
    TakeIdentityTexts();
    editing_ = !editing_;
    UpdateData(false);
    return true;  // the chord is not typed into the focused field
  }
  return CMySetupDlg::PreTranslateMessage(message);
}

// The temperature rule: without a drive temperature sensor there is no over-temperature
// protection.
void CDriveInfo::OnProtectionCheck() {
  CMC_Setup* setup = GetSetup();
  if (Code(setup, "isDriveTemperatureSensor") == 0 && Code(setup, "isDriveOverTemp") == 1) {
    kestrel::dialogs::SetValue(setup, "isDriveOverTemp", 0);
    RefreshParameterControls("isDriveOverTemp");
  }
  UpdateData(false);
}

// The size shown is in Kwords, truncated: it is written back only when the user changed it to a
// size the drive can count, so that 16000 words shown as 15 survive OK.
void CDriveInfo::StoreE2ROMSize() {
  int kwords = 0;
  if (e2romKwords_ != e2romShown_ && ReadKwords(e2romKwords_, kwords)) {
    GetSetup()->SetE2ROMSize(kwords * kWordsPerKword);
  }
}

void CDriveInfo::OnOK() {
  CommitPendingEdits();
  TakeIdentityTexts();
  CMC_Setup* setup = GetSetup();
  StoreE2ROMSize();
  setup->SetUserAppID(applicationId_);
  setup->SetProductID(productId_);
  setup->SetDescription(driveName_);
  if (!setup->SetFirmwareID(firmwareId_)) MessageBox("Error setting the firmware ID!");
  ComputeAllRegisters(setup, kestrel::MessageBoxReporter());
  CMySetupDlg::OnOK();
}

const ui::MessageMap* CDriveInfo::GetMessageMap() const {
  const ui::MessageMap* base = CMySetupDlg::GetMessageMap();
  static const ui::MessageMap map = [base] {
    ui::MessageMapBuilder<CDriveInfo> builder(base);
    for (const CheckBinding& b : kChecks) builder.Command(b.check, &CDriveInfo::OnProtectionCheck);
    return builder.Build();
  }();
  return &map;
}
