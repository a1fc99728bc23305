// Drive Setup's enable and show rules: which groups apply to the control mode, the sensors, the
// commutation and the features the drive has.
#include "compute/option_readers.h"
#include "dialogs/control_rules.h"
#include "dialogs/drive_setup_dlg.h"
#include "dialogs/setup_values.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::EnableAll;
using kestrel::dialogs::Has;
using kestrel::dialogs::ShowAll;

namespace {

struct Modes {
  int control;        // M: 0 position, 1 speed, 2 torque
  int positionType;   // C: 1 over the speed loop
  int fastLoop;       // F: PosSpd_in_FastLoop
  int sensor;         // S: the motor sensor, else the load sensor
  bool speedLoopUsed;
};

Modes ReadModes(const CMC_Setup* setup) {
  Modes m{};
  m.control = Code(setup, "ControlMode");
  m.positionType = Code(setup, "PositionControlType");
  m.fastLoop = Code(setup, "PosSpd_in_FastLoop");
  const int motorSensor = Code(setup, "MotorSensorType");
  m.sensor = motorSensor != 0 ? motorSensor : Code(setup, "LoadSensorType");
  m.speedLoopUsed = m.control == 1 || (m.control == 0 && m.positionType == 1);
  return m;
}

bool IsIncremental(int sensor) { return sensor == 1 || sensor == 9; }

}  // namespace

void CDriveSetupDlg::ApplyControlRules() {
  ApplyFeedForwardRules();
  ApplyProtectionRules();
  ApplyStartModeRules();
  ApplyInputAndCanRules();
}

void CDriveSetupDlg::ApplyFeedForwardRules() {
  const CMC_Setup* setup = GetSetup();
  const Modes m = ReadModes(setup);
  const bool position = m.control == 0;
  EnableAll(*this, {3177, 3178, 3184, 3179, 3185, 3180, 3186, 3181, 3182}, m.speedLoopUsed);
  ShowAll(*this, {3187, 3188, 3183}, m.control == 1);
  EnableAll(*this, {3189, 3198, 3199, 3190, 3200, 3191, 3201, 3192, 3202, 3193, 3203, 3194, 3195}, position);
  ShowAll(*this, {3204, 3205, 3206, 3196, 3197}, position);
  EnableAll(*this, {3205, 3196}, position && m.positionType == 1);
  EnableAll(*this, {3204, 3206, 3197}, !(position && m.positionType != 1) || m.fastLoop != 1);
  ShowAll(*this, {1101, 1043, 1044}, position && m.positionType == 1);
  if (!Has(setup, "SpeedForward")) {
    ShowAll(*this, {3265, 3272}, false);
    return;
  }
  const bool speedRow = m.fastLoop == 0 && m.control == 1;
  const bool positionRow = m.fastLoop == 0 && position;
  ShowAll(*this, {3187, 3183, 3265, 3188, 3272}, speedRow);
  EnableAll(*this, {3187, 3183, 3265, 3188, 3272}, speedRow);
  ShowAll(*this, {3204, 3197, 3196, 3206, 3205}, positionRow);
  if (positionRow) EnableAll(*this, {3204, 3197, 3196, 3206, 3205}, true);
}

void CDriveSetupDlg::ApplyProtectionRules() {
  const CMC_Setup* setup = GetSetup();
  const int mode = Code(setup, "ControlMode");
  EnableAll(*this, {3234, 3214, 3215, 3235, 3216, 3217}, Code(setup, "isOverCurrent") == 1);
  EnableAll(*this, {3240, 3226, 3227, 3241, 3228, 3229}, Code(setup, "isMotori2t") == 1);
  EnableChild(3230, mode == 0);
  EnableAll(*this, {3236, 3218, 3219, 3237, 3220, 3221}, mode == 0 && Code(setup, "isPositionControlError") != 0);
  EnableChild(3231, mode == 1);
  EnableAll(*this, {3238, 3222, 3223, 3239, 3224, 3225}, mode == 1 && Code(setup, "isSpeedControlError") != 0);
  EnableChild(3232, kestrel::GetIntOptionSilently(setup, "DisableMotorTemperature") == 0 &&
                        Code(setup, "isMotorTemperatureSensor") == 1);
  EnableAll(*this, {3246, 3244, 3245}, Code(setup, "isBrakeResistor") == 1);
}

void CDriveSetupDlg::ApplyStartModeRules() {
  const CMC_Setup* setup = GetSetup();
  const Modes m = ReadModes(setup);
  const bool halls = Code(setup, "isHallsensors") != 0;
  const bool sinusoidal = Code(setup, "CommutationMethod") == 1;
  const int startMode = Code(setup, "StartMode");
  const bool angleController = Has(setup, "KPTHT");
  EnableChild(3211, halls && IsIncremental(m.sensor));
  ShowAll(*this, {3273, 3274, 3275}, Has(setup, "rise_time_AB"));
  EnableAll(*this, {3256, 3257, 3258, 3259, 3260, 3261, 3273, 3274, 3275}, startMode == 0 && sinusoidal);
  EnableAll(*this, {3255, 1096}, sinusoidal);
  const bool hallStart = sinusoidal && IsIncremental(m.sensor) && halls;
  EnableChild(1097, hallStart);
  EnableChild(1099, hallStart && kestrel::IsPMSMStartwithHalls(setup) == 1);
  EnableChild(1098, sinusoidal && (IsIncremental(m.sensor) || m.sensor == 3) && angleController);
  const bool absolute = m.sensor == 2 || m.sensor == 4 || m.sensor == 5 || m.sensor == 6;
  EnableChild(1100, sinusoidal && absolute && angleController);
  // The motionless start's angle controller is tuned by its own test.
  EnableChild(3264, startMode == 2 && sinusoidal && angleController);
}

void CDriveSetupDlg::ApplyInputAndCanRules() {
  const CMC_Setup* setup = GetSetup();
  ShowAll(*this, {3248, 1046, 1047}, kestrel::IsEnablePolarityHidden(setup) != 1);
  const bool softwareLimits = Has(setup, "isSWLS");
  EnableAll(*this, {3263, 3351}, softwareLimits);
  EnableAll(*this, {3266, 3267, 3268, 3269, 3270, 3271}, softwareLimits && Code(setup, "isSWLS") == 1);
  EnableAll(*this, {3208, 3116}, Code(setup, "ExternalReference") == 1);
  if (Has(setup, "save_CAN_baudrate") && Has(setup, "save_axis_id")) {
    const bool baudRate = Code(setup, "save_CAN_baudrate") == 1;
    EnableChild(10023, baudRate);
    EnableChild(10021, baudRate && HasCANBaudRate());
    EnableAll(*this, {3349, 3136}, Code(setup, "save_axis_id") == 1);
  } else {
    ShowAll(*this, {3371, 3372}, false);
  }
  SetChildText(3318, Code(setup, "DigitalReferenceType") == 0 ? "Pulse && Direction" : "Incremental Encoder");
}
