// Motor Setup's reactions to the user's edits.
#include <numbers>
#include <string>

#include "compute/derivation.h"
#include "compute/options.h"
#include "compute/parameter_limits.h"
#include "compute/registers.h"
#include "compute/units.h"
#include "dialogs/motor_setup_dialog.h"
#include "dialogs/setup_values.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::SameName;
using kestrel::dialogs::SetValue;
using kestrel::dialogs::Value;

namespace {

bool IsAnyOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* candidate : names) {
    if (SameName(name, candidate)) return true;
  }
  return false;
}

bool IsSerial(int type) { return type == 5 || type == 6; }

}  // namespace

void CMotorSetupDialog::OnChangedParameterValue(const std::string& name) {
  CMySetupDlg::OnChangedParameterValue(name);
  CMC_Setup* setup = GetSetup();
  const int motorType = Code(setup, "MotorSensorType");
  if (IsAnyOf(name, {"isMotorInertiaUnknown", "isMotorTemperatureSensor", "isHallsensors", "MotorBrake_output",
                     "isFilterEnc_MT", "isFilterEnc_LD", "ReverseCounting_MT", "ReverseCounting_LD",
                     "Motor_transmission", "Load_transmission"})) {
    UpdateData(false);
  } else if (IsAnyOf(name, {"SSI_isMultiTurn", "SSI_isMultiTurn_LD"})) {
    const std::string side = SameName(name, "SSI_isMultiTurn") ? "" : "_LD";
    RefreshParameterControls("SSI_No_Bits_Revolution" + side);
    RefreshParameterControls("SSI_No_Bits_Turns" + side);
    UpdateData(false);
  } else if (SameName(name, "TransmissionType")) {
    ComputeUnits(setup);
    UseGuidelineOfMotorSide();
    RefreshParameterControls("Motor_transmission");
    RefreshParameterControls("Load_transmission");
    UpdateData(false);
  } else if (IsAnyOf(name, {"MotorSensorType", "MotorSensorConnector", "LoadSensorType", "LoadSensorConnector"})) {
    OnSensorChanged(name);
  }
  if (IsAnyOf(name, {"MotorSensorType", "LoadSensorType", "TransmissionType"})) {
    SetReferenceName(setup);
    InitializeMotorEditor();
    FillMotorDatabaseCombo();
    FillMotorNameCombo();
    UpdateData(false);
  }
  OnPolePairsOrResolutionChanged(name);
  if (SameName(name, "MotorSensorType") && (IsSerial(motorType) || IsSerial(Code(setup, "LoadSensorType")))) {
    ApplyTransmissionRule();
    RefreshParameterControls("TransmissionType");
  }
}

void CMotorSetupDialog::OnSensorChanged(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  FillSensorCombos(name);
  const int motorType = Code(setup, "MotorSensorType");
  const int loadType = Code(setup, "LoadSensorType");
  // Hall sensors go with an incremental encoder or with no sensor at all.
  if (motorType != 0 && motorType != 1 && motorType != 9) SetValue(setup, "isHallsensors", 0);
  if (motorType == 4) SetFixedResolverCount();
  if (IsSerial(motorType)) FillFrequencyCombo(false);
  if (motorType == 0 && loadType == 0) SetValue(setup, "isHallsensors", 1);
  if (IsSerial(loadType)) FillFrequencyCombo(true);
  // A sin/cos encoder chosen here gets its interpolation levels.
  FillInterpolationCombos();
  RefreshAllParameters();
  UpdateData(false);
}

