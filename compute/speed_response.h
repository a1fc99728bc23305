// The speed loop's answer to a reference profile that the quantised gains predict: a discrete
// model of the loop the drive runs, in its internal units, one speed-loop period k at a time:
//   v_k   = ASPD biquads(θ_k − θ_k−1)                   (the counter's change, filtered)
//   e_k   = floor(r_k) − v_k                            (r_k = ref16_k / 65536)
//   I_k   = clamp(I_k−1 + Ki e_k, ±Ilim)
//   u_k   = clamp(Kp e_k + I_k + KFFA (ref16_k − ref16_k−1) / 65536, ±Ulim)
//   iref  = IQREF biquads(u_k)
// and between two speed samples n = Ts_S / Ts_C periods of the current loop (CurrentLoopModel:
// its PI, the PWM reload's period of delay, the winding), in each of which the shaft speed w
// (counts per speed period) gains b/n times the period's mean current and the counter θ the
// period's mean speed / n. Without a current loop the current follows its
// reference at once and holds it for the speed period. The gains are taken as the drive holds
// them (mantissa · 2^shift / 32767), the biquads with the coefficients of their registers.
#pragma once

#include <optional>
#include <vector>

#include "compute/current_step_response.h"
#include "compute/tuning_profile.h"
#include "drivebase/setup.h"

namespace kestrel {

// One biquad as the drive runs it: register · SF / 2^31 for each coefficient.
struct BiquadStage {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

struct SpeedLoopModel {
  double kp = 0.0, ki = 0.0, kffa = 0.0;  // scaled gains as the drive holds them
  double integralLimit = 0.0;             // internal current units
  double outputLimit = 0.0;
  double plantGain = 0.0;                 // b: speed change per speed period per current count
  std::vector<BiquadStage> currentReferenceFilters{};  // IQREF_BQ_INI slots, in series
  std::vector<BiquadStage> measuredSpeedFilters{};   // ASPD_BQ_INI slots
  std::optional<CurrentLoopModel> currentLoop{};     // none: an ideal current loop
  int currentPeriodsPerSample = 1;                   // Ts_S / Ts_C
};

// The model of the setup's speed loop as the speed test runs it (the output limited to the test's
// current limit); its plant gain is 0 when the setup lacks what it needs.
SpeedLoopModel SpeedLoopModelOf(CMC_Setup* setup);
// The same loop on the drive's own limits 32767 − SATS and 32767 − IMAXS, as it runs inside the
// position loop.
SpeedLoopModel CascadedSpeedLoopModelOf(CMC_Setup* setup);

// Biquads in series, direct form I, each with its own memory.
class FilterChain {
 public:
  explicit FilterChain(const std::vector<BiquadStage>& stages) : stages_(stages), memory_(stages.size()) {}
  double Step(double x);

 private:
  struct Memory {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
  };
  const std::vector<BiquadStage>& stages_;
  std::vector<Memory> memory_;
};

// The loop of a SpeedLoopModel (which must outlive it) run one speed period at a time, from rest.
class SpeedLoopRun {
 public:
  explicit SpeedLoopRun(const SpeedLoopModel& model);
  // One period on the 16.16 reference; returns the speed the controller measured.
  double Step(double reference16);
  // One period on a current reference handed to the current loop directly.
  void Drive(double currentReference);
  double Counter() const { return counter_; }  // counts from the start

 private:
  const SpeedLoopModel& model_;
  FilterChain speedFilters_, currentFilters_;
  std::optional<CurrentLoopStepper> currentLoop_;
  double speed_ = 0.0;    // the shaft's, counts per speed period
  double counter_ = 0.0;  // the shaft's position, counts
  double previousCounter_ = 0.0, integral_ = 0.0, previous16_ = 0.0;

  // The mean current `mean` acting over the share `share` of a speed period.
  void Advance(double mean, double share);
};

// The reference (16.16) at each period of the profile's six segments, from 0.
std::vector<double> ProfileReference16(const ReferenceProfile& profile);

// The predicted measured speed (internal units, after the speed feedback filters) at each period
// of the reference.
std::vector<double> PredictSpeedResponse(const SpeedLoopModel& model, const std::vector<double>& reference16);

}  // namespace kestrel
