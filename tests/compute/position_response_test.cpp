// The position loop's predicted answer, worked out by hand over loops small enough to follow: an
// ideal current loop under a rigid load of b = 0.5 (direct) or a P speed loop (cascade); the
// drive's output is a whole count.
#include <gtest/gtest.h>

#include "compute/position_response.h"

namespace kestrel {
namespace {

struct PositionCase {
  const char* name;
  PositionLoopModel position;
  double speedKp;  // 0: direct position control on b = 0.5; else the cascade over Kp, b = 0.25
  std::vector<double> reference;
  std::vector<double> counter;
};

PositionLoopModel Pid(double kp, double kd, double share, double kffs, bool cascade) {
  PositionLoopModel model;
  model.kp = kp;
  model.kd = kd;
  model.derivativeShare = share;
  model.kffs = kffs;
  model.integralLimit = model.outputLimit = 1e9;
  model.cascade = cascade;
  return model;
}

class PositionResponse : public ::testing::TestWithParam<PositionCase> {};

TEST_P(PositionResponse, FollowsTheLoopsPeriodByPeriod) {
  const PositionCase& c = GetParam();
  SpeedLoopModel speed;
  speed.kp = c.speedKp;
  speed.integralLimit = speed.outputLimit = 1e9;
  speed.plantGain = c.speedKp != 0.0 ? 0.25 : 0.5;
  std::vector<double> reference16;
  for (const double r : c.reference) reference16.push_back(r * 65536.0);
  EXPECT_EQ(PredictPositionResponse(c.position, speed, reference16), c.counter);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, PositionResponse,
    ::testing::Values(
        // Current 10, then the whole count of 7.5: speed 5, 8.5; counter 2.5, 9.25.
        PositionCase{"direct", Pid(1.0, 0.0, 1.0, 0.0, false), 0.0, {10, 10, 10}, {0, 2.5, 9.25}},
        // D = 0.5 (10 − 0 − 0) = 5, then 5 + 0.5 (−2.5 − 5) = 1.25: currents 10, whole 2.
        PositionCase{"filtered_derivative", Pid(0.0, 2.0, 0.5, 0.0, false), 0.0, {10, 10, 10}, {0, 2.5, 8}},
        // The target's move of 4 counts, × 2, then none.
        PositionCase{"speed_feed_forward", Pid(0.0, 0.0, 1.0, 2.0, false), 0.0, {4, 4, 4}, {0, 2, 6}},
        // Speed references 50 and the whole 43 of 43.75; the speed loop's P of 2 on what it measures
        // (0, then 12.5) gives currents 100, 61.
        PositionCase{"cascade", Pid(0.5, 0.0, 1.0, 0.0, true), 2.0, {100, 100, 100}, {0, 12.5, 45.125}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel
