// The drive's current controller: one parallel PI per axis (d, q) on int16 counts, gains as
// register pairs, integrators with 15 fractional bits, d-priority voltage limit, output filter.
#pragma once

#include <cstdint>

#include "control/fixed_point.h"

namespace drivesim::control {

// The register values the loop uses.
struct CurrentLoopGains {
  std::int32_t kpi = 0, sftkpi = 0, kii = 0, sftkii = 0;
  std::int32_t voltageLimit = 32767;        // U_lim = 32767 − SATPWM
  std::int32_t limitD = 32767, limitQ = 32767;  // 32767 − SATID, 32767 − SATIQ when present
  std::int32_t filterQ = 32767;             // FILTERQ; 32767 bypasses the output filter
  std::int32_t ffl = 0, kffl = 0;           // offset current FFL·KFFL >> 15 added to i_ref_q
};

struct CurrentLoopState {
  std::int64_t integralD = 0, integralQ = 0;   // I32 of each axis (15 fractional bits)
  std::int32_t filteredQ = 0;                  // u_f of the output filter
};

// One control period:
//   i_ref_q += (FFL·KFFL) >> 15
//   e       = sat16(i_ref − i_meas)
//   I32    += KII·e·2^SFTKII,  clamped to ±(limit << 15)                   (anti-windup)
//   u       = clamp(MulShift(KPI, SFTKPI, e) + (I32 >> 15), ±limit)
//   u_f    += (FILTERQ·(u − u_f)) >> 15                                    (q axis; bypassed at 32767)
// with limit_d = min(U_lim, SATID) and limit_q = min(√(U_lim² − u_d²), SATIQ).
TwoAxis StepCurrentLoop(const CurrentLoopGains& gains, CurrentLoopState& state, TwoAxis reference,
                        TwoAxis measured);

}  // namespace drivesim::control
