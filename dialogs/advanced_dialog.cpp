#include "dialogs/advanced_dialog.h"

#include <cstdio>

#include "compute/option_readers.h"
#include "compute/options.h"
#include "compute/setup_access.h"
#include "dialogs/control_rules.h"
#include "dialogs/message_box_reporter.h"
#include "dialogs/setup_values.h"
#include "drivebase/gui_resources.h"
#include "ui/data_exchange.h"
#include "ui/dc.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::EnableAll;
using kestrel::dialogs::Has;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr const char* kSerialReadTooLong = "Current loop period is to short to read the SSI encoder!";

// The freeze-control feature: its two registers exist.
bool HasFreezeControl(const CMC_Setup* setup) { return Has(setup, "POSOKLIM_FC") && Has(setup, "TONPOSOK_FC"); }

// The control scheme's drawing: position over speed, position on current, speed, torque.
unsigned SchemeBitmap(int controlMode, int positionControlType) {
  if (controlMode == 0) return positionControlType == 1 ? 3016 : 3017;
  return controlMode == 1 ? 3060 : 3061;
}

}  // namespace

CAdvancedDialog::CAdvancedDialog(CMC_Setup* setup, CWnd* parent)
    : CMySetupDlg(setup, kTemplateId, 0, {}, parent) {
  AddSwitchParameterControls("PositionControlType", 3344, 3345);
  if (Has(setup, "PosSpd_in_FastLoop")) AddSwitchParameterControls("PosSpd_in_FastLoop", 1146, 1147);
  if (Has(setup, "isSpeedEstimator")) AddCheckParameterControls("isSpeedEstimator", 3356);
  AddParameterControls("CLPER", 1132);
  AddParameterControls("SLPER", 1135);
  AddParameterControls("PWM_freq", 1129, 1130);
  AddParameterControls("Ts_C", 1141, 1142);
  AddParameterControls("Ts_S", 1144, 1145);
  AddParameterControls("PWMperiod", 1138, 1139);
  if (Has(setup, "SpeedForward")) AddSwitchParameterControls("SpeedForward", 3374, 3375);
  if (HasFreezeControl(setup)) {
    AddCheckParameterControls("isFreezeControl", 3378);
    AddParameterControls("FreezeControl_errband", 3381, 3382);
    AddParameterControls("FreezeControl_time", 3383, 3384);
  }
  SetHelpContext(kHelpContext);
}

bool CAdvancedDialog::OnInitDialog() {
  CMySetupDlg::OnInitDialog();
  const CMC_Setup* setup = GetSetup();
  const int mode = Code(setup, "ControlMode");
  const int motorType = Code(setup, "MotorSensorType");
  const int loadType = Code(setup, "LoadSensorType");
  ShowChild(3344, mode == 0);
  ShowChild(3345, mode == 0);
  if (Has(setup, "PosSpd_in_FastLoop")) {
    const int sensor = loadType != 0 ? loadType : motorType;
    EnableAll(*this, {1146, 3347}, mode < 2);
    EnableChild(1147, mode < 2 && sensor == 1);
  } else {
    ShowChild(1146, false);
    ShowChild(1147, false);
    ShowChild(3347, false);
  }
  const bool oneIncrementalEncoder = (motorType == 1 && loadType == 0) || (motorType == 0 && loadType == 1);
  EnableChild(3355, Has(setup, "isSpeedEstimator"));
  EnableChild(3356, Has(setup, "isSpeedEstimator") && oneIncrementalEncoder);
  const bool freeze = HasFreezeControl(setup) && mode == 0;
  EnableAll(*this, {3377, 3378}, freeze);
  timing_ = kestrel::ReadLoopTiming(setup);
  ShowChild(1148, false);
  ShowChild(1149, false);
  UpdateData(false);
  return true;
}

void CAdvancedDialog::DoDataExchange(CDataExchange* pDX) {
  CMySetupDlg::DoDataExchange(pDX);
  if (pDX->m_bSaveAndValidate) return;
  const CMC_Setup* setup = GetSetup();
  SetChildBitmap(3280, drivebase::GuiModule::ResourceName(
                           SchemeBitmap(Code(setup, "ControlMode"), Code(setup, "PositionControlType"))));
  ApplySpeedFeedForwardRules();
  EnableAll(*this, {3379, 3380, 3381, 3382, 3383, 3384},
            HasFreezeControl(setup) && Code(setup, "isFreezeControl") == 1 && Code(setup, "ControlMode") == 0);
}

