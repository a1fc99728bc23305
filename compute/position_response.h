// The position loop's answer to a reference profile that the quantised gains predict, in feedback
// counts, one speed-loop period k at a time (the program moves the target by the profile's
// whole counts):
//   e_k   = floor(r_k) − θ_k;  D_k = D_k−1 + f (e_k − e_k−1 − D_k−1)   (f = KDFP / 32768)
//   I_k   = clamp(I_k−1 + Ki e_k, ±Ilim)
//   out_k = SPDREF biquads(clamp(Kp e_k + I_k + Kd D_k + KFFS (r_k − r_k−1), ±Olim))
// whose whole counts are the speed reference of the speed loop (cascade, SpeedLoopRun) or the
// current reference handed to the current loop (direct position control).
#pragma once

#include <optional>
#include <vector>

#include "compute/speed_response.h"
#include "drivebase/setup.h"

namespace kestrel {

struct PositionLoopModel {
  double kp = 0.0, ki = 0.0, kd = 0.0;  // scaled gains as the drive holds them
  double derivativeShare = 1.0;         // f; 1 leaves the derivative unfiltered (KDFP 32767)
  double integralLimit = 0.0;           // 32767 − IMAXP
  double outputLimit = 0.0;             // the program's: LimitSpeed_Test (cascade), IlimPS_Test (direct)
  double kffs = 0.0;                    // 0 without the speed feed-forward (ACR bit 14)
  bool cascade = true;                  // over the speed loop
  std::vector<BiquadStage> outputFilters{};  // SPDREF_BQ_INI slots
};

// The position test's loop on the setup; none on an axis whose position sensor is not the
// speed sensor (the model follows one counter).
std::optional<PositionLoopModel> PositionLoopModelOf(CMC_Setup* setup);

// The predicted position (counts from the start) at each period of the reference.
std::vector<double> PredictPositionResponse(const PositionLoopModel& position, const SpeedLoopModel& speed,
                                            const std::vector<double>& reference16);

}  // namespace kestrel
