#include "compute/gain_pairs.h"

#include <algorithm>
#include <cmath>

#include "compute/gain_shift.h"
#include "compute/scale_functions.h"

namespace kestrel {
namespace {

constexpr double kFullScale = 32767.0;

// The scaled gain and the register it sets, both looked up first.
int WriteRegister(CMC_Setup* setup, const char* gain, const char* reg, double (*of)(double)) {
  const CMC_Parameter* scaled = setup->FindParameter(gain);
  CMC_Parameter* target = setup->FindParameter(reg);
  if (scaled == nullptr || target == nullptr) return 0;
  target->SetValueInBaseUnit(of(scaled->GetValueInBaseUnit()));
  return 1;
}

double Shift(double gain) { return GainShift(gain); }
double LowShift(double gain) { return std::min(GainShift(gain), 11); }
double ExtraShift(double gain) { return std::max(GainShift(gain) - 11, 0); }

}  // namespace

double GainMantissa(double gain) { return gain * kFullScale / std::ldexp(1.0, GainShift(gain)); }

int ComputeShiftRegister(CMC_Setup* setup, const GainPair& pair) {
  return WriteRegister(setup, pair.gain, pair.shift, &Shift);
}

int ComputeMantissaRegister(CMC_Setup* setup, const GainPair& pair) {
  return WriteRegister(setup, pair.gain, pair.mantissa, &GainMantissa);
}

int ComputeAccFeedForwardShift(CMC_Setup* setup) {
  return WriteRegister(setup, "KFFA_scl", "SFTAFFW", &LowShift);
}

int ComputeAccFeedForwardExtraShift(CMC_Setup* setup) {
  return WriteRegister(setup, "KFFA_scl", "SFTKFF", &ExtraShift);
}

int ComputeAccFeedForwardMantissa(CMC_Setup* setup) {
  return WriteRegister(setup, "KFFA_scl", "KFFA", &GainMantissa);
}

}  // namespace kestrel
