#include <algorithm>
#include <cmath>
#include <string>

#include "compute/derivation_rule.h"
#include "compute/option_readers.h"
#include "compute/position_scale.h"
#include "compute/registers.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {
namespace {

constexpr double kFullScale = 32767.0;
constexpr double kTwoTo26 = 67108864.0;

double AdcMax(const CMC_Setup* setup) { return static_cast<double>(Compute_ADCMaxValue(setup)); }

bool Write(CMC_Parameter* target, double value) {
  target->SetValueInBaseUnit(value);
  return true;
}

bool WriteInternal(CMC_Parameter* target, double value) {
  target->SetValueInInternalUnit(value);
  return true;
}

// A register given as a constant.
bool WriteConstant(CMC_Setup* setup, const char* target, double value) {
  RuleInputs in(setup);
  CMC_Parameter* reg = in.Need(target);
  return in.Complete() && Write(reg, value);
}

// Position controller over the speed loop: its output is a speed, limited by Limit_Speed.
bool PositionOverSpeed(RuleInputs& in) {
  const int type = in.Code("PositionControlType");
  const int mode = in.Code("ControlMode");
  return type == 1 && mode == 0;
}

// A saturation register from the full scale down: first limited to 0..32767.
bool WriteSaturation(CMC_Parameter* target, double value) {
  return SetLimitsInBaseUnit(target, 0.0, kFullScale) == 1 && Write(target, value);
}

std::string Sided(const char* name, char side) { return std::string(name) + "_" + side; }

// A register in internal units of a quantity: the source parameter times the scale.
bool WriteScaled(CMC_Setup* setup, const char* target, const char* source, double (*scale)(const CMC_Setup*)) {
  RuleInputs in(setup);
  CMC_Parameter* reg = in.Need(target);
  const double value = in.Base(source);
  return in.Complete() && Write(reg, value * scale(setup));
}

// Magnitudes of the scales whose sign follows the direction of the transmission.
double PositionCounts(const CMC_Setup* setup) { return std::fabs(GetLoadPositionScale(setup)); }
double SpeedCounts(const CMC_Setup* setup) { return std::fabs(GetLoadSpeedScale(setup)); }
double AccelerationCounts(const CMC_Setup* setup) { return std::fabs(GetAccelerationScale(setup)); }

// A time in speed-loop samples: seconds over Ts_S.
bool WriteSamples(CMC_Setup* setup, const char* target, const char* time) {
  RuleInputs in(setup);
  CMC_Parameter* reg = in.Need(target);
  const double seconds = in.Base(time);
  const double period = in.Base("Ts_S");
  return in.Complete() && Write(reg, seconds / period);
}

}  // namespace

bool ComputePWMPER(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("PWMPER");
  const double clock = in.Base("DSP_freq");
  const double pwm = in.Base("PWM_freq");
  return in.Complete() && Write(target, clock * 0.5 / pwm);
}

bool ComputeT2MAXPROT(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("T2MAXPROT");
  const double atZero = in.Base("DriveTempOutputAt0oC");
  const double gain = in.Base("DriveTempSensorGain");
  const double limit = in.Base("Temp_2");
  const double range = in.Base("ADCrange");
  return in.Complete() && Write(target, (atZero + gain * limit) * AdcMax(setup) / range);
}

bool ComputeUMAXPROT(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("UMAXPROT");
  const double voltage = in.Base("UMAX_PROT");
  return in.Complete() && Write(target, TruncateCount(voltage * GetDcBusVoltageScale(setup)));
}

bool ComputeUMINPROT(CMC_Setup* setup) { return WriteScaled(setup, "UMINPROT", "UMIN_PROT", &GetDcBusVoltageScale); }

bool ComputeBRAKELIM(CMC_Setup* setup) { return WriteScaled(setup, "BRAKELIM", "Vbrake", &GetDcBusVoltageScale); }

bool ComputeI2tProtection(CMC_Setup* setup, char side) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(Sided("II2TPROT", side));
  const double nominal = in.Base(side == 'D' ? "InPS" : "In");
  return in.Complete() && WriteInternal(target, nominal * GetCurrentScale(setup));
}

bool ComputeI2tFactor(CMC_Setup* setup, char side) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(Sided("SFI2T", side));
  const double period = in.Base("Ts_S");
  const double time = in.Base(Sided("t_I2t", side));
  return in.Complete() && Write(target, period * kTwoTo26 / time);
}

