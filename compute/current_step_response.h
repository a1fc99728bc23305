// The current loop's step response: what the register gains predict, and the figures of a step
// response (measured or predicted), so that a user sees whether the tuned loop is well damped.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "drivebase/setup.h"

namespace kestrel {

// Figures of a step from 0 to `final_value`, in a response sampled at time_s (ascending), the
// step applied at stepTime_s.
//   rise_s:        from the first sample at or above 10 % of the final value to the first at or
//                  above 90 % (NaN when it never gets there);
//   overshoot_pct: (peak − final) / final × 100 over the samples after the step, 0 when the
//                  response stays below the final value;
//   settling_s:    from the step to the last sample outside final ± 5 %, i.e. the time after
//                  which the response stays within the band (NaN when the last sample is
//                  outside it).
struct StepMetrics {
  double rise_s;
  double overshoot_pct;
  double settling_s;
};
StepMetrics MeasureStepResponse(std::span<const double> time_s, std::span<const double> value,
                                double stepTime_s, double final_value);

// The current step that the setup's register gains give (KPI/SFTKPI, KII/SFTKII, SATPWM, FILTERQ
// as the drive's fixed-point loop uses them), on the plant of the setup's R and L through the
// current and sinusoidal voltage scales, with one current-loop period of delay between the
// controller's output and the voltage at the motor. Samples every current-loop period from 0 to
// duration_s; the reference steps from 0 to step_A at stepTime_s.
struct PredictedStep {
  std::vector<double> time_s;
  std::vector<double> current_A;
  bool stable = true;         // false when the response grows without bound (or saturates)
  StepMetrics metrics{};
};
PredictedStep PredictCurrentStep(CMC_Setup& setup, double step_A, double stepTime_s, double duration_s);

}  // namespace kestrel
