// The resolver and the R/D converter's demodulation. At resolver angle φ = s·p_r·θ_m the windings
// return the carrier with envelopes a·(g_s·sin φ + o_s) and a·(g_c·cos φ + o_c), shifted by φ_c;
// demodulating at phase φ_d scales both by cos(φ_c − φ_d). The converter's angle is the angle
// of the demodulated vector (taken next to φ, so that it unwraps with the shaft), and its
// emulated encoder counts MECRESL per revolution.
#pragma once

#include "drivesim/scenario.h"

namespace drivesim::sensors {

struct Demodulated {
  double sin = 0.0;
  double cos = 0.0;
  double Amplitude() const;
};

Demodulated Demodulate(const ResolverSignals& signals, double amplitude, double demodulationPhase_rad, double phi);
// The synchronous demodulator's gain on the envelopes, a·cos(φ_c − φ_d): negative when it
// demodulates against the carrier (the converter's angle then turns by half a resolver turn).
double DemodulationGain(const ResolverSignals& signals, double amplitude, double demodulationPhase_rad);
// The angle of the demodulated vector, unwrapped next to the true resolver angle φ.
double ConvertedAngle(const Demodulated& d, double phi);

// The converter's type-2 tracking loop: its angle θ̂ and speed ω̂ follow the demodulated angle φ_m,
//   ε = φ_m − θ̂,  dω̂/dt = ω_n²·ε,  dθ̂/dt = ω̂ + 2ζ·ω_n·ε   (ω_n = 2π·1 kHz, ζ = 0.7),
// without error at a constant speed and lagging under acceleration. Once the error and the speed
// have died out (below 1 nrad and 1 µrad/s) it holds θ̂ = φ_m exactly.
struct ResolverTracker {
  bool started = false;
  double measured = 0.0;  // φ_m at the end of the last step
  double angle = 0.0;     // θ̂
  double speed = 0.0;     // ω̂, rad/s
  bool Settled() const { return started && angle == measured && speed == 0.0; }
};
// Advances the loop by h_s while φ_m moves evenly to `measured` (semi-implicit Euler in sub-steps
// of at most 10 µs, each seeing φ_m at its start); the first call starts it settled at `measured`.
void TrackResolver(ResolverTracker& tracker, double measured, double h_s);

}  // namespace drivesim::sensors
