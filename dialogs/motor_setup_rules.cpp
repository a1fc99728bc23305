// Motor Setup's enable and show rules: the fields of a rotary or a linear motor, of the sensor
// chosen on each side, and of the features the drive has.
#include <string>

#include "compute/option_readers.h"
#include "dialogs/control_rules.h"
#include "dialogs/motor_setup_dialog.h"
#include "dialogs/setup_values.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::EnableAll;
using kestrel::dialogs::Has;
using kestrel::dialogs::IntOption;
using kestrel::dialogs::ShowAll;
using kestrel::dialogs::Value;

namespace {

bool IsOneOf(int type, std::initializer_list<int> types) {
  for (const int t : types) {
    if (type == t) return true;
  }
  return false;
}

const char* LinesLabel(int type, bool linear) {
  if (linear) return "Resolution";
  return type == 3 || type == 7 ? "No. of periods/rev" : "No. of lines/rev";
}

}  // namespace

void CMotorSetupDialog::ApplyControlRules() {
  const CMC_Setup* setup = GetSetup();
  const int transmission = Code(setup, "TransmissionType");
  const int motorType = Code(setup, "MotorSensorType");
  const int loadType = Code(setup, "LoadSensorType");
  ApplyMotorDataRules(transmission == 2 || transmission == 3);
  ApplyMotorSensorRules(motorType, transmission == 2 || transmission == 3);
  ApplyLoadSensorRules(loadType, transmission == 1 || transmission == 3);
  ApplyFeatureRules(motorType, loadType);
}

void CMotorSetupDialog::ApplyMotorDataRules(bool linearMotor) {
  ShowAll(*this, {1165, 3420, 1166, 1167, 3421, 1172, 1173, 3267, 1176}, !linearMotor);
  ShowAll(*this, {3425, 3426, 3427, 3424, 3423, 3422, 3428, 3429, 3430}, linearMotor);
  SetChildText(1178, linearMotor ? "Motor moving part mass is unknown" : "Motor inertia is unknown");
  EnableAll(*this, {1172, 1173, 3428, 3429}, Code(GetSetup(), "isMotorInertiaUnknown") == 0);
  EnableAll(*this, {1184, 1185, 1186}, Code(GetSetup(), "isMotorTemperatureSensor") == 1);
}

void CMotorSetupDialog::ApplyMotorSensorRules(int type, bool linearMotor) {
  const CMC_Setup* setup = GetSetup();
  const bool encoder = IsOneOf(type, {1, 3, 7, 9});
  ShowAll(*this, {3402, 1202}, type != 0);
  ShowAll(*this, {1179, 1180}, encoder && !linearMotor);
  ShowAll(*this, {3431, 3432}, encoder && linearMotor);
  ShowChild(3397, encoder);
  SetChildText(3397, LinesLabel(type, linearMotor));
  ShowChild(1187, IsOneOf(type, {1, 3, 4, 7, 9}));
  ShowChild(1189, type == 1 || type == 9);
  ShowChild(3403, type == 3 || type == 7);
  ShowAll(*this, {1181, 3268, 1182, 1188, 1190}, IsOneOf(type, {0, 1, 9}));
  EnableAll(*this, {1182, 3268, 1188, 1190}, Code(setup, "isHallsensors") == 1);
  const bool sinCos = type == 3 || type == 7;
  ShowAll(*this, {3391, 1200, 3392}, sinCos);
  ShowAll(*this, {3353, 3354}, sinCos && !linearMotor);
  ShowAll(*this, {3404, 3405}, sinCos && linearMotor);
  SetChildText(3392, linearMotor ? "Resolution with interpolation" : "Equivalent per revolution");
  ShowChild(3358, Has(setup, "ReverseCounting_MT") && IsOneOf(type, {1, 3, 4, 7}));
  ShowAll(*this, {3406, 3407, 3408, 3409, 3410}, type == 2);
  SetChildText(3408, linearMotor ? "bits / pole pitch" : "bits / revolution");
  const bool serial = IsOneOf(type, {5, 6, 7});
  ShowAll(*this, {3441, 3442, 3443, 3444, 3446, 3447, 3448, 3449, 3450, 3451, 3452}, serial);
  ShowAll(*this, {3433, 3434, 3435, 3436, 3437, 3438, 3439, 3440}, serial && !linearMotor);
  const bool multiTurn = (type == 5 || type == 6) && Code(setup, "SSI_isMultiTurn") == 1;
  EnableAll(*this, {3438, 3439}, multiTurn);
  ShowAll(*this, {3552, 3553, 3554, 3555, 3556}, serial && linearMotor);
  ShowAll(*this, {3473, 3474, 3475, 3476}, type == 4);
  EnableChild(3474, IntOption(setup, "ResolverFixedCounts", 0) == 0);
}

