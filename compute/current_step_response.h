// The current loop's step response: what the register gains predict, and the figures of a step
// response (measured or predicted), so that a user sees whether the tuned loop is well damped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "drivebase/setup.h"

namespace kestrel {

// Figures of a step from 0 to `final_value`, in a response sampled at time_s (ascending), the
// step applied at stepTime_s; only the samples at or after the step count.
//   rise_s:        from the first sample at or above 10 % of the final value to the first at or
//                  above 90 % (NaN when it never gets there);
//   overshoot_pct: (peak − final) / final × 100 over the samples after the step, 0 when the
//                  response stays below the final value; the peak is the largest mean of a
//                  sample and its two neighbours, so that the noise of a measured current does
//                  not read as overshoot (a predicted response is read the same way, so that the
//                  two compare; a peak sampled only two or three times reads lower);
//   settling_s:    from the step to the last sample outside final ± 5 %, i.e. the time after
//                  which the response stays within the band (NaN when the last sample is
//                  outside it).
// A negative final value is a step downwards (peak = the lowest value); a final value of 0 or no
// sample after the step gives NaN for all three.
struct StepMetrics {
  double rise_s;
  double overshoot_pct;
  double settling_s;
};
StepMetrics MeasureStepResponse(std::span<const double> time_s, std::span<const double> value,
                                double stepTime_s, double final_value);

// One axis of the drive's current loop on its plant, in the drive's units (current in ADC
// counts, voltage in PWM units), sampled every current-loop period:
//   measured m_k = i_k rounded to whole counts (int16);  e_k = sat16(r_k − m_k)
//   I_k = clamp(I_k−1 + KII·e_k·2^SFTKII, ±(U_lim << 15));  u_k = clamp(KPI·e_k·2^SFTKPI / 2^15 + I_k / 2^15, ±U_lim)
//   output filter u_f,k = u_f,k−1 + FILTERQ·(u_k − u_f,k−1) / 2^15 (bypassed at 32767)
//   plant i_k+1 = a·i_k + b·v_k, v_k = u_f,k−delay (the voltage held over the period)
// with every product and shift as the drive's integer arithmetic does it.
struct CurrentLoopModel {
  std::int32_t kpi = 0, sftkpi = 0, kii = 0, sftkii = 0;
  std::int32_t voltageLimit = 32767;  // U_lim = 32767 − SATPWM, never negative
  std::int32_t filterQ = 32767;       // FILTERQ
  double plantPole = 0.0;             // a = exp(−Tc·R/L): the share of the current kept over a period
  double plantGain = 0.0;             // b = Iscale·(1 − a) / (R·Kpwm): counts per PWM unit held a period
  int delay_periods = 1;              // periods between the controller's output and the motor voltage
  double period_s = 0.0;              // Tc
};

// The model of the setup: the registers KPI, SFTKPI, KII, SFTKII, SATPWM and FILTERQ, the
// plant from R and L (their star equivalents R/3, L/3 for a delta connection), the current scale
// and the sinusoidal voltage scale, one period of delay. Empty when a parameter is missing (the
// setup reports which).
std::optional<CurrentLoopModel> CurrentLoopModelOf(CMC_Setup& setup);

// The loop of a CurrentLoopModel (which must outlive it) run one current period at a time, with
// the drive's integer arithmetic.
class CurrentLoopStepper {
 public:
  explicit CurrentLoopStepper(const CurrentLoopModel& model);
  // One period on `reference_counts`: the controller acts on the present current, the plant
  // takes the voltage computed `delay_periods` before; returns the current at the period's end.
  double Step(std::int32_t reference_counts);
  double Current() const { return current_counts_; }
  bool Saturated() const { return saturated_; }

 private:
  const CurrentLoopModel& model_;
  std::int64_t integral_ = 0;
  std::int32_t filtered_ = 0;
  std::deque<std::int32_t> onTheWay_;
  double current_counts_ = 0.0;
  bool saturated_ = false;
};

// The plant current i_k in counts for k = 0 … samples − 1, the reference 0 before stepSample and
// step_counts from it on. `saturated` tells whether the controller's output reached ±U_lim.
struct SimulatedLoop {
  std::vector<double> current_counts;
  bool saturated = false;
};
SimulatedLoop SimulateCurrentStep(const CurrentLoopModel& model, std::int32_t step_counts, std::size_t stepSample,
                                  std::size_t samples);

// Whether every pole of the loop, linearised (Kp = KPI·2^SFTKPI / 2^15, Ki = KII·2^SFTKII / 2^15,
// the filter, the delay and the plant), lies strictly inside the unit circle.
bool IsCurrentLoopStable(const CurrentLoopModel& model);

// The current step that the setup's register gains give, as CurrentLoopModelOf describes it.
// Samples every current-loop period from 0 to duration_s; the reference steps from 0 to step_A
// (in whole counts, truncated as the test hands its current to the drive) at stepTime_s; the
// metrics are taken against that reference.
struct PredictedStep {
  std::vector<double> time_s;
  std::vector<double> current_A;
  bool stable = true;      // false when the loop's response grows without bound (no samples either
                           // when the setup lacks a parameter of the model)
  bool saturated = false;  // the controller's output reached its limit: the figures are not the
                           // linear loop's alone
  StepMetrics metrics{};
};
PredictedStep PredictCurrentStep(CMC_Setup& setup, double step_A, double stepTime_s, double duration_s);
// The same for a step given in the counts handed to the drive (saturated to 16 bits), so that a
// caller that holds them exactly does not lose one to a round trip through amperes.
PredictedStep PredictCurrentStepOfCounts(CMC_Setup& setup, std::int32_t step_counts, double stepTime_s,
                                         double duration_s);

}  // namespace kestrel