bool ComputeI2tLimit(CMC_Setup* setup, char side) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(Sided("I2TINTLIM", side));
  const double current = in.Base(Sided("I_I2t", side));
  const double nominal = in.Base(side == 'D' ? "InPS" : "In");
  if (!in.Complete()) return false;
  const double iscale = GetCurrentScale(setup);
  return Write(target, (current * current - nominal * nominal) * (iscale * iscale) * 0.0625);
}

bool ComputeI2tWarning(CMC_Setup* setup, char side) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(side == 'D' ? "II2TWARLIM_D" : "I2TWARLIM_M");
  const double current = in.Base(Sided("I_I2t", side));
  const double nominal = in.Base(side == 'D' ? "InPS" : "In");
  const double time = in.Base(Sided("t_I2t", side));
  if (!in.Complete()) return false;
  const double iscale = GetCurrentScale(setup);
  return Write(target, (current * current - nominal * nominal) * (1.0 - 2.0 / time) * (iscale * iscale) * 0.0625);
}

bool ComputeSATPWM(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SATPWM");
  const int measurement = in.Code("CurrentMeasurementType");
  const double pwm = in.Base("PWM_freq");
  return in.Complete() && Write(target, measurement == 0 ? 0.0 : pwm * 0.13107);
}

bool ComputeMTSTYPE(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("MTSTYPE");
  const int type = in.Code("Motor_TempSensor_Type");
  return in.Complete() && Write(target, type == 1 ? 1.0 : 0.0);
}

bool ComputeAAR_table(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("AAR_table");
  const double id = in.Base("Axis_ID_list");
  return in.Complete() && Write(target, id != 0.0 ? id + 256.0 : 0.0);
}

bool CopySATPWM(CMC_Setup* setup, const char* target) {
  CMC_Parameter* reg = FindOptionalParameter(setup, target);
  const CMC_Parameter* source = FindOptionalParameter(setup, "SATPWM");
  return reg != nullptr && source != nullptr && Write(reg, source->GetValueInBaseUnit());
}

bool ComputeFILTERQ(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("FILTERQ");
  const int on = in.Code("isUseFilterOnCrtCtrlOutput");
  const double corner = in.Base("FilterOnCurrentControllerOutput");
  if (!in.Complete()) return false;
  if (on == 0) return Write(target, kFullScale);
  return Write(target, TruncateCount((1.0 - std::exp(-corner * GetCurrentLoopPeriod(setup))) * kFullScale));
}

bool ComputeFFL(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("FFL");
  const int on = in.Code("isCompensateGravitationalLoads");
  const double offset = in.Base("OffsetCurrent");
  return in.Complete() && Write(target, on != 0 ? offset * GetCurrentScale(setup) : 0.0);
}

bool ComputeKFFL(CMC_Setup* setup) { return WriteConstant(setup, "KFFL", kFullScale); }

bool ComputeT1MAXPROT(CMC_Setup* setup) { return WriteConstant(setup, "T1MAXPROT", kFullScale); }

bool ComputeKDFP(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("KDFP");
  const double filter = in.Base("filter_D");
  return in.Complete() && Write(target, filter * kFullScale);
}

bool ComputeIMAXS(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("IMAXS");
  const double limit = in.Base("IlimPS");
  const double share = in.Base("IPSatS");
  if (!in.Complete()) return false;
  return WriteSaturation(target, kFullScale - limit * (share / 100.0) * GetCurrentScale(setup));
}

bool ComputeSATS(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SATS");
  const double limit = in.Base("IlimPS");
  if (!in.Complete()) return false;
  return WriteSaturation(target, kFullScale - limit * GetCurrentScale(setup));
}

bool ComputeIMAXP(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("IMAXP");
  const bool speedOutput = PositionOverSpeed(in);
  const double share = in.Base("IPSatP");
  const double limit = speedOutput ? in.Base("Limit_Speed") : in.Base("IlimPS");
  if (!in.Complete()) return false;
  const double scale = speedOutput ? std::fabs(GetLoadSpeedScale(setup)) : std::fabs(GetCurrentScale(setup));
  return WriteSaturation(target, kFullScale - limit * (share / 100.0) * scale);
}

