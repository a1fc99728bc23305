// The position loop's predicted answer by hand, the drive's output a whole count: directly on an
// ideal current loop under b = 0.5, or over a P speed loop of 2 under b = 0.25.
#include <gtest/gtest.h>

#include "compute/position_response.h"

namespace kestrel {
namespace {

struct PositionCase {
  const char* name;
  PositionLoopModel position;
  std::vector<double> reference;
  std::vector<double> counter;
};

constexpr double kNoLimit = 1e9;

class PositionResponse : public ::testing::TestWithParam<PositionCase> {};

TEST_P(PositionResponse, FollowsTheLoopsPeriodByPeriod) {
  const PositionCase& c = GetParam();
  const bool cascade = c.position.cascade;
  const SpeedLoopModel speed{.kp = cascade ? 2.0 : 0.0, .integralLimit = kNoLimit, .outputLimit = kNoLimit, .plantGain = cascade ? 0.25 : 0.5};
  std::vector<double> reference16;
  for (const double r : c.reference) reference16.push_back(r * 65536.0);
  EXPECT_EQ(PredictPositionResponse(c.position, speed, reference16), c.counter);
}


INSTANTIATE_TEST_SUITE_P(
    Loops, PositionResponse,
    ::testing::Values(
        // D = 0.5 (10 − 0 − 0) = 5, then 5 + 0.5 (4.75 − 10 − 5) = −0.125: currents 10 + 2·5 + 0.1·10
        // (the target's move) = 21, then the whole 4 of 4.5; speed 10.5, 12.5.
        PositionCase{"direct_pid", {.kp = 1.0, .kd = 2.0, .derivativeShare = 0.5, .integralLimit = kNoLimit,
                                    .outputLimit = kNoLimit, .kffs = 0.1, .cascade = false},
                     {10, 10, 10}, {0, 5.25, 16.75}},
        // Speed references 50 and the whole 43 of 43.75; the speed loop's P on what it measures
        // (0, then 12.5) gives currents 100, 61.
        PositionCase{"cascade", {.kp = 0.5, .integralLimit = kNoLimit, .outputLimit = kNoLimit},
                     {100, 100, 100}, {0, 12.5, 45.125}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel
