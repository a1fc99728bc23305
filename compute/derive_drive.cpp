#include <cmath>

#include "compute/derivation.h"
#include "compute/derivation_rule.h"
#include "compute/option_readers.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {

int DeriveFlag(CMC_Setup* setup, const char* target, const char* reg, int bit, bool inverted) {
  RuleInputs in(setup);
  CMC_Parameter* flag = in.Need(target);
  const int set = in.Bit(reg, bit);
  if (!in.Complete()) return 0;
  return SetFlag(flag, (set == 1) != inverted);
}

int DeriveFlagUnless(CMC_Setup* setup, const char* target, const char* reg, double off) {
  RuleInputs in(setup);
  CMC_Parameter* flag = in.Need(target);
  const double value = in.Base(reg);
  if (!in.Complete()) return 0;
  return SetFlag(flag, value != off);
}

int DerivePolePairs(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("pp");
  double pairs = in.Base("MECRESL") * in.Base("ENC2THL") * std::ldexp(1.0, -32);
  const double sensorType = in.Base("MotorSensorType");
  if (!in.Complete()) return 0;
  if (sensorType == 3) {
    if (const CMC_Parameter* fraction = FindOptionalParameter(setup, "ELRES_FRACT")) {
      pairs *= std::pow(2.0, fraction->GetValueInBaseUnit());
    }
  }
  return SetValue(target, pairs);
}

int DeriveEncoderLines(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("No_encoder_lines");
  const double counts = in.Base("MECRESL");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 1.0, 1073741823.0, std::trunc(counts * 0.25));
}

int DeriveMotorTemperatureSensorType(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("Motor_TempSensor_Type");
  const double type = in.Base("MTSTYPE");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 1.0, std::trunc(type));
}

int DerivePwmFrequency(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("PWM_freq");
  const double clock = in.Base("DSP_freq");
  const double period = in.Base("PWMPER");
  if (!in.Complete()) return 0;
  return SetValue(target, clock * 0.5 / period);
}

int DerivePwmPeriod(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("PWMperiod");
  const double period = in.Base("PWMPER");
  const double clock = in.Base("DSP_freq");
  if (!in.Complete()) return 0;
  return SetValue(target, 2.0 * period / clock);
}

int DeriveLoopPeriod(CMC_Setup* setup, const char* target, const char* divider) {
  RuleInputs in(setup);
  CMC_Parameter* loopPeriod = in.Need(target);
  const double samples = in.Base(divider);
  const double period = in.Base("PWMPER");
  const double clock = in.Base("DSP_freq");
  if (!in.Complete()) return 0;
  return SetValue(loopPeriod, 2.0 * samples * period / clock);
}

int DeriveFastLoopControl(CMC_Setup* setup) {
  if (!HasParameter(setup, "PosSpd_in_FastLoop")) return 1;
  return DeriveFlag(setup, "PosSpd_in_FastLoop", "UPGRADE", 6);
}

namespace {

// A DC bus voltage from its register: counts / Kdc.
int DeriveBusVoltage(CMC_Setup* setup, RuleInputs& in, CMC_Parameter* target, const char* reg,
                     double highest) {
  const double counts = in.Base(reg);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 1.0, highest, counts / GetDcBusVoltageScale(setup));
}

}  // namespace

int DeriveProtectionVoltage(CMC_Setup* setup, const char* target, const char* reg) {
  RuleInputs in(setup);
  CMC_Parameter* voltage = in.Need(target);
  return DeriveBusVoltage(setup, in, voltage, reg, 2000.0);
}

int DeriveBrakeVoltage(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* voltage = in.Need("Vbrake");
  const double highest = in.Base("VdcMaxMeasurable");
  return DeriveBusVoltage(setup, in, voltage, "BRAKELIM", highest);
}

int DeriveDriveTemperatureLimit(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("Temp_2");
  const double range = in.Base("ADCrange");
  const double counts = in.Base("T2MAXPROT");
  const double atZero = in.Base("DriveTempOutputAt0oC");
  const double gain = in.Base("DriveTempSensorGain");
  if (!in.Complete()) return 0;
  const double adcMax = static_cast<double>(Compute_ADCMaxValue(setup));
  return SetRangeAndValue(target, -100.0, 1000.0, (range * counts / adcMax - atZero) / gain);
}

int DeriveControlMode(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ControlMode");
  const double acr = in.Base("ACR");
  if (!in.Complete()) return 0;
  const int mode = Bit(acr, 10) == 1 ? 0 : Bit(acr, 9) == 1 ? 1 : 2;
  return SetRangeAndValue(target, 0.0, 2.0, mode);
}

int DeriveExternalReference(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ExternalReference");
  const double acr = in.Base("ACR");
  if (!in.Complete()) return 0;
  return SetFlag(target, Bit(acr, 7) == 1 || Bit(acr, 6) == 1);
}

int DeriveAxisId(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("Axis_ID_list");
  const double table = in.Base("AAR_table");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 511.0, table == 0.0 ? 0.0 : table - 256.0);
}

