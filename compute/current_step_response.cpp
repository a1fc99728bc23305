#include "compute/current_step_response.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "compute/derivation_rule.h"
#include "compute/scale_functions.h"

namespace kestrel {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// K·x·2^s / 2^15 in 64 bits, the product shifted right arithmetically (toward minus infinity).
std::int64_t MulShift(std::int32_t gain, std::int32_t shift, std::int64_t x) {
  const std::int64_t product = static_cast<std::int64_t>(gain) * x;
  const int net = 15 - shift;
  if (net >= 0) return product >> net;
  return product * (std::int64_t{1} << -net);
}

std::int32_t SaturateInt16(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, -32768, 32767));
}

std::int32_t Register(RuleInputs& in, std::string_view name) {
  return static_cast<std::int32_t>(std::lround(in.Internal(name)));
}

// Polynomials in z, highest power first.
using Polynomial = std::vector<double>;

Polynomial Multiply(const Polynomial& p, const Polynomial& q) {
  Polynomial product(p.size() + q.size() - 1, 0.0);
  for (std::size_t i = 0; i < p.size(); ++i) {
    for (std::size_t j = 0; j < q.size(); ++j) product[i + j] += p[i] * q[j];
  }
  return product;
}

Polynomial Add(Polynomial p, Polynomial q) {
  if (p.size() < q.size()) std::swap(p, q);
  const std::size_t offset = p.size() - q.size();
  for (std::size_t j = 0; j < q.size(); ++j) p[offset + j] += q[j];
  return p;
}

// The Schur–Cohn reduction: every root lies strictly inside the unit circle when, step by step,
// the constant term is smaller in magnitude than the leading one and the polynomial
// (a0·p(z) − an·p*(z)) / z, of one degree less, passes the same test.
bool RootsInsideUnitCircle(Polynomial p) {
  while (p.size() > 1) {
    const double lead = p.front();
    const double last = p.back();
    if (!(std::fabs(last) < std::fabs(lead))) return false;
    Polynomial reduced(p.size() - 1);
    for (std::size_t i = 0; i + 1 < p.size(); ++i) reduced[i] = lead * p[i] - last * p[p.size() - 1 - i];
    p = std::move(reduced);
  }
  return true;
}

// The index of the first sample at or after the step.
std::size_t FirstAfter(std::span<const double> time_s, double stepTime_s) {
  const double tolerance = 1e-9 * std::max(1.0, std::fabs(stepTime_s));
  return static_cast<std::size_t>(
      std::lower_bound(time_s.begin(), time_s.end(), stepTime_s - tolerance) - time_s.begin());
}

// The mean of the sample and its neighbours (those that exist): the peak of a measured current
// read through its noise, so that one noisy sample does not make an overshoot.
double PeakWindow(std::span<const double> value, std::size_t k, std::size_t count) {
  const std::size_t from = k > 0 ? k - 1 : k;
  const std::size_t to = std::min(count, k + 2);
  double sum = 0.0;
  for (std::size_t j = from; j < to; ++j) sum += value[j];
  return sum / static_cast<double>(to - from);
}

}  // namespace

StepMetrics MeasureStepResponse(std::span<const double> time_s, std::span<const double> value, double stepTime_s,
                                double final_value) {
  const std::size_t count = std::min(time_s.size(), value.size());
  const std::size_t first = FirstAfter(time_s.first(count), stepTime_s);
  if (final_value == 0.0 || first >= count) return {kNaN, kNaN, kNaN};

  // In shares of the final value, so that a step downwards reads like one upwards.
  const auto share = [&](std::size_t k) { return value[k] / final_value; };
  double rise10_s = kNaN;
  double rise_s = kNaN;
  double peak = share(first);
  std::size_t lastOutside = count;
  for (std::size_t k = first; k < count; ++k) {
    const double y = share(k);
    if (std::isnan(rise10_s) && y >= 0.1) rise10_s = time_s[k];
    if (std::isnan(rise_s) && !std::isnan(rise10_s) && y >= 0.9) rise_s = time_s[k] - rise10_s;
    peak = std::max(peak, PeakWindow(value, k, count) / final_value);
    if (std::fabs(y - 1.0) > 0.05) lastOutside = k;
  }
  const double overshoot_pct = std::max(0.0, (peak - 1.0) * 100.0);
  double settling_s = 0.0;
  if (lastOutside == count - 1) {
    settling_s = kNaN;
  } else if (lastOutside < count) {
    settling_s = time_s[lastOutside] - stepTime_s;
  }
  return {rise_s, overshoot_pct, settling_s};
}

std::optional<CurrentLoopModel> CurrentLoopModelOf(CMC_Setup& setup) {
  RuleInputs in(&setup);
  CurrentLoopModel model;
  model.kpi = Register(in, "KPI");
  model.sftkpi = Register(in, "SFTKPI");
  model.kii = Register(in, "KII");
  model.sftkii = Register(in, "SFTKII");
  model.voltageLimit = std::max(0, 32767 - Register(in, "SATPWM"));
  model.filterQ = Register(in, "FILTERQ");
  const double r = in.Base("R");
  const double l = in.Base("L");
  const bool delta = in.Code("MotorPhaseConnectionType") == 1;
  in.Need("Vdc");
  in.Need("ImaxPS");
  in.Need("CLPER");
  in.Need("PWMPER");
  in.Need("DSP_freq");
  if (!in.Complete()) return std::nullopt;
  // Shifts beyond what the loop's 64-bit arithmetic holds come only from a damaged setup: no model.
  constexpr std::int32_t kLowestShift = -16, kHighestShift = 30;
  for (const std::int32_t shift : {model.sftkpi, model.sftkii}) {
    if (shift < kLowestShift || shift > kHighestShift) return std::nullopt;
  }

  // A delta winding acts as its star equivalent R/3, L/3: the same time constant, a third of
  // the resistance.
  const double starResistance = delta ? r / 3.0 : r;
  model.period_s = GetCurrentLoopPeriod(&setup);
  model.plantPole = std::exp(-model.period_s * r / l);
  model.plantGain =
      GetCurrentScale(&setup) * (1.0 - model.plantPole) / (starResistance * GetSinusoidalVoltageScale(&setup));
  return model;
}