bool ComputeSATP(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SATP");
  const bool speedOutput = PositionOverSpeed(in);
  const double limit = speedOutput ? in.Base("Limit_Speed") : in.Base("IlimPS");
  if (!in.Complete()) return false;
  const double scale = speedOutput ? std::fabs(GetLoadSpeedScale(setup)) : GetCurrentScale(setup);
  return WriteSaturation(target, kFullScale - limit * scale);
}

bool ComputeIMAXPROT(CMC_Setup* setup) { return WriteScaled(setup, "IMAXPROT", "Imax_Prot", &GetCurrentScale); }

bool ComputeTIMAXPROT(CMC_Setup* setup) { return WriteSamples(setup, "TIMAXPROT", "time_Imax_Prot"); }

bool ComputeERRMAX(CMC_Setup* setup, const char* target) {
  return WriteScaled(setup, target, "ERR_position", &PositionCounts);
}

namespace {

// A control-error time in samples, or 65535 (never) with the check off.
bool ComputeErrorTime(CMC_Setup* setup, const char* target, const char* check, const char* time) {
  RuleInputs in(setup);
  CMC_Parameter* reg = in.Need(target);
  const int on = in.Code(check);
  const double seconds = in.Base(time);
  const double period = in.Base("Ts_S");
  return in.Complete() && Write(reg, on == 1 ? seconds / period : 65535.0);
}

// A software limit in counts: into its own register, or into the other one when a negative
// position scale turns the directions round.
bool ComputeSoftwareLimit(CMC_Setup* setup, const char* limit, const char* own, const char* other) {
  RuleInputs in(setup);
  const double position = in.Base(limit);
  CMC_Parameter* ownRegister = in.Need(own);
  CMC_Parameter* otherRegister = in.Need(other);
  if (!in.Complete()) return false;
  const double scale = GetLoadPositionScale(setup);
  return Write(scale > 0.0 ? ownRegister : otherRegister, position * scale);
}

}  // namespace

bool ComputeTERRMAX(CMC_Setup* setup) {
  return ComputeErrorTime(setup, "TERRMAX", "isPositionControlError", "time_ERR_pos");
}

bool ComputeSERRMAX(CMC_Setup* setup) { return WriteScaled(setup, "SERRMAX", "ERR_speed", &SpeedCounts); }

bool ComputeTSERRMAX(CMC_Setup* setup) {
  return ComputeErrorTime(setup, "TSERRMAX", "isSpeedControlError", "time_ERR_spd");
}

bool ComputeSWNEGLS(CMC_Setup* setup) { return ComputeSoftwareLimit(setup, "Negative_SWLS", "SWNEGLS", "SWPOSLS"); }

bool ComputeSWPOSLS(CMC_Setup* setup) { return ComputeSoftwareLimit(setup, "Positive_SWLS", "SWPOSLS", "SWNEGLS"); }

bool ComputeCACC(CMC_Setup* setup) { return WriteScaled(setup, "CACC", "ErefMaxAcceleration", &AccelerationCounts); }

bool ComputeCSPD(CMC_Setup* setup) { return WriteScaled(setup, "CSPD", "ErefMaxSpeed", &SpeedCounts); }

bool ComputeCADIN(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* gain = in.Need("CADIN");
  CMC_Parameter* shift = in.Need("SFTADIN");
  if (!in.Complete()) return false;
  // The span per count as a 16-bit gain with a shift; a negative span is handed over unshifted.
  const double x = GetAnalogueReferenceScale(setup);
  if (x > kFullScale) {
    const double bits = std::ceil(std::log2(x / kFullScale));
    shift->SetValueInInternalUnit(bits);
    return WriteInternal(gain, x / std::pow(2.0, bits));
  }
  shift->SetValueInInternalUnit(0.0);
  return WriteInternal(gain, x);
}

bool ComputeAD5OFF(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("AD5OFF");
  const int mode = in.Code("ControlMode");
  if (!in.Complete() || mode < 0 || mode > 2) return false;
  const char* bottom = mode == 0 ? "POS_min" : mode == 1 ? "SPD_min" : "CRT_min";
  const double offset = in.Internal(bottom);
  return in.Complete() && WriteInternal(target, offset);
}

bool ComputeFILTER1(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("FILTER1");
  const int on = in.Code("UseFilter");
  const double corner = in.Base("filter");
  const double period = in.Base("Ts_S");
  if (!in.Complete()) return false;
  return Write(target, on == 0 ? kFullScale : (1.0 - std::exp(-corner * period)) * kFullScale);
}

