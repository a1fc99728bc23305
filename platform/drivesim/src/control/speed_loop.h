// The drive's speed controller: a parallel PI on the measured speed (counts per sample), with
// acceleration feed-forward, gains as register pairs, integrator with 15
// fractional bits. It runs every Ts_S (or every Ts_C when UPGRADE bit 6 is set); the scheduler
// decides which, this unit only steps once per call.
#pragma once

#include <cstdint>

namespace drivesim::control {

// The register values the loop uses.
struct SpeedLoopGains {
  std::int32_t kps = 0, sftkps = 0, kis = 0, sftkis = 0;
  std::int32_t integralLimit = 32767;  // 32767 − IMAXS
  std::int32_t outputLimit = 32767;    // 32767 − SATS
  std::int32_t kffa = 0, sftaffw = 0, sftkff = 0;
};

struct SpeedLoopState {
  std::int64_t integral = 0;            // I32 (15 fractional bits)
  std::int64_t previousReference = 0;   // speed reference at the previous sample, 16.16
};

// One speed sample, reference v_ref in counts per sample as 16.16, v the measured speed in counts
// per sample, result the current reference in current counts:
//   e      = (v_ref >> 16) − v
//   I32   += KIS·e·2^SFTKIS,  clamped to ±(integralLimit << 15)                 (anti-windup)
//   i_ref  = clamp(MulShift(KPS, SFTKPS, e) + (I32 >> 15)
//                  + MulShift(KFFA, SFTAFFW + SFTKFF − 16, Δv_ref), ±outputLimit)
// Δv_ref is the change of the 16.16 reference, so the feed-forward keeps its fraction and
// the effective gain is KFFA·2^(SFTAFFW + SFTKFF)/32768 per count per sample of acceleration.
std::int32_t StepSpeedLoop(const SpeedLoopGains& gains, SpeedLoopState& state, std::int64_t reference16,
                           std::int32_t speed);

}  // namespace drivesim::control
