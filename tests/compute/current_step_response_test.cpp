#include "compute/current_step_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "scaled_setup.h"

namespace kestrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<double> Times(std::size_t count, double period_s) {
  std::vector<double> time_s;
  for (std::size_t k = 0; k < count; ++k) time_s.push_back(static_cast<double>(k) * period_s);
  return time_s;
}

void ExpectFigure(double actual, double expected) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << actual;
  } else {
    EXPECT_NEAR(actual, expected, 1e-9);
  }
}

// One sample per millisecond. A peak before the step does not count; 1.2 held three samples is
// the peak; 10 % at 3 ms, 90 % at 5 ms; 0.9 at 10 ms is the last sample outside 1 ± 0.05. One
// sample of 1.3 among ones is noise: read with its neighbours it makes 10 %.
TEST(StepFigures, RiseOvershootAndSettlingFromTheSamples) {
  struct Case {
    std::vector<double> value;
    double stepTime_s, final_value;
    StepMetrics expected;
  };
  for (const Case& c : {Case{{5, 0, 0, 0.1, 0.5, 0.9, 1.2, 1.2, 1.2, 0.97, 0.9, 0.96, 1}, 2e-3, 1.0, {2e-3, 20.0, 8e-3}},
                        Case{{0, 1, 1, 1.3, 1, 1}, 0.0, 1.0, {0.0, 10.0, 3e-3}},
                        Case{{0, -0.5, -1.1, -1.1, -1.1, -1.0}, 0.0, -1.0, {1e-3, 10.0, 4e-3}},
                        Case{{0, 0.3, 0.6, 0.8, 0.85}, 0.0, 1.0, {kNaN, 0.0, kNaN}},
                        Case{{0, 1, 1}, 0.0, 0.0, {kNaN, kNaN, kNaN}}, Case{{0, 1, 1}, 5e-3, 1.0, {kNaN, kNaN, kNaN}}}) {
    SCOPED_TRACE(::testing::PrintToString(c.value));
    const StepMetrics m = MeasureStepResponse(Times(c.value.size(), 1e-3), c.value, c.stepTime_s, c.final_value);
    ExpectFigure(m.rise_s, c.expected.rise_s);
    ExpectFigure(m.overshoot_pct, c.expected.overshoot_pct);
    ExpectFigure(m.settling_s, c.expected.settling_s);
  }
}

// Kp = Ki = 16384 / 2^15 = 0.5: the controller's zero Kp / (Kp + Ki) cancels the plant pole
// a = 0.5, leaving the loop gain K / (z − 1) with K = b·(Kp + Ki) = b, times z^−1 with the delay.
CurrentLoopModel HandModel(double loopGain, int delay, std::int32_t filterQ = 32767) {
  return {.kpi = 16384, .kii = 16384, .filterQ = filterQ, .plantPole = 0.5, .plantGain = loopGain,
          .delay_periods = delay, .period_s = 1e-4};
}

// K = 0.5, 16000 counts. Without delay y_k+1 = y_k/2 + 8000: first order, never above 16000.
// With it the poles are 0.5 ± 0.5j; the outputs 16000, 24000, 24000, 20000, 16000, 14000 give
// 0, 0, 0.5, 1, 1.25, 1.25, 1.125, 1 × 16000, the peak read over three samples 1.2083.
TEST(CurrentLoopByHand, FirstOrderWithoutDelaySecondOrderWithIt) {
  for (const auto& [delay, head, overshoot_pct] :
       {std::tuple{0, std::vector<double>{0, 8000, 12000, 14000, 15000, 15500, 15750, 15875}, 0.0},
        std::tuple{1, std::vector<double>{0, 0, 8000, 16000, 20000, 20000, 18000, 16000}, 100.0 * (3.625 / 3.0 - 1.0)}}) {
    const SimulatedLoop loop = SimulateCurrentStep(HandModel(0.5, delay), 16000, 0, 200);
    EXPECT_EQ(std::vector<double>(loop.current_counts.begin(), loop.current_counts.begin() + 8), head);
    EXPECT_NEAR(MeasureStepResponse(Times(200, 1e-4), loop.current_counts, 0.0, 16000.0).overshoot_pct, overshoot_pct, 1e-9);
    EXPECT_NEAR(loop.current_counts.back(), 16000.0, 0.5);
  }
}