void CMotorSetupDialog::OnPolePairsOrResolutionChanged(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  if (setup->HasDLMotorSensor(3, false) &&
      IsAnyOf(name, {"No_encoder_lines", "Resolution", "SINCOS_fract", "PolePitch", "pp"})) {
    RecomputeLocalValues(false);
  }
  if (setup->HasDLLoadSensor(3, false) && IsAnyOf(name, {"No_encoder_lines_LD", "Resolution_LD", "SINCOS_fract_LD"})) {
    RecomputeLocalValues(true);
  }
  if (setup->HasDLMotorSensor(2, false) && SameName(name, "pp")) {
    kestrel::ComputeENC2THL(setup);
    kestrel::ComputeDBTTH(setup);
    kestrel::ComputeMECRESL(setup);
    kestrel::DeriveLinearHallResolution(setup);
    kestrel::DeriveLinearHallResolutionLoad(setup);
    RefreshParameterControls("LHResolution");
    RefreshParameterControls("LHResolution_LD");
  }
  if (IsSerial(Code(setup, "MotorSensorType")) && IsAnyOf(name, {"SSI_No_Bits_Revolution", "pp"})) {
    kestrel::LimitSerialEncoderOffset(setup);
    RefreshParameterControls("SSI_Offset");
  }
}

void CMotorSetupDialog::OnRefreshParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  const int motorType = Code(setup, "MotorSensorType");
  const int loadType = Code(setup, "LoadSensorType");
  if (IsAnyOf(name, {"Motor_transmission", "Load_transmission"})) {
    OnTransmissionRefreshed();
  } else if (SameName(name, "No_encoder_lines")) {
    kestrel::ComputeMECRESL(setup);
    kestrel::DeriveEncoderLines(setup);
    RefreshParameterControls("No_encoder_lines");
    RefreshParameterControls("MECRESL");
  }
  if (motorType == 3 && IsAnyOf(name, {"No_encoder_lines", "Resolution", "PolePitch", "pp"})) {
    FillInterpolationCombo(false);
  }
  if (loadType == 3 && IsAnyOf(name, {"No_encoder_lines_LD", "Resolution_LD"})) FillInterpolationCombo(true);
  if (motorType == 4 && SameName(name, "MECRESL")) {
    kestrel::DeriveEncoderLines(setup);
    kestrel::ComputeMECRESL(setup);
    RefreshParameterControls("No_encoder_lines");
    RefreshParameterControls("MECRESL");
  }
  const bool motorClock = IsSerial(motorType) && SameName(name, "SSI_freq");
  const bool loadClock = IsSerial(loadType) && SameName(name, "SSI_freq_LD");
  if (motorClock || loadClock) {
    kestrel::ComputeSSIBR(setup);
    kestrel::ComputeAEI_CLKDIV(setup);
    kestrel::ComputeAEI_PER(setup);
    kestrel::ComputeAEI_CMPTIME(setup);
    kestrel::DeriveSerialClock(setup, motorClock ? kestrel::EncoderSide::kMotor : kestrel::EncoderSide::kLoad);
    RefreshParameterControls(name);
  }
  CMySetupDlg::OnRefreshParameterValue(name);
}

void CMotorSetupDialog::OnTransmissionRefreshed() {
  CMC_Setup* setup = GetSetup();
  const int transmission = Code(setup, "TransmissionType");
  const bool linearMotor = transmission == 2 || transmission == 3;
  const bool linearLoad = transmission == 1 || transmission == 3;
  // A ratio of 0 means one revolution, or one millimetre on a linear side.
  if (Value(setup, "Motor_transmission") == 0) {
    SetValue(setup, "Motor_transmission", linearMotor ? 0.001 : 2 * std::numbers::pi);
  }
  if (Value(setup, "Load_transmission") == 0) {
    SetValue(setup, "Load_transmission", linearLoad ? 0.001 : 2 * std::numbers::pi);
  }
  const double motor = Value(setup, "Motor_transmission");
  const double load = Value(setup, "Load_transmission");
  if (motor < 0 && load < 0) {
    SetValue(setup, "Motor_transmission", -motor);
    SetValue(setup, "Load_transmission", -load);
  }
  RefreshParameterControls("Motor_transmission");
  RefreshParameterControls("Load_transmission");
  UpdateData(false);
}