int DeriveStartMode(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("StartMode");
  const double osr = in.Base("OSR");
  if (!in.Complete() || SetLimitsInBaseUnit(target, 0.0, 4.0) == 0) return 0;
  const bool bit4 = Bit(osr, 4) == 1;
  const bool bit3 = Bit(osr, 3) == 1;
  const bool bit2 = Bit(osr, 2) == 1;
  int mode = 0;
  if (bit4 && bit3 && bit2) {
    mode = 4;
  } else if (bit4 && bit2) {
    mode = 2;
  } else if (bit3 && IsPMSMStartwithHalls(setup) == 1) {
    // The Hall start of a sinusoidal motor is told apart by ACR; the limits above stay.
    const CMC_Parameter* acr = setup->FindParameter("ACR");
    if (acr == nullptr) return 0;
    mode = Bit(acr->GetValueInBaseUnit(), 15) == 1 ? 3 : 1;
  } else {
    mode = bit3 ? 1 : 0;
  }
  return SetValue(target, mode);
}

int DeriveStartCurrent(CMC_Setup* setup, const char* target) {
  RuleInputs in(setup);
  CMC_Parameter* current = in.Need(target);
  const double reference = in.Base("REFTST");
  const double clock = in.Base("DSP_freq");
  const double period = in.Base("PWMPER");
  const double supply = in.Base("Vdc");
  const double nominal = in.Base("In");
  const double resistance = in.Base("R");
  const int connection = in.Code("MotorPhaseConnectionType");
  if (!in.Complete()) return 0;
  const double kv = GetVoltageScale(setup);
  const double deadVoltage = GetDeadTime(setup) * clock / (2.0 * period) * supply;
  const double phaseResistance = connection == 1 ? resistance / 3.0 : resistance;
  return SetRangeAndValue(current, 0.0, 300.0,
                          100.0 * (reference - kv * deadVoltage) / (kv * nominal * phaseResistance));
}

int DeriveAlignmentTime(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("time_AB");
  const bool hundredths = in.Bit("UPGRADE", 9) == 1;
  const double ticks = in.Base("T1ONA");
  if (!in.Complete()) return 0;
  return hundredths ? SetRangeAndValue(target, 0.01, 655.35, ticks / 100.0)
                    : SetRangeAndValue(target, 0.01, 1.0, ticks / 65535.0);
}

int DeriveRiseTime(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("rise_time_AB");
  const double reference = in.Base("REFTST");
  const double increment = in.Base("RINCTST");
  const double alignment = in.Base("time_AB");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 100.0,
                          reference / increment * GetSpeedLoopPeriod(setup) / alignment * 100.0);
}

int DeriveAnalogueReferenceChoice(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("isAnalogueReference");
  const int analogue = in.Bit("ACR", 6);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, HasAnalogueInput(setup) ? 1.0 : 0.0, analogue);
}

int DeriveLoadRatio(CMC_Setup* setup, const char* target, const char* total, const char* own) {
  RuleInputs in(setup);
  CMC_Parameter* ratio = in.Need(target);
  const double whole = in.Base(total);
  const double motor = in.Base(own);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(ratio, 0.0, 100.0, whole / motor - 1.0);
}

int DeriveMotorOverTemperature(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("isMotorOverTemp");
  const int enabled = in.Bit("PCR", 2);
  if (!in.Complete()) return 0;
  const bool disabled = GetIntOptionSilently(setup, "DisableMotorTemperature") != 0;
  return SetRangeAndValue(target, 0.0, disabled ? 0.0 : 1.0, enabled);
}

int DeriveSpeedForward(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SpeedForward");
  const int applied = in.Bit("ACR", 14);
  if (!in.Complete()) return 0;
  return SetInternal(target, applied);
}

int DeriveMotorBrake(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("isMotorBrake");
  const double config = in.Internal("BRAKECFG");
  if (!in.Complete()) return 0;
  return SetRangeAndInternal(target, 0.0, 1.0, Bit(config, 0));
}

int DeriveMotorBrakeOutput(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("MotorBrake_output");
  const double config = in.Internal("BRAKECFG");
  if (!in.Complete()) return 0;
  return SetInternal(target, setup->GetIOPortFromPin((TruncateToInt32(config) >> 8) & 0xFF));
}

int DeriveBrakeDelay(CMC_Setup* setup, const char* target, const char* reg) {
  RuleInputs in(setup);
  CMC_Parameter* delay = in.Need(target);
  const double period = in.Base("Ts_S");
  const double samples = in.Base(reg);
  if (!in.Complete()) return 0;
  return SetValue(delay, period * samples);
}

int DeriveFreezeControl(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("isFreezeControl");
  const int enabled = in.Bit("ACR", 4);
  const double mode = in.Internal("ControlMode");
  if (!in.Complete()) return 0;
  return SetRangeAndInternal(target, 0.0, 1.0, enabled == 1 && mode == 0.0 ? 1.0 : 0.0);
}

int DeriveFreezeControlTime(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("FreezeControl_time");
  const double period = in.Base("Ts_S");
  const double samples = in.Base("TONPOSOK_FC");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 65535.0 * period, period * samples);
}

int DeriveSpeedEstimator(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("isSpeedEstimator");
  const int scr = in.Code("SCR");
  if (!in.Complete()) return 0;
  return SetFlag(target, (scr & 0x38) == 0x30);
}

int DeriveCanSave(CMC_Setup* setup, const char* target, int bit) {
  return DeriveFlag(setup, target, "LSS_Active", bit, true);
}

}  // namespace kestrel
