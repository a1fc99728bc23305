#include <algorithm>
#include <cmath>

#include "compute/derivation.h"
#include "compute/derivation_rule.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {
namespace {

constexpr double kFullScale = 32767.0;

// The controller output limit in use: SATS under speed control (ACR bit 9), else SATP.
double OutputLimit(RuleInputs& in) { return in.Bit("ACR", 9) == 1 ? in.Base("SATS") : in.Base("SATP"); }

double PeakCurrent(RuleInputs& in) { return std::min(in.Base("ImaxM"), in.Base("ImaxPS")); }

}  // namespace

int DeriveScaledGain(CMC_Setup* setup, const char* gain, const char* mantissa, const char* shift) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(gain);
  const double k = in.Base(mantissa);
  const double s = in.Base(shift);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 16384.0, k * std::pow(2.0, s) / kFullScale);
}

int DeriveAccelerationFeedForward(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("KFFA_scl");
  const double k = in.Base("KFFA");
  const double shift = in.Base("SFTKFF") + in.Base("SFTAFFW");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 4194304.0, k * std::pow(2.0, shift) / kFullScale);
}

int DeriveDerivativeFilter(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("filter_D");
  const double coefficient = in.Base("KDFP");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 1.0, coefficient / kFullScale);
}

int DeriveIntegralLimit(CMC_Setup* setup, const char* target, const char* imax, const char* sat) {
  RuleInputs in(setup);
  CMC_Parameter* percent = in.Need(target);
  const double integral = in.Base(imax);
  const double output = in.Base(sat);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(percent, 0.0, 100.0, (kFullScale - integral) * 100.0 / (kFullScale - output));
}

int DeriveCurrentLimit(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("IlimPS");
  const double peak = PeakCurrent(in);
  if (!in.Complete() || SetLimitsInBaseUnit(target, 0.001, peak) == 0) return 0;
  // The limits stay set even when the output limit cannot be read.
  RuleInputs saturation(setup);
  const double output = OutputLimit(saturation);
  if (!saturation.Complete()) return 0;
  return SetValue(target, (kFullScale - output) / GetCurrentScale(setup));
}

int DeriveTestLimitCurrent(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("TestLimitCurrent");
  const double peak = PeakCurrent(in);
  const double output = OutputLimit(in);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, peak, (kFullScale - output) / GetCurrentScale(setup));
}

int DeriveTestCurrent(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("TestCurrent");
  const double half = std::min(in.Base("In") / 2.0, in.Base("InPS") / 2.0);
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.001, 1.8 * half, half);
}

int DeriveProtectionCurrent(CMC_Setup* setup, const char* target, double lowest) {
  RuleInputs in(setup);
  CMC_Parameter* current = in.Need(target);
  const double peak = PeakCurrent(in);
  const double counts = in.Base("IMAXPROT");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(current, lowest, peak, counts / GetCurrentScale(setup));
}

int DeriveOffsetCurrent(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("OffsetCurrent");
  const double nominal = in.Base("In");
  const double counts = in.Base("FFL");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, -nominal, nominal, counts / GetCurrentScale(setup));
}

int DeriveI2tCurrent(CMC_Setup* setup, const char* target, const char* limit, const char* nominal,
                     double floorFactor, const char* peak) {
  RuleInputs in(setup);
  CMC_Parameter* current = in.Need(target);
  const double integral = in.Internal(limit);
  const double rated = in.Base(nominal);
  const double highest = in.Base(peak);
  if (!in.Complete()) return 0;
  const double ki = GetCurrentScale(setup);
  const double counts = rated * ki;
  return SetRangeAndValue(current, floorFactor * rated, highest,
                          std::sqrt(16.0 * integral + counts * counts) / ki);
}

int DeriveI2tTime(CMC_Setup* setup, const char* target, const char* reg, bool periodParameter) {
  RuleInputs in(setup);
  CMC_Parameter* time = in.Need(target);
  const double factor = in.Base(reg);
  const double parameterPeriod = periodParameter ? in.Base("Ts_S") : 0.0;
  if (!in.Complete()) return 0;
  const double ts = GetSpeedLoopPeriod(setup);
  const double period = periodParameter ? parameterPeriod : ts;
  return SetRangeAndValue(time, 2048.0 * ts, 67108864.0 * ts, period * 67108864.0 / factor);
}

int DeriveCurrentFilter(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("FilterOnCurrentControllerOutput");
  const double coefficient = in.Base("FILTERQ");
  if (!in.Complete()) return 0;
  const double tc = GetCurrentLoopPeriod(setup);
  const double corner = coefficient == kFullScale ? 5000.0 : -std::log(1.0 - coefficient / kFullScale) / tc;
  return SetRangeAndValue(target, 0.0, 1.0 / (2.0 * tc), corner);
}

}  // namespace kestrel
