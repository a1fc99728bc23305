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
// The converter's unwrapped angle for the true resolver angle φ.
double ConvertedAngle(const Demodulated& d, double phi);

}  // namespace drivesim::sensors
