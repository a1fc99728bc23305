#include "sensors/resolver.h"

#include <cmath>

namespace drivesim::sensors {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

double Demodulated::Amplitude() const { return std::hypot(sin, cos); }

Demodulated Demodulate(const ResolverSignals& signals, double amplitude, double demodulationPhase_rad, double phi) {
  const double gain = amplitude * std::cos(signals.carrier_phase_deg * kTwoPi / 360.0 - demodulationPhase_rad);
  return {gain * (signals.sin_gain * std::sin(phi) + signals.sin_offset),
          gain * (signals.cos_gain * std::cos(phi) + signals.cos_offset)};
}

double ConvertedAngle(const Demodulated& d, double phi) {
  const double error = std::remainder(std::atan2(d.sin, d.cos) - phi, kTwoPi);
  return phi + error;
}

}  // namespace drivesim::sensors
