#include <cmath>

#include "compute/derivation.h"
#include "compute/derivation_rule.h"
#include "compute/parameter_limits.h"
#include "compute/position_scale.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {
namespace {

constexpr double kFullScale = 32767.0;

double PositionCounts(const CMC_Setup* setup) { return std::fabs(GetLoadPositionScale(setup)); }
double SpeedCounts(const CMC_Setup* setup) { return std::fabs(GetLoadSpeedScale(setup)); }

// The speed that the supply allows: Vdc / K for a rotary motor side, DSP_freq * PolePitch * 0.25
// / PWMPER for a linear one.
double TopSpeed(RuleInputs& in) {
  if (IsMotorSideRotary(in.Code("TransmissionType"))) return in.Base("Vdc") / in.Base("K");
  return in.Base("DSP_freq") * in.Base("PolePitch") * 0.25 / in.Base("PWMPER");
}

// A quantity from its register in counts: register / scale, limits 0 to 32767 / scale.
int DeriveCounted(CMC_Setup* setup, const char* target, const char* reg, double counts, double lowest) {
  RuleInputs in(setup);
  CMC_Parameter* quantity = in.Need(target);
  const double value = in.Base(reg);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(quantity, lowest, kFullScale / counts, value / counts);
}

// The input's full span over the ADC: ADCmax * 2 * CADIN * s * 2^-16 * 2^SFTADIN, with s the
// sign of the position scale.
double ReferenceSpan(CMC_Setup* setup, RuleInputs& in) {
  const double gain = in.Internal("CADIN");
  const double shift = in.Internal("SFTADIN");
  const double sign = GetLoadPositionScale(setup) > 0.0 ? 1.0 : -1.0;
  const double adcMax = static_cast<double>(Compute_ADCMaxValue(setup));
  return adcMax * 2.0 * gain * sign * std::ldexp(1.0, -16) * std::pow(2.0, shift);
}

}  // namespace

int DeriveSpeedLimit(CMC_Setup* setup) {
  RuleInputs mode(setup);
  const int structure = mode.Code("PositionControlType");
  const int control = mode.Code("ControlMode");
  if (!mode.Complete()) return 0;
  if (structure != 1 || control != 0) return 1;  // the speed limit belongs to position control
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("Limit_Speed");
  const double output = in.Base("SATP");
  const double top = TopSpeed(in);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, top, (kFullScale - output) / SpeedCounts(setup));
}

int DeriveTestMaxSpeed(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("TestMaxSpeed");
  const double top = TopSpeed(in);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, top, top / 3.0);
}

int DerivePositionError(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ERR_position");
  const double shortLimit = in.Base("ERRMAX");
  if (!in.Complete()) return 0;
  const double k = PositionCounts(setup);
  // The 32-bit limit ERRMAXL when the drive has it.
  if (const CMC_Parameter* longLimit = FindOptionalParameter(setup, "ERRMAXL")) {
    if (SetLimitsInBaseUnit(target, 0.0, 2147483647.0 / k) == 1) {
      return SetValue(target, longLimit->GetValueInBaseUnit() / k);
    }
  }
  return SetRangeAndValue(target, 0.0, kFullScale / k, shortLimit / k);
}

int DeriveSpeedError(CMC_Setup* setup) {
  return DeriveCounted(setup, "ERR_speed", "SERRMAX", SpeedCounts(setup), 0.001);
}

int DeriveSampleTime(CMC_Setup* setup, const char* target, const char* reg) {
  RuleInputs in(setup);
  CMC_Parameter* time = in.Need(target);
  const double samples = in.Base(reg);
  if (!in.Complete()) return 0;
  const double ts = GetSpeedLoopPeriod(setup);
  return SetRangeAndValue(time, 0.001, kFullScale * ts, samples * ts);
}

int DeriveSoftwareLimit(CMC_Setup* setup, const char* target, bool positive) {
  RuleInputs in(setup);
  CMC_Parameter* limit = in.Need(target);
  const double negativeCounts = in.Base("SWNEGLS");
  const double positiveCounts = in.Base("SWPOSLS");
  if (!in.Complete()) return 0;
  // A negative position scale turns the drive's positive limit into the user's negative one.
  const double scale = GetLoadPositionScale(setup);
  const double counts = (positive == (scale > 0.0)) ? positiveCounts : negativeCounts;
  const double k = std::fabs(scale);
  return SetRangeAndValue(limit, -2147483648.0 / k, 2147483647.0 / k, counts / k);
}

int DeriveReferenceSpeed(CMC_Setup* setup) {
  return DeriveCounted(setup, "ErefMaxSpeed", "CSPD", SpeedCounts(setup), 0.0);
}

int DeriveReferenceAcceleration(CMC_Setup* setup) {
  return DeriveCounted(setup, "ErefMaxAcceleration", "CACC", std::fabs(GetAccelerationScale(setup)), 0.0);
}

int DeriveFreezeControlBand(CMC_Setup* setup) {
  return DeriveCounted(setup, "FreezeControl_errband", "POSOKLIM_FC", PositionCounts(setup), 0.0);
}

int DeriveDeadBandPoint(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("DeadBand_Point");
  const double range = in.Base("AnalogueInputsRange");
  const double level = in.Base("LEVEL_AD5");
  if (!in.Complete()) return 0;
  LimitDeadBandPoint(setup);
  const double adcMax = static_cast<double>(Compute_ADCMaxValue(setup));
  const double point = range * level / adcMax;
  // A +-10 V input is read from 0 to 20 V.
  return SetValue(target, std::trunc(range) == 20.0 ? point - 10.0 : point);
}

int DeriveDeadBandRange(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("DeadBand_Range");
  const double range = in.Base("AnalogueInputsRange");
  const double level = in.Base("E_LEVEL_AD5");
  if (!in.Complete()) return 0;
  LimitDeadBandRange(setup);
  return SetValue(target, range * level / static_cast<double>(Compute_ADCMaxValue(setup)));
}

int DeriveReferenceFilter(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("filter");
  const double coefficient = in.Base("FILTER1");
  if (!in.Complete()) return 0;
  LimitReferenceFilter(setup);
  const double ts = GetSpeedLoopPeriod(setup);
  const double corner = coefficient == kFullScale ? 50.0 : -std::log(1.0 - coefficient / kFullScale) / ts;
  return SetRangeAndValue(target, 0.0, 0.5 / ts, corner);
}

int DeriveReferenceBottom(CMC_Setup* setup, const char* target, int (*limits)(CMC_Setup*)) {
  RuleInputs in(setup);
  CMC_Parameter* bottom = in.Need(target);
  const double offset = in.Internal("AD5OFF");
  if (!in.Complete()) return 0;
  limits(setup);
  return SetInternal(bottom, offset);
}

int DeriveReferenceTop(CMC_Setup* setup, const char* target, int (*limits)(CMC_Setup*)) {
  RuleInputs in(setup);
  CMC_Parameter* top = in.Need(target);
  const double offset = in.Internal("AD5OFF");
  const double span = ReferenceSpan(setup, in);
  if (!in.Complete()) return 0;
  limits(setup);
  return SetInternal(top, offset + span);
}

int DeriveCurrentReferenceBottom(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* bottom = in.Need("CRT_min");
  const double offset = in.Internal("AD5OFF");
  if (!in.Complete()) return 0;
  return SetInternal(bottom, offset);
}

}  // namespace kestrel