// Without delay the pole is 1 − K (stable for 0 < K < 2); with one period of delay |z|² = K
// (stable below 1). The output filter f·z / (z − 1 + f) (FILTERQ 8192: f = 1/4) leaves
// (z − 1)(z − 1 + f) + f·K, |z|² = 1 − f + f·K: the same bound; FILTERQ 0 holds the output at 0.
// The simulated integer loop agrees: a stable loop settles, an unstable one does not.
TEST(CurrentLoopByHand, PolesInsideTheUnitCircleAgreeWithTheSimulatedLoop) {
  for (const auto& [gain, delay, filterQ, stable] :
       {std::tuple{0.5, 1, 32767, true}, {0.9, 1, 32767, true}, {1.5, 1, 32767, false}, {1.5, 0, 32767, true},
        {2.5, 0, 32767, false}, {0.6, 1, 8192, true}, {1.2, 1, 8192, false}, {0.5, 1, 0, false}}) {
    SCOPED_TRACE(::testing::Message() << "K " << gain << ", delay " << delay << ", FILTERQ " << filterQ);
    EXPECT_EQ(IsCurrentLoopStable(HandModel(gain, delay, filterQ)), stable);
    const SimulatedLoop loop = SimulateCurrentStep(HandModel(gain, delay, filterQ), 1000, 0, 3000);
    const auto near = [&](std::size_t fromEnd) { return std::fabs(loop.current_counts.end()[-fromEnd] - 1000.0) < 2.0; };
    EXPECT_EQ(near(1) && near(7) && !loop.saturated, stable);
  }
}

// The default drive and motor: a = e^−0.075, b = 3273.6·(1 − a) / (0.9·1241.17). A drive's own
// discrete model of this loop with the gains of a 2000 rad/s tuning peaks at 5624 counts on the
// sixth sample after a 1.5 A step (4910 counts). The shipped gains, tuned for 1800 rad/s, are stable.
class SetupPrediction : public test_support::ScaledDefaultSetup {};

TEST_F(SetupPrediction, PeaksWhereTheDrivesModelPeaks) {
  EXPECT_TRUE(PredictCurrentStep(setup, 1.5, 1e-3, 10e-3).stable);
  Set({{"KPI", 24226}, {"SFTKPI", 1}, {"KII", 5963}, {"SFTKII", 0}});
  const PredictedStep step = PredictCurrentStep(setup, 1.5, 1e-3, 10e-3);
  ASSERT_EQ(step.time_s.size(), 101u);
  EXPECT_TRUE(step.stable && !step.saturated);
  const auto peak = std::max_element(step.current_A.begin(), step.current_A.end());
  EXPECT_EQ(peak - step.current_A.begin(), 16);
  EXPECT_NEAR(*peak * 3273.6, 5624.0, 0.5);
  EXPECT_NEAR(step.current_A.back() * 3273.6, 4910.0, 0.5);

  // A delta winding of 2.7 Ω, 3.6 mH acts as its star equivalent of 0.9 Ω, 1.2 mH.
  Set({{"MotorPhaseConnectionType", 1}, {"R", 2.7}, {"L", 3.6e-3}});
  const PredictedStep delta = PredictCurrentStep(setup, 1.5, 1e-3, 10e-3);
  for (std::size_t k = 0; k < step.current_A.size(); ++k) EXPECT_NEAR(delta.current_A[k], step.current_A[k], 1e-9);

  // No model from a damaged setup or for a duration that is no number.
  EXPECT_TRUE(PredictCurrentStep(setup, 1.5, 1e-3, std::nan("")).time_s.empty());
  Set({{"SFTKPI", 40}});
  EXPECT_TRUE(PredictCurrentStep(setup, 1.5, 1e-3, 5e-3).time_s.empty());
  Set({{"SFTKPI", 1}});
  setup.RemoveParameter("FILTERQ");
  EXPECT_TRUE(PredictCurrentStep(setup, 1.5, 1e-3, 5e-3).time_s.empty());
}

// "Tune" at each shipped setup's PB_C (sinusoidal voltage scale, as while the test is open),
// then the register pairs: the predicted step of the test current is stable, overshoots by at
// most 15 % and settles within 3 ms.
class ShippedBandwidth : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedBandwidth, TunesAWellDampedCurrentLoop) {
  const std::string name = GetParam();
  CMC_Setup setup = name == "embedded" ? test_support::Scaled(LoadDefaultSetup()) : test_support::ScaledSetupFile(name);
  ASSERT_NO_FATAL_FAILURE(test_support::TuneCurrentLoop(setup));
  const PredictedStep step = PredictCurrentStep(setup, setup.GetParameterValueInBaseUnit("TestCurrent"), 1e-3, 10e-3);
  EXPECT_TRUE(step.stable && !step.saturated);
  EXPECT_LE(step.metrics.overshoot_pct, 15.0);
  EXPECT_LT(step.metrics.settling_s, 3e-3);
}

INSTANTIATE_TEST_SUITE_P(Setups, ShippedBandwidth,
                         ::testing::Values("embedded", "default", "biss", "dual_loop", "linear", "linear_hall", "minimal",
                                           "resolver", "sincos", "ssi"));

}  // namespace
}  // namespace kestrel
