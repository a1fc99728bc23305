// The drive's biquads against the same filters on real numbers, their exact DC gain, and chains
// of slots. The setup's own designer designs the low-pass filters from the bilinear formulas,
// quantises them to c/SF·2^31 and corrects their DC gain, as it does for the drive's registers.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "compute/biquad_designer.h"
#include "control/biquad.h"

namespace drivesim::control {
namespace {

struct RealBiquad {
  double b0, b1, b2, a1, a2;
};

struct Filter {
  std::string name;
  RealBiquad real;            // as designed
  BiquadCoefficients drive;   // as the drive's registers hold it
};

// Low pass of the given order at f times the sample rate.
Filter LowPass(int order, double f, double q = 0.0) {
  CBiquadDesigner designer;
  designer.DesignFilter(order - 1, f, q, 0.0);
  const RealBiquad real{designer.b0, designer.b1, designer.b2, designer.a1, designer.a2};
  designer.QuantizeCoefficients();
  designer.CorrectDcGain();
  const auto word = [](double c) { return static_cast<std::int64_t>(c); };
  return {"low pass " + std::to_string(order) + " at f = " + std::to_string(f) + ", Q = " + std::to_string(q), real,
          {word(designer.b0), word(designer.b1), word(designer.b2), word(designer.a1), word(designer.a2),
           word(designer.SF)}};
}

const std::vector<Filter> kFilters = {LowPass(1, 0.1), LowPass(2, 0.05, 0.7071), LowPass(2, 0.2, 2.0)};

// The largest output error the rounding of one sample can cause: the sum of |h| of 1/A(z).
double RoundingBound(const RealBiquad& r) {
  double h1 = 0, h2 = 0, sum = 0;
  for (int k = 0; k < 2000; ++k) {
    const double h = (k == 0 ? 1.0 : 0.0) - r.a1 * h1 - r.a2 * h2;
    sum += std::abs(h);
    h2 = h1;
    h1 = h;
  }
  return sum;
}

TEST(Biquad, FollowsTheRealFilterWithinItsQuantisation) {
  for (const Filter& fc : kFilters) {
    SCOPED_TRACE(fc.name);
    const BiquadCoefficients& c = fc.drive;
    const RealBiquad& r = fc.real;
    const double bound = RoundingBound(r) + 1.0;
    BiquadState state;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (int k = 0; k < 400; ++k) {
      // a step of 10000 counts with a 20-sample, 3000-count sine riding on it
      const auto x = static_cast<std::int32_t>(10000 + std::lround(3000 * std::sin(0.1 * std::acos(-1.0) * k)));
      const double y = r.b0 * x + r.b1 * x1 + r.b2 * x2 - r.a1 * y1 - r.a2 * y2;
      x2 = x1, x1 = x, y2 = y1, y1 = y;
      ASSERT_NEAR(StepBiquad(c, state, x), y, bound) << "sample " << k;
    }
  }
}

// A DC-corrected filter, settled at a constant input, returns it exactly, sample after sample.
TEST(Biquad, DcCorrectedFilterHasUnitDcGainExactly) {
  for (const Filter& fc : kFilters) {
    const BiquadCoefficients& c = fc.drive;
    ASSERT_EQ((c.b0 + c.b1 + c.b2 - c.a1 - c.a2) * c.sf, std::int64_t{1} << 31) << fc.name;
    for (const std::int32_t level : {1, -1, 169, -32768, 32767, 1'000'000}) {
      SCOPED_TRACE(std::string(fc.name) + ", level " + std::to_string(level));
      BiquadState state{level, level, level, level};
      for (int k = 0; k < 50; ++k) ASSERT_EQ(StepBiquad(c, state, level), level);
    }
  }
}

// Two slots in series act as the first filter then the second; a chain whose states do not match
// its slots is refused.
TEST(Biquad, ChainRunsItsSlotsInOrder) {
  const std::vector<BiquadCoefficients> slots = {kFilters[0].drive, kFilters[1].drive};
  std::vector<BiquadState> chain(2);
  BiquadState first, second;
  for (int k = 0; k < 50; ++k) {
    const std::int32_t x = k < 10 ? 0 : 5000;
    EXPECT_EQ(StepBiquadChain(slots, chain, x), StepBiquad(slots[1], second, StepBiquad(slots[0], first, x)));
  }
  std::vector<BiquadState> tooFew(1);
  EXPECT_THROW(StepBiquadChain(slots, tooFew, 0), std::invalid_argument);
}

}  // namespace
}  // namespace drivesim::control
