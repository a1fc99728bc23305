// The speed loop's predicted answer, worked out by hand on loops small enough to follow: the
// counter's change per period is the mean speed over it, so a current held for a period shows
// half its effect at the next sample.
#include <gtest/gtest.h>

#include "compute/speed_response.h"

namespace kestrel {
namespace {

struct ResponseCase {
  const char* name;
  SpeedLoopModel model;
  std::vector<double> reference;  // per period, in speed units (× 65536 for the 16.16 words)
  std::vector<double> speed;
};

constexpr double kNoLimit = 1e9;
SpeedLoopModel Proportional() { return {.kp = 2.0, .integralLimit = kNoLimit, .outputLimit = kNoLimit, .plantGain = 0.25}; }

// A mean of two at the controller's output or on the speed it measures.
SpeedLoopModel WithFilter(bool onMeasuredSpeed) {
  SpeedLoopModel model = Proportional();
  (onMeasuredSpeed ? model.measuredSpeedFilters : model.currentReferenceFilters).push_back({0.5, 0.5, 0.0, 0.0, 0.0});
  return model;
}

// Current loop: P of 1 (16384 · 2 / 32768), no integral, the voltage one period late, a plant
// that is the voltage itself (pole 0, gain 1); two current periods per speed period.
SpeedLoopModel OverCurrentLoop() {
  SpeedLoopModel model = Proportional();
  model.currentLoop = CurrentLoopModel{16384, 1, 0, 0, 32767, 32767, 0.0, 1.0, 1, 1e-4};
  model.currentPeriodsPerSample = 2;
  return model;
}

class SpeedResponse : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(SpeedResponse, FollowsTheLoopPeriodByPeriod) {
  const ResponseCase& c = GetParam();
  std::vector<double> reference16;
  for (const double r : c.reference) reference16.push_back(r * 65536.0);
  EXPECT_EQ(PredictSpeedResponse(c.model, reference16), c.speed);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, SpeedResponse,
    ::testing::Values(
        // b·Kp = 0.5 on the whole count 100 of 100.5: u = 200, 150, 62.5; w = 50, 87.5, 103.125.
        ResponseCase{"proportional", Proportional(), {100.5, 100.5, 100.5, 100.5}, {0, 25, 68.75, 95.3125}},
        // Kp = 0, Ki = 1, b = 0.25: I = 100, 187.5 → w = 25, 71.875.
        ResponseCase{"integral", {.ki = 1.0, .integralLimit = kNoLimit, .outputLimit = kNoLimit, .plantGain = 0.25},
                     {100, 100, 100}, {0, 12.5, 48.4375}},
        // The output limit 10 lets the speed climb by b·10 = 2.5 a period; the integral limit 4 caps I.
        ResponseCase{"limited", {.kp = 2.0, .ki = 1.0, .integralLimit = 4.0, .outputLimit = 10.0, .plantGain = 0.25},
                     {100, 100, 100}, {0, 1.25, 3.75}},
        // The acceleration feed-forward alone: 4 × the reference's change of 8, then of 0.
        ResponseCase{"feed_forward", {.kffa = 4.0, .integralLimit = kNoLimit, .outputLimit = kNoLimit, .plantGain = 0.5},
                     {8, 8, 8}, {0, 8, 16}},
        // The mean of two outputs to the current loop: 200 → 100, then (175 + 200) / 2.
        ResponseCase{"current_reference_filter", WithFilter(false), {100, 100, 100}, {0, 12.5, 48.4375}},
        // The mean of two counter changes seen by the controller: 25 → 12.5, then (71.875 + 25) / 2.
        ResponseCase{"measured_speed_filter", WithFilter(true), {100, 100, 100}, {0, 12.5, 48.4375}},
        // i_ref 200: the current follows one current period late (0, 200), so the shaft gets b/2 ·
        // the mean 100 in the second half; then i_ref 193: 200, −7 (the error's P of 1).
        ResponseCase{"current_loop", OverCurrentLoop(), {100, 100, 100}, {0, 3.125, 34.265625}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ProfileReference, AddsEachSegmentsSlopeForItsCount) {
  ReferenceProfile profile;
  profile.segments = {ProfileSegment{2, 65536}, ProfileSegment{1, 32768}, ProfileSegment{0, 7},
                      ProfileSegment{1, -163840}};
  EXPECT_EQ(ProfileReference16(profile), (std::vector<double>{65536, 131072, 163840, 0}));
}

}  // namespace
}  // namespace kestrel
