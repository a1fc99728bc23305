// The drive's integer arithmetic and its current PI, against values worked by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "control/current_loop.h"
#include "control/fixed_point.h"

namespace drivesim::control {
namespace {

TEST(MulShift, RoundsTowardMinusInfinity) {
  EXPECT_EQ(MulShift(24226, 1, 1000), 1478);    // floor(48 452 000 / 32768) = floor(1478.64)
  EXPECT_EQ(MulShift(24226, 1, -1000), -1479);  // floor(−1478.64)
  EXPECT_EQ(MulShift(5963, 0, 1), 0);
  EXPECT_EQ(MulShift(32767, 16, 32767), 32767LL * 32767 * 2);
  EXPECT_EQ(MulShift(32767, -3, -32768), -4096);  // −32767·32768/2^18 = −4095.875 → −4096
  const std::int64_t extreme = MulShift(32767, 15, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(extreme, -32767LL * 2147483648LL);
}

TEST(Trigonometry, QuarterTurnsAreExactAndTheTableIsQ15) {
  EXPECT_EQ(SinCosQ15(0).sin, 0);
  EXPECT_EQ(SinCosQ15(0).cos, 32768);
  EXPECT_EQ(SinCosQ15(16384).sin, 32768);
  EXPECT_EQ(SinCosQ15(-16384).sin, -32768);
  EXPECT_EQ(SinCosQ15(-16383).sin, -32768);  // the rest angle lies in the −90° entry
  EXPECT_EQ(SinCosQ15(-32768).cos, -32768);
  EXPECT_EQ(SinCosQ15(8192).sin, 23170);     // round(32768·sin 45°)
}

// A vector along phase A (a = I, b = c = −I/2) is α = I, β = 0; at the frame angle −90° its q
// component is I.
TEST(Transforms, ClarkeAndParkOfAVectorAlongPhaseA) {
  const TwoAxis ab = Clarke(4910, -2455);
  EXPECT_EQ(ab.x, 4910);
  EXPECT_EQ(ab.y, 0);
  const TwoAxis dq = Park(ab, SinCosQ15(-16383));
  EXPECT_EQ(dq.x, 0);
  EXPECT_EQ(dq.y, 4910);
  const TwoAxis back = InversePark({0, 3264}, SinCosQ15(-16383));
  EXPECT_EQ(back.x, 3264);
  EXPECT_EQ(back.y, 0);
}

// Five steps worked by hand with KPI 16384/SFTKPI 0 (Kp 0.5), KII 8192/SFTKII 0 (Ki 0.25 per
// sample), U_lim 100: I32 accumulates K·e, u = floor(Kp·e) + (I32 >> 15), both clamped.
TEST(CurrentPi, FollowsAHandWorkedSequenceThroughSaturationAndBack) {
  const CurrentLoopGains g{.kpi = 16384, .kii = 8192, .voltageLimit = 100};
  struct Step {
    std::int32_t reference, measured, expectedU;
  };
  const Step steps[] = {
      {100, 0, 75},     // e 100:  P 50, I32 = 819 200 → 25
      {100, 60, 55},    // e 40:   P 20, I32 = 1 146 880 → 35
      {1000, 0, 100},   // e 1000: P 500, I32 clamped to 100·2^15 → u clamped to 100
      {0, 0, 100},      // e 0:    the integrator stays at its limit
      {0, 200, -50},    // e −200: P −100, I32 = 3 276 800 − 1 638 400 → 50 (out of saturation at once)
  };
  CurrentLoopState replay;
  for (const Step& step : steps) {
    EXPECT_EQ(StepCurrentLoop(g, replay, {0, step.reference}, {0, step.measured}).y, step.expectedU)
        << "reference " << step.reference << " measured " << step.measured;
  }
  EXPECT_EQ(replay.integralQ, 50LL << 15);
}

// The error saturates to 16 bits: e = 100 000 − 0 → 32767, u = floor(32767·32767/32768) = 32766.
// The q-axis output filter FILTERQ 16384 halves the step to the new output: u_f += (u − u_f)/2.
TEST(CurrentPi, ErrorSaturatesToSixteenBitsAndTheOutputFilterSmoothsTheQAxis) {
  const CurrentLoopGains wide{.kpi = 32767, .voltageLimit = 1 << 30, .limitD = 1 << 30, .limitQ = 1 << 30};
  CurrentLoopState s;
  EXPECT_EQ(StepCurrentLoop(wide, s, {0, 100000}, {0, 0}).y, 32766);
  const CurrentLoopGains filtered{.kpi = 16384, .voltageLimit = 30000, .filterQ = 16384};
  CurrentLoopState f;
  EXPECT_EQ(StepCurrentLoop(filtered, f, {0, 1000}, {0, 0}).y, 250);   // u 500
  EXPECT_EQ(StepCurrentLoop(filtered, f, {0, 1000}, {0, 0}).y, 375);
}

}  // namespace
}  // namespace drivesim::control
