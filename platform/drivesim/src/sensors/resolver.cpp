#include "sensors/resolver.h"

#include <cmath>

namespace drivesim::sensors {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kLoopNatural_rad_s = kTwoPi * 1000.0;
constexpr double kLoopDamping = 0.7;
constexpr double kSubStep_s = 10e-6;
constexpr double kSettledAngle_rad = 1e-9;
constexpr double kSettledSpeed_rad_s = 1e-6;
}

double Demodulated::Amplitude() const { return std::hypot(sin, cos); }

double DemodulationGain(const ResolverSignals& signals, double amplitude, double demodulationPhase_rad) {
  return amplitude * std::cos(signals.carrier_phase_deg * kTwoPi / 360.0 - demodulationPhase_rad);
}

Demodulated Demodulate(const ResolverSignals& signals, double amplitude, double demodulationPhase_rad, double phi) {
  const double gain = DemodulationGain(signals, amplitude, demodulationPhase_rad);
  return {gain * (signals.sin_gain * std::sin(phi) + signals.sin_offset),
          gain * (signals.cos_gain * std::cos(phi) + signals.cos_offset)};
}

double ConvertedAngle(const Demodulated& d, double phi) {
  const double error = std::remainder(std::atan2(d.sin, d.cos) - phi, kTwoPi);
  return phi + error;
}

void TrackResolver(ResolverTracker& t, double measured, double h_s) {
  if (!t.started) {
    t = {true, measured, measured, 0.0};
    return;
  }
  const int steps = static_cast<int>(std::ceil(h_s / kSubStep_s));
  const double dt = steps > 0 ? h_s / steps : 0.0;
  // Each sub-step sees φ_m at its start: a constant speed then leaves no error at the sub-steps' ends.
  for (int k = 0; k < steps; ++k) {
    const double error = t.measured + (measured - t.measured) * k / steps - t.angle;
    t.speed += kLoopNatural_rad_s * kLoopNatural_rad_s * error * dt;
    t.angle += (t.speed + 2.0 * kLoopDamping * kLoopNatural_rad_s * error) * dt;
  }
  t.measured = measured;
  if (std::abs(t.angle - measured) < kSettledAngle_rad && std::abs(t.speed) < kSettledSpeed_rad_s) {
    t.angle = measured;
    t.speed = 0.0;
  }
}

}  // namespace drivesim::sensors
