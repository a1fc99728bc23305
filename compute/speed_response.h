// The speed loop's answer to a reference profile that the quantised gains predict: the drive's PI
// with its integral and output limits and the acceleration feed-forward, on a rigid load driven
// by an ideal current loop (no filters, no quantisation of the measured speed). In the drive's
// internal units, per loop period k:
//   e_k = r_k − y_k (r_k = ref16_k / 65536);  I_k = clamp(I_k−1 + Ki e_k, ±Ilim)
//   u_k = clamp(Kp e_k + I_k + KFFA (ref16_k − ref16_k−1) / 65536, ±Ulim);  y_k+1 = y_k + b u_k
// with b = SpeedLoopPlantGain and the gains as the drive holds them (mantissa · 2^shift / 32767).
#pragma once

#include <vector>

#include "compute/tuning_profile.h"
#include "drivebase/setup.h"

namespace kestrel {

struct SpeedLoopModel {
  double kp = 0.0, ki = 0.0, kffa = 0.0;  // scaled gains as the drive holds them
  double integralLimit = 0.0;             // internal current units
  double outputLimit = 0.0;
  double plantGain = 0.0;                 // b
};

// The model of the setup's speed loop; its plant gain is 0 when the setup lacks what it needs.
SpeedLoopModel SpeedLoopModelOf(CMC_Setup* setup);

// The reference (16.16) at each period of the profile's six segments, from 0.
std::vector<double> ProfileReference16(const ReferenceProfile& profile);

// The predicted speed (internal units) at each period of the reference.
std::vector<double> PredictSpeedResponse(const SpeedLoopModel& model, const std::vector<double>& reference16);

}  // namespace kestrel