CurrentLoopStepper::CurrentLoopStepper(const CurrentLoopModel& model)
    : model_(model), onTheWay_(static_cast<std::size_t>(std::max(0, model.delay_periods)), 0) {}

double CurrentLoopStepper::Step(std::int32_t reference_counts) {
  const std::int64_t limit = model_.voltageLimit;
  const std::int32_t measured = SaturateInt16(std::llround(current_counts_));
  const std::int32_t error = SaturateInt16(static_cast<std::int64_t>(reference_counts) - measured);
  integral_ = std::clamp(integral_ + MulShift(model_.kii, model_.sftkii + 15, error), -(limit << 15), limit << 15);
  const std::int64_t unlimited = MulShift(model_.kpi, model_.sftkpi, error) + (integral_ >> 15);
  const auto output = static_cast<std::int32_t>(std::clamp(unlimited, -limit, limit));
  saturated_ = saturated_ || unlimited > limit || unlimited < -limit;
  if (model_.filterQ >= 32767) {
    filtered_ = output;
  } else {
    filtered_ += static_cast<std::int32_t>((static_cast<std::int64_t>(model_.filterQ) * (output - filtered_)) >> 15);
  }
  onTheWay_.push_back(filtered_);
  const std::int32_t applied = onTheWay_.front();
  onTheWay_.pop_front();
  current_counts_ = model_.plantPole * current_counts_ + model_.plantGain * applied;
  return current_counts_;
}

SimulatedLoop SimulateCurrentStep(const CurrentLoopModel& model, std::int32_t step_counts, std::size_t stepSample,
                                  std::size_t samples) {
  SimulatedLoop result;
  result.current_counts.reserve(samples);
  CurrentLoopStepper loop(model);
  for (std::size_t k = 0; k < samples; ++k) {
    result.current_counts.push_back(loop.Current());
    loop.Step(k >= stepSample ? step_counts : 0);
  }
  result.saturated = loop.Saturated();
  return result;
}

bool IsCurrentLoopStable(const CurrentLoopModel& model) {
  const double kp = std::ldexp(model.kpi, model.sftkpi) / 32768.0;
  const double ki = std::ldexp(model.kii, model.sftkii) / 32768.0;
  // Controller: Kp + Ki·z / (z − 1) (the integral takes the error before it is used).
  Polynomial numerator = ki != 0.0 ? Polynomial{kp + ki, -kp} : Polynomial{kp};
  Polynomial denominator = ki != 0.0 ? Polynomial{1.0, -1.0} : Polynomial{1.0};
  if (model.filterQ < 32767) {
    const double f = model.filterQ / 32768.0;
    numerator = Multiply(numerator, {f, 0.0});
    denominator = Multiply(denominator, {1.0, -(1.0 - f)});
  }
  Polynomial delay(static_cast<std::size_t>(std::max(0, model.delay_periods)) + 1, 0.0);
  delay.front() = 1.0;
  denominator = Multiply(Multiply(denominator, delay), {1.0, -model.plantPole});
  numerator = Multiply(numerator, {model.plantGain});
  return RootsInsideUnitCircle(Add(denominator, numerator));
}

PredictedStep PredictCurrentStep(CMC_Setup& setup, double step_A, double stepTime_s, double duration_s) {
  const double counts = std::trunc(step_A * GetCurrentScale(&setup));
  const std::int32_t step_counts =
      std::isnan(counts) ? 0 : static_cast<std::int32_t>(std::clamp(counts, -32768.0, 32767.0));
  return PredictCurrentStepOfCounts(setup, step_counts, stepTime_s, duration_s);
}

PredictedStep PredictCurrentStepOfCounts(CMC_Setup& setup, std::int32_t step_counts, double stepTime_s,
                                         double duration_s) {
  PredictedStep prediction;
  const std::optional<CurrentLoopModel> model = CurrentLoopModelOf(setup);
  // More samples than a plot can use (or a duration that is no number) are refused like a
  // setup without a loop.
  constexpr double kMostSamples = 1e6;
  if (!model || !(model->period_s > 0.0) || !(duration_s >= 0.0 && duration_s / model->period_s <= kMostSamples)) {
    prediction.stable = false;
    prediction.metrics = {kNaN, kNaN, kNaN};
    return prediction;
  }
  const double iscale = GetCurrentScale(&setup);
  step_counts = SaturateInt16(step_counts);
  const auto stepSample = static_cast<std::size_t>(std::max(0.0, std::ceil(stepTime_s / model->period_s - 1e-9)));
  const auto samples = static_cast<std::size_t>(std::max(0.0, std::floor(duration_s / model->period_s + 1e-9))) + 1;
  const SimulatedLoop loop = SimulateCurrentStep(*model, step_counts, stepSample, samples);

  for (std::size_t k = 0; k < samples; ++k) {
    prediction.time_s.push_back(static_cast<double>(k) * model->period_s);
    prediction.current_A.push_back(loop.current_counts[k] / iscale);
  }
  prediction.stable = IsCurrentLoopStable(*model);
  prediction.saturated = loop.saturated;
  prediction.metrics =
      MeasureStepResponse(prediction.time_s, prediction.current_A, stepTime_s, step_counts / iscale);
  return prediction;
}

}  // namespace kestrel
