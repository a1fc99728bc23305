// The speed loop's predicted answer, worked out by hand on loops small enough to follow.
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
        // b·Kp = 0.5: each period halves the error to a held 100.
        ResponseCase{"proportional", {2.0, 0.0, 0.0, 1e9, 1e9, 0.25}, {100, 100, 100, 100}, {0, 50, 75, 87.5}},
        // Kp = 0, Ki = 1, b = 0.25: I = 100, 175, 212.5 → y = 0, 25, 68.75.
        ResponseCase{"integral", {0.0, 1.0, 0.0, 1e9, 1e9, 0.25}, {100, 100, 100}, {0, 25, 68.75}},
        // The output limit 10 lets the speed climb by b·10 = 2.5 a period; the integral limit 4 caps I.
        ResponseCase{"limited", {2.0, 1.0, 0.0, 4.0, 10.0, 0.25}, {100, 100, 100}, {0, 2.5, 5}},
        // The acceleration feed-forward alone: 4 × the reference's change of 8, then of 0.
        ResponseCase{"feed_forward", {0.0, 0.0, 4.0, 1e9, 1e9, 0.5}, {8, 8, 8}, {0, 16, 16}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ProfileReference, AddsEachSegmentsSlopeForItsCount) {
  ReferenceProfile profile;
  profile.segments = {ProfileSegment{2, 65536}, ProfileSegment{1, 32768}, ProfileSegment{0, 7},
                      ProfileSegment{1, -163840}};
  EXPECT_EQ(ProfileReference16(profile), (std::vector<double>{65536, 131072, 163840, 0}));
}

}  // namespace
}  // namespace kestrel