void CMotorSetupDialog::ApplyLoadSensorRules(int type, bool linearLoad) {
  const CMC_Setup* setup = GetSetup();
  const bool encoder = IsOneOf(type, {1, 3, 7, 9});
  ShowAll(*this, {3401, 1217}, type != 0);
  ShowAll(*this, {1203, 1204}, encoder && !linearLoad);
  ShowAll(*this, {1205, 1206}, encoder && linearLoad);
  ShowAll(*this, {3398, 1211}, encoder);
  SetChildText(3398, LinesLabel(type, linearLoad));
  ShowChild(3361, Has(setup, "ReverseCounting_MT") && IsOneOf(type, {1, 3, 4, 7, 9}));
  const bool sinCos = type == 3 || type == 7;
  ShowAll(*this, {3393, 1215, 3394}, sinCos);
  ShowAll(*this, {3355, 3356}, sinCos && !linearLoad);
  ShowAll(*this, {3357, 3367}, sinCos && linearLoad);
  SetChildText(3394, linearLoad ? "Resolution with interpolation" : "Equivalent per revolution");
  ShowAll(*this, {3411, 3412, 3413, 3414, 3415}, type == 2);
  SetChildText(3413, linearLoad ? "bits / pole pitch" : "bits / revolution");
  const bool serial = IsOneOf(type, {5, 6, 7});
  ShowAll(*this, {3461, 3462, 3463, 3464, 3466, 3467, 3472}, serial);
  ShowAll(*this, {3453, 3454, 3455, 3456, 3457, 3458, 3459, 3460}, serial && !linearLoad);
  EnableAll(*this, {3458, 3459}, (type == 5 || type == 6) && Code(setup, "SSI_isMultiTurn_LD") == 1);
  ShowAll(*this, {3557, 3558, 3559, 3560, 3561}, serial && linearLoad);
  ShowAll(*this, {3477, 3478, 3479, 3480}, type == 4);
}

void CMotorSetupDialog::ApplyFeatureRules(int motorType, int loadType) {
  CMC_Setup* setup = GetSetup();
  if (Has(setup, "isFilterEnc_MT") && Has(setup, "FilterEncValue_MT") && Has(setup, "isFilterEnc_LD") &&
      Has(setup, "FilterEncValue_LD")) {
    ShowAll(*this, {3360, 3359, 3270, 3272}, IsOneOf(motorType, {1, 3, 9}));
    EnableAll(*this, {3359, 3270, 3272}, Code(setup, "isFilterEnc_MT") == 1);
    ShowAll(*this, {3366, 3365, 3273, 3274}, IsOneOf(loadType, {1, 3, 9}));
    EnableAll(*this, {3365, 3273, 3274}, Code(setup, "isFilterEnc_LD") == 1);
  }
  if (Has(setup, "BRAKECFG") && Has(setup, "isMotorBrake") && setup->GetNumberOfBrakeOutputs() >= 1) {
    EnableAll(*this, {3370, 1191, 1197, 3371, 1198, 1199}, Code(setup, "isMotorBrake") == 1);
    const int port = Code(setup, "MotorBrake_output");
    const bool sourceStage = ((setup->IsBrakePortEnable(port) >> 4) & 0x3) == 0x1;
    SetChildText(3368, std::string("Motor brake is applied when ") +
                           (sourceStage != setup->IsBrakePortInverted(port) ? "PNP (source) output is connected to +Vlog."
                                                                            : "NPN (sink) output is connected to GND."));
  }
  const bool negative = Value(setup, "Motor_transmission") / Value(setup, "Load_transmission") < 0;
  ShowChild(3483, kestrel::HasNegTransmission(setup) != 1 && negative);
}
