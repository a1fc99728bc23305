// The speed controller worked by hand through saturation and out of it, its acceleration
// feed-forward and its measuring channel. The closed loop against the linear discrete model is
// the servo cascade's (servo_loop_test), where the speed channel runs with the real current loop.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/speed_channel.h"

namespace drivesim::control {
namespace {

// Kp = Ki = 16384/32768 = 0.5 per sample; integral limit 1000, output limit 1200.
// Reference 1000 counts/sample; the rotor is held for three samples, then released.
//  k  counter  v     e     I32 (>>15)                        P     out
//  1  0        0     1000  16 384 000 (500)                  500   1000
//  2  0        0     1000  32 768 000 (1000, at its limit)   500   1500 → 1200
//  3  0        0     1000  49 152 000 → 32 768 000 (1000)    500   1500 → 1200
//  4  1400     1400  −400  26 214 400 (800)                  −200  600
//  5  2403     1003  −3    26 165 248 (798.5 → 798)          −2    796  (floors, not truncations)
// Without the clamp at k = 3 the integral would hold 1300 at k = 4 and the output 1100.
TEST(SpeedLoop, SaturatesAndRecoversWithoutWindup) {
  const SpeedLoopGains gains{.kps = 16384, .sftkps = 0, .kis = 16384, .sftkis = 0,
                             .integralLimit = 1000, .outputLimit = 1200};
  struct Step {
    std::int32_t speed;
    std::int64_t integral;
    std::int32_t out;
  };
  const std::vector<Step> steps = {{0, 16'384'000, 1000},
                                   {0, 32'768'000, 1200},
                                   {0, 32'768'000, 1200},
                                   {1400, 26'214'400, 600},
                                   {1003, 26'165'248, 796}};
  const std::int64_t reference16 = std::int64_t{1000} << 16;
  SpeedChannel channel(gains, {}, 0, reference16);
  std::int32_t counter = 0;
  for (std::size_t k = 0; k < steps.size(); ++k) {
    SCOPED_TRACE("sample " + std::to_string(k + 1));
    counter += steps[k].speed;
    EXPECT_EQ(channel.Step(reference16, counter), steps[k].out);
    EXPECT_EQ(channel.Controller().integral, steps[k].integral);
  }
}

// A negative reference mirrors the clamps: two held samples at −1000 counts/sample.
TEST(SpeedLoop, ClampsAreSymmetric) {
  const SpeedLoopGains gains{.kps = 16384, .sftkps = 0, .kis = 16384, .sftkis = 0,
                             .integralLimit = 1000, .outputLimit = 1200};
  const std::int64_t reference16 = -(std::int64_t{1000} << 16);
  SpeedLoopState state{0, reference16};
  EXPECT_EQ(StepSpeedLoop(gains, state, reference16, 0), -1000);
  EXPECT_EQ(StepSpeedLoop(gains, state, reference16, 0), -1200);
  EXPECT_EQ(state.integral, -32'768'000);
}

// Feed-forward alone (no PI gains, the rotor following the reference exactly):
// KFFA 16384 with SFTAFFW 3 + SFTKFF 1 is 16384·16/32768 = 8 current counts per count/sample of
// acceleration, the reference's fraction included, rounded down.
TEST(SpeedLoop, AccelerationFeedForwardFromTheFractionalReference) {
  const SpeedLoopGains gains{.kffa = 16384, .sftaffw = 3, .sftkff = 1};
  struct Case {
    std::int64_t from16, to16;
    std::int32_t speed;  // the measured speed equals the reference's integer part
    std::int32_t out;
  };
  const std::vector<Case> cases = {
      {0, 163'840, 2, 20},                  // +2.5 → 20
      {163'840, 114'688, 1, -6},            // 2.5 → 1.75: −0.75 → −6
      {0, 1, 0, 0},                         // 1/65536 → 8/65536, floored to 0
      {1, 0, 0, -1},                        // −8/65536 floors to −1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from16) + " → " + std::to_string(c.to16));
    SpeedLoopState state{0, c.from16};
    EXPECT_EQ(StepSpeedLoop(gains, state, c.to16, c.speed), c.out);
  }
}

// The speed is measured across the counter's 32-bit wrap, then filtered by the measured-speed
// slots before the controller, and the controller's output by the current-reference slots:
// with Kp 16384/1 = 1, a speed filter of gain 1/2 (b0 = 2^29, SF 2: floor(x/2)) and a current
// filter of gain 2 (b0 = 2^30, SF 4), reference 20: v = ±7 → e = 20 − floor(±7/2) → 2·e. The
// position-output slot (gain 0) comes first in the bank and is not the speed loop's.
TEST(SpeedLoop, ChannelMeasuresAcrossTheWrapAndFiltersInOrder) {
  BiquadBank filters;
  filters.counts = {.positionOutput = 1, .currentReference = 1, .measuredSpeed = 1};
  filters.slots = {{}, {.b0 = std::int64_t{1} << 30, .sf = 4}, {.b0 = std::int64_t{1} << 29, .sf = 2}};
  const SpeedLoopGains gains{.kps = 16384, .sftkps = 1};
  const std::int64_t reference16 = std::int64_t{20} << 16;
  SpeedChannel channel(gains, filters, INT32_MAX - 3, reference16);
  EXPECT_EQ(channel.Step(reference16, INT32_MIN + 3), 2 * (20 - 3));
  EXPECT_EQ(channel.Step(reference16, INT32_MAX - 3), 2 * (20 + 4));

  filters.counts.measuredSpeed = 2;
  EXPECT_THROW(SpeedChannel(gains, filters, 0, 0), std::invalid_argument);
}

}  // namespace
}  // namespace drivesim::control