void CAdvancedDialog::ApplySpeedFeedForwardRules() {
  const CMC_Setup* setup = GetSetup();
  const int mode = Code(setup, "ControlMode");
  const bool speedForward = Has(setup, "SpeedForward") && mode != 2;
  EnableAll(*this, {3376, 3375}, speedForward);
  EnableChild(3374, speedForward && mode == 0 && Code(setup, "PositionControlType") == 1);
}

void CAdvancedDialog::OnRefreshParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  if (kestrel::IsTimingParameter(name)) {
    const kestrel::TimingChange change =
        kestrel::ChangeTiming(setup, name, timing_, kestrel::MessageBoxReporter());
    // A serial clock raised, or none fast enough: the engineer must know.
    if (!change.serialClocks.empty()) MessageBox(kSerialReadTooLong);
    ShowLoopLimits();
  } else {
    ForceSpeedFeedForward(setup);
  }
  RefreshAllParameters();
  UpdateData(false);
  CMySetupDlg::OnRefreshParameterValue(name);
}

// A loop below the drive's minimum period (or too short to read its serial encoder) is drawn red
// with "OUTSIDE LIMITS ->" beside its divider.
void CAdvancedDialog::ShowLoopLimits() {
  const CMC_Setup* setup = GetSetup();
  fastLoopRed_ = kestrel::IsFastLoopTooShort(setup);
  slowLoopRed_ = kestrel::IsSlowLoopTooShort(setup);
  ShowChild(1148, fastLoopRed_);
  ShowChild(1149, slowLoopRed_);
  Invalidate();
}

void CAdvancedDialog::OnOK() {
  CommitPendingEdits();
  const CMC_Setup* setup = GetSetup();
  bool refused = false;
  const auto refuse = [&](const char* loop, double minimum_s) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "The minimum value for %s loop sampling period is %f ms!\nAdjust the PWM frequency and/or the X "
                  "loop sampling frequency divider until this condition is fulfilled!",
                  loop, minimum_s * 1000);
    MessageBox(text);
    refused = true;
  };
  const double fastMinimum = kestrel::GetFastLoopMinPeriod(setup);
  if (fastMinimum > 0 && fastMinimum > kestrel::dialogs::Value(setup, "Ts_C")) refuse("Fast", fastMinimum);
  const double slowMinimum = kestrel::GetSlowLoopMinPeriod(setup);
  if (slowMinimum > 0 && slowMinimum > kestrel::dialogs::Value(setup, "Ts_S")) refuse("Slow", slowMinimum);
  if (!refused && (kestrel::IsFastLoopTooShort(setup) || kestrel::IsSlowLoopTooShort(setup))) {
    MessageBox(kSerialReadTooLong);
    refused = true;
  }
  if (!refused) CMySetupDlg::OnOK();
}

void CAdvancedDialog::ReloadControls() { UpdateData(false); }

void CAdvancedDialog::OnCtlColor(CDC& dc, CWnd& control) {
  switch (control.GetDlgCtrlID()) {
    case 1131:
    case 1140:
      dc.SetTextColor(fastLoopRed_ ? kRed : kBlack);
      break;
    case 1134:
    case 1143:
      dc.SetTextColor(slowLoopRed_ ? kRed : kBlack);
      break;
    case 1148:
    case 1149:
      dc.SetTextColor(kRed);
      break;
    default:
      break;
  }
}

const ui::MessageMap* CAdvancedDialog::GetMessageMap() const {
  const ui::MessageMap* base = CMySetupDlg::GetMessageMap();
  static const ui::MessageMap map = [base] {
    ui::MessageMapBuilder<CAdvancedDialog> builder(base);
    builder.Command(3344, &CAdvancedDialog::ReloadControls)
        .Command(3345, &CAdvancedDialog::ReloadControls)
        .Command(3378, &CAdvancedDialog::ReloadControls)
        .CtlColor(&CAdvancedDialog::OnCtlColor);
    return builder.Build();
  }();
  return &map;
}
