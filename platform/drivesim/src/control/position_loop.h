// The drive's position controller: a parallel PID on the position error with a first-order filter
// on the derivative, speed feed-forward from the target's motion, gains as register pairs and an
// integrator with 15 fractional bits. It runs every Ts_S; its output is the speed reference of the
// cascade (ACR bit 9) or the current reference of direct position control, as the caller routes it.
#pragma once

#include <cstdint>

namespace drivesim::control {

// The register values the loop uses.
struct PositionLoopGains {
  std::int32_t kpp = 0, sftkpp = 0, kip = 0, sftkip = 0, kdp = 0, sftkdp = 0;
  std::int32_t kdfp = 32767;           // KDFP; 32767 leaves the derivative unfiltered
  std::int32_t integralLimit = 32767;  // 32767 − IMAXP
  std::int32_t outputLimit = 32767;    // 32767 − SATP
  std::int32_t kffs = 0, sftsffw = 0;
  bool speedFeedForward = false;       // ACR bit 14
};

struct PositionLoopState {
  std::int64_t integral = 0;         // I32 (15 fractional bits)
  std::int64_t derivative = 0;       // D, the filtered change of the error per sample
  std::int32_t previousError = 0;
  std::int32_t previousTarget = 0;
};

// The state at axis-on: integrator and derivative empty, error and target differences from here.
PositionLoopState StartPositionLoop(std::int32_t target, std::int32_t position);

// One position sample (target and position in feedback counts, 32-bit, wrapping):
//   e      = target − position
//   D     += (KDFP·((e − e_prev) − D)) >> 15          (D = e − e_prev when KDFP is 32767)
//   I32   += KIP·e·2^SFTKIP,  clamped to ±(integralLimit << 15)                   (anti-windup)
//   out    = clamp(MulShift(KPP, SFTKPP, e) + (I32 >> 15) + MulShift(KDP, SFTKDP, D)
//                  + [ACR bit 14] MulShift(KFFS, SFTSFFW, target − target_prev), ±outputLimit)
std::int32_t StepPositionLoop(const PositionLoopGains& gains, PositionLoopState& state, std::int32_t target,
                              std::int32_t position);

}  // namespace drivesim::control
