// Drive Setup's reactions to the user's edits.
#include <cstdio>
#include <string>

#include "compute/derivation.h"
#include "compute/options.h"
#include "compute/parameter_limits.h"
#include "compute/registers.h"
#include "dialogs/drive_setup_dlg.h"
#include "dialogs/setup_values.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::SameName;
using kestrel::dialogs::SetValue;
using kestrel::dialogs::Value;

void CDriveSetupDlg::OnChangedParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  if (SameName(name, "ControlMode")) {
    ForceSpeedFeedForward(setup);
    if (Code(setup, "ControlMode") != 0) {
      // Outside position control the gearing is 1:1 and the reference analogue.
      SetValue(setup, "GEARMASTER", 1);
      SetValue(setup, "GEARSLAVE", 1);
      SetValue(setup, "isAnalogueReference", 1);
      RefreshAllParameters();
    }
  } else if (SameName(name, "StartMode")) {
    UpdateData(false);
  } else if (SameName(name, "ExternalReference")) {
    if (Code(setup, "ExternalReference") == 0) {
      SetValue(setup, "isAutoActivatedAfterPowerOn", 0);
      RefreshParameterControls("isAutoActivatedAfterPowerOn");
    }
  } else if (SameName(name, "Negative_SWLS")) {
    const double positive = Value(setup, "Positive_SWLS");
    if (Value(setup, "Negative_SWLS") > positive) SetValue(setup, "Negative_SWLS", positive);
  } else if (SameName(name, "Positive_SWLS")) {
    const double negative = Value(setup, "Negative_SWLS");
    if (negative > Value(setup, "Positive_SWLS")) SetValue(setup, "Positive_SWLS", negative);
  }
  CMySetupDlg::OnChangedParameterValue(name);
}

void CDriveSetupDlg::OnRefreshParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  ForceSpeedFeedForward(setup);
  if (SameName(name, "Vdc") || SameName(name, "Limit_Speed")) {
    kestrel::ComputeSATP(setup);
    kestrel::DeriveSpeedLimit(setup);
    ComputeParameterLimits(setup);
    RefreshAllParameters();
  } else if (SameName(name, "InputsPolarityType")) {
    InvertInputPolarities();
  } else if (SameName(name, "StartCurrent")) {
    kestrel::ComputeREFTST(setup);
    kestrel::ComputeRINCTST(setup);
    kestrel::DeriveStartCurrent(setup, "StartCurrent");
    RefreshParameterControls("StartCurrent");
    if (Value(setup, "StartCurrent") > 100) WarnAboutStartCurrent();
  }
  CMySetupDlg::OnRefreshParameterValue(name);
}

void CDriveSetupDlg::InvertInputPolarities() {
  // The input type changed: each polarity flips, so that the wiring keeps its meaning.
  CMC_Setup* setup = GetSetup();
  for (const char* polarity : {"EnablePolarity", "LSNPolarity", "LSPPolarity"}) {
    SetValue(setup, polarity, Value(setup, polarity) == 0 ? 1 : 0);
  }
  SetInputRowTexts(Code(setup, "InputsPolarityType") == 1);
  RefreshAllParameters();
}

void CDriveSetupDlg::WarnAboutStartCurrent() {
  char text[256];
  std::snprintf(text, sizeof text,
                "You have set a start current bigger than the nominal current! The start current will be applied "
                "for %.2f s.\n\nThe motor must withstand this over current condition or it may be damaged.",
                2 * Value(GetSetup(), "time_AB"));
  MessageBox(text);
  SetFocus();
}
