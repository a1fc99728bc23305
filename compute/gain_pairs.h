// The drive holds each controller gain as a 16-bit mantissa K with a shift s beside it:
//     g = K * 2^s / 32767,
// with s = ceil(ln g / ln 2) and K = g * 32767 / 2^s above 1 (K in (16383.5, 32767]), and s = 0,
// K = g * 32767 up to 1 (zero and negative gains too). The user and the tuning work with the
// scaled gains g, parameters named "..._scl".
#pragma once

#include "drivebase/setup.h"

namespace kestrel {

struct GainPair {
  const char* gain;      // scaled gain, e.g. "Kp_C_scl"
  const char* mantissa;  // e.g. "KPI"
  const char* shift;     // e.g. "SFTKPI"
};

inline constexpr GainPair kCurrentProportional{"Kp_C_scl", "KPI", "SFTKPI"};
inline constexpr GainPair kCurrentIntegral{"Ki_C_scl", "KII", "SFTKII"};
inline constexpr GainPair kSpeedProportional{"Kp_S_scl", "KPS", "SFTKPS"};
inline constexpr GainPair kSpeedIntegral{"Ki_S_scl", "KIS", "SFTKIS"};
inline constexpr GainPair kPositionProportional{"Kp_P_scl", "KPP", "SFTKPP"};
inline constexpr GainPair kPositionIntegral{"Ki_P_scl", "KIP", "SFTKIP"};
inline constexpr GainPair kPositionDerivative{"Kd_P_scl", "KDP", "SFTKDP"};
inline constexpr GainPair kAngleProportional{"Kp_T_scl", "KPTHT", "SFTKPTHT"};
inline constexpr GainPair kAngleIntegral{"Ki_T_scl", "KITHT", "SFTKITHT"};
inline constexpr GainPair kSpeedFeedForward{"KFFS_scl", "KFFS", "SFTSFFW"};

// The mantissa of a gain with the shift of GainShift (gain_shift.h).
double GainMantissa(double gain);

// Each writes its one register from the scaled gain; 0, writing nothing, when the gain or the
// register is missing. The mantissa computes the shift itself, so either may run first.
int ComputeShiftRegister(CMC_Setup* setup, const GainPair& pair);
int ComputeMantissaRegister(CMC_Setup* setup, const GainPair& pair);

// The acceleration feed-forward: its shift s (GetAccFeedForwardShift) split over SFTAFFW =
// min(s, 11) and SFTKFF = s - 11 above 11, else 0; KFFA = KFFA_scl * 32767 / 2^s.
int ComputeAccFeedForwardShift(CMC_Setup* setup);        // SFTAFFW
int ComputeAccFeedForwardExtraShift(CMC_Setup* setup);   // SFTKFF
int ComputeAccFeedForwardMantissa(CMC_Setup* setup);     // KFFA

}  // namespace kestrel