bool ComputeLEVEL_AD5(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("LEVEL_AD5");
  const double point = in.Base("DeadBand_Point");
  const double range = in.Base("AnalogueInputsRange");
  if (!in.Complete()) return false;
  // A +-10 V input counts from -10 V.
  if (range == 20.0) return Write(target, (point + 10.0) * AdcMax(setup) / 20.0);
  return Write(target, point * AdcMax(setup) / range);
}

bool ComputeE_LEVEL_AD5(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("E_LEVEL_AD5");
  const double width = in.Base("DeadBand_Range");
  const double range = in.Base("AnalogueInputsRange");
  return in.Complete() && Write(target, width * AdcMax(setup) / range);
}

bool ComputeGEAR(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("GEAR");
  const double slave = in.Base("GEARSLAVE");
  const double master = in.Base("GEARMASTER");
  return in.Complete() && Write(target, slave / master);
}

bool ComputeT1ON(CMC_Setup* setup, const char* target) {
  RuleInputs in(setup);
  CMC_Parameter* reg = in.Need(target);
  const double time = in.Base("time_AB");
  const bool hundredths = in.Bit("UPGRADE", 9) == 1;
  return in.Complete() && Write(reg, hundredths ? time * 100.0 : time * 65535.0);
}

bool ComputeREFTST(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("REFTST");
  const double pwm = in.Base("PWM_freq");
  const double supply = in.Base("Vdc");
  const double nominal = in.Base("In");
  const double resistance = in.Base("R");
  const int connection = in.Code("MotorPhaseConnectionType");
  const double start = in.Base("StartCurrent");
  if (!in.Complete()) return false;
  // The dead-time voltage plus the start current's share of the nominal current through R.
  const double kpwm = GetVoltageScale(setup);
  const double phaseResistance = connection == 1 ? resistance / 3.0 : resistance;
  return Write(target, kpwm * (pwm * GetDeadTime(setup) * supply) + kpwm * (nominal * phaseResistance * start) / 100.0);
}

bool ComputeRINCTST(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("RINCTST");
  const double reference = in.Base("REFTST");
  if (!in.Complete()) return false;
  double steps = 1.0;
  if (const CMC_Parameter* rise = FindOptionalParameter(setup, "rise_time_AB")) {
    RuleInputs alignment(setup);
    const double time = alignment.Base("time_AB");
    if (!alignment.Complete()) return false;
    steps = std::max(1.0, rise->GetValueInBaseUnit() * time / 100.0 / GetSpeedLoopPeriod(setup));
  }
  return Write(target, reference / steps);
}

bool ComputeBRAKECFG(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("BRAKECFG");
  const int port = in.Code("MotorBrake_output");
  const double on = in.Base("isMotorBrake");
  if (!in.Complete()) return false;
  return WriteInternal(target, setup->GetIOPinFromPort(port) * 256.0 + (on != 0.0 ? 1.0 : 0.0));
}

bool ComputeBrakeDelay(CMC_Setup* setup, const char* target, const char* time) {
  return WriteSamples(setup, target, time);
}

bool ComputePOSOKLIM_FC(CMC_Setup* setup) {
  return WriteScaled(setup, "POSOKLIM_FC", "FreezeControl_errband", &PositionCounts);
}

bool ComputeTONPOSOK_FC(CMC_Setup* setup) { return WriteSamples(setup, "TONPOSOK_FC", "FreezeControl_time"); }

bool ComputeTRANSMISSION(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("TRANSMISSION");
  const int loadSensor = in.Code("LoadSensorType");
  const double motor = in.Base("Motor_transmission");
  const double load = in.Base("Load_transmission");
  if (!in.Complete()) return false;
  // With one sensor only the direction counts; with two, the ratio of their speed scales.
  if (loadSensor == 0) return Write(target, motor / load > 0.0 ? 1.0 : -1.0);
  return Write(target, motor * std::fabs(GetMotorSpeedScale(setup)) / std::fabs(GetLoadSpeedScale(setup)) / load);
}

bool ComputeLSS_Active(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("LSS_Active");
  const double axisId = in.Base("save_axis_id");
  const double baudRate = in.Base("save_CAN_baudrate");
  if (!in.Complete()) return false;
  return Write(target, (axisId != 1.0 ? 1.0 : 0.0) + (baudRate != 1.0 ? 2.0 : 0.0));
}

}  // namespace kestrel
