// The position controller worked by hand: the filtered derivative, the integral clamp, the output
// clamp and the speed feed-forward.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/position_channel.h"

namespace drivesim::control {
namespace {

struct Sample {
  std::int32_t target, position;
  std::int64_t derivative, integral;
  std::int32_t out;
};

void RunSamples(const PositionLoopGains& gains, PositionLoopState state, const std::vector<Sample>& samples) {
  for (std::size_t k = 0; k < samples.size(); ++k) {
    SCOPED_TRACE("sample " + std::to_string(k + 1));
    EXPECT_EQ(StepPositionLoop(gains, state, samples[k].target, samples[k].position), samples[k].out);
    EXPECT_EQ(state.derivative, samples[k].derivative);
    EXPECT_EQ(state.integral, samples[k].integral);
  }
}

// Kp 16384/0 = 0.5, Ki 8192/0 = 0.25, Kd 16384/1 = 1, filter_D 16384/32767 ≈ 0.5,
// integral limit 100 (3 276 800 in I32), output limit 300. Start at target 0, position 0.
//  k  target pos  e    Δe    D                          I32 (>>15)                    P    out
//  1  200    0    200  200   0 + 100 = 100              1 638 400 (50)                100  250
//  2  200    0    200  0     100 − 50 = 50              3 276 800 (100, the limit)    100  250
//  3  200    0    200  0     50 − 25 = 25               4 915 200 → 3 276 800         100  225
//  4  600    0    600  400   25 + 187 (187.5) = 212     clamped (100)                 300  612 → 300
//  5  600    500  100  −500  212 − 356 = −144           clamped (100)                 50   6
//  6  600    603  −3   −103  −144 + 20 (20.5) = −124    3 252 224 (99.25 → 99)        −2   −27
TEST(PositionLoop, FilteredDerivativeAndClampsWorkedByHand) {
  const PositionLoopGains gains{.kpp = 16384, .sftkpp = 0, .kip = 8192, .sftkip = 0, .kdp = 16384, .sftkdp = 1,
                                .kdfp = 16384, .integralLimit = 100, .outputLimit = 300};
  RunSamples(gains, StartPositionLoop(0, 0),
             {{200, 0, 100, 1'638'400, 250},
              {200, 0, 50, 3'276'800, 250},
              {200, 0, 25, 3'276'800, 225},
              {600, 0, 212, 3'276'800, 300},
              {600, 500, -144, 3'276'800, 6},
              {600, 603, -124, 3'252'224, -27}});
}

// KDFP 32767 passes the change of the error unfiltered: 32767·200 >> 15 would give 199, not 200.
TEST(PositionLoop, UnfilteredDerivativeAtFullScale) {
  const PositionLoopGains gains{.kdp = 16384, .sftkdp = 1};
  RunSamples(gains, StartPositionLoop(0, 0), {{200, 0, 200, 0, 200}, {200, 0, 0, 0, 0}, {150, 0, -50, 0, -50}});
}

// Speed feed-forward KFFS 16384/1 = 1 on the target's change per sample, only with ACR bit 14;
// the position follows the target so that only the feed-forward acts. The target's change is
// taken across the 32-bit wrap.
TEST(PositionLoop, SpeedFeedForwardFollowsTheTarget) {
  struct Case {
    bool enabled;
    std::int32_t from, to;
    std::int32_t out;
  };
  const std::vector<Case> cases = {
      {true, 1000, 1010, 10}, {false, 1000, 1010, 0}, {true, 1000, 993, -7}, {true, INT32_MAX - 4, INT32_MIN + 5, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " → " + std::to_string(c.to) + (c.enabled ? " with" : " without"));
    const PositionLoopGains gains{.kffs = 16384, .sftsffw = 1, .speedFeedForward = c.enabled};
    PositionLoopState state = StartPositionLoop(c.from, c.from);
    EXPECT_EQ(StepPositionLoop(gains, state, c.to, c.to), c.out);
  }
}

// The position-output slot (gain 2: b0 = 2^30, SF 4) acts on the controller's output; the
// measured-speed slot (gain 0) belongs to the speed loop and leaves it alone. Kp 16384/1 = 1.
TEST(PositionLoop, ChannelFiltersTheOutputWithItsOwnSlots) {
  BiquadBank filters;
  filters.counts = {.positionOutput = 1, .currentReference = 0, .measuredSpeed = 1};
  filters.slots = {{.b0 = std::int64_t{1} << 30, .sf = 4}, {}};
  PositionChannel channel({.kpp = 16384, .sftkpp = 1}, filters, 0, 0);
  EXPECT_EQ(channel.Step(5, 0), 10);
  EXPECT_EQ(channel.Step(5, 8), -6);
}

}  // namespace
}  // namespace drivesim::control
