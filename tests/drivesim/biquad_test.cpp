// The drive's biquads against the same filters on real numbers, their exact DC gain after the
// DC correction, and the packing of the slots by place. The coefficients are designed here from
// the bilinear low-pass formulas, quantised to c/SF·2^31 and DC-corrected as the setup does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/biquad.h"

namespace drivesim::control {
namespace {

struct RealBiquad {
  double b0, b1, b2, a1, a2;
};

// K = tan(π·f) with f the cut-off over the sample rate.
// First order: b0 = b1 = K/(K + 1), a1 = (K − 1)/(K + 1).
// Second order: norm = 1/(1 + K/Q + K²), b0 = K²·norm, b1 = 2·b0, b2 = b0,
//               a1 = 2(K² − 1)·norm, a2 = (1 − K/Q + K²)·norm.
RealBiquad LowPass1(double f) {
  const double k = std::tan(std::acos(-1.0) * f);
  return {k / (k + 1), k / (k + 1), 0, (k - 1) / (k + 1), 0};
}
RealBiquad LowPass2(double f, double q) {
  const double k = std::tan(std::acos(-1.0) * f), norm = 1 / (1 + k / q + k * k);
  return {k * k * norm, 2 * k * k * norm, k * k * norm, 2 * (k * k - 1) * norm, (1 - k / q + k * k) * norm};
}

// SF = 2^e with e = 1 when the largest magnitude is exactly 1, ⌈log2 m⌉ above 1, else 0; each
// coefficient floor(c/SF·2^31 + 0.5); then b0 := floor(2^31/SF − b1 − b2 + a1 + a2 + 0.5) when
// the quantised sum misses 2^31.
BiquadCoefficients Quantise(const RealBiquad& r) {
  const double m = std::max({std::abs(r.b0), std::abs(r.b1), std::abs(r.b2), std::abs(r.a1), std::abs(r.a2)});
  const int e = m == 1.0 ? 1 : (m > 1 ? static_cast<int>(std::ceil(std::log2(m))) : 0);
  const double sf = std::ldexp(1.0, e), scale = std::ldexp(1.0, 31) / sf;
  const auto q = [&](double c) { return static_cast<std::int64_t>(std::floor(c * scale + 0.5)); };
  BiquadCoefficients c{q(r.b0), q(r.b1), q(r.b2), q(r.a1), q(r.a2), static_cast<std::int64_t>(sf)};
  if ((c.b0 + c.b1 + c.b2 - c.a1 - c.a2) * c.sf != (std::int64_t{1} << 31)) {
    c.b0 = static_cast<std::int64_t>(std::floor(scale - static_cast<double>(c.b1 + c.b2 - c.a1 - c.a2) + 0.5));
  }
  return c;
}

struct FilterCase {
  const char* name;
  RealBiquad filter;
};
const std::vector<FilterCase> kFilters = {{"low-pass 1st order f = 0.1", LowPass1(0.1)},
                                          {"low-pass 2nd order f = 0.05, Q = 0.707", LowPass2(0.05, 0.7071)},
                                          {"low-pass 2nd order f = 0.2, Q = 2", LowPass2(0.2, 2.0)}};

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
  for (const FilterCase& fc : kFilters) {
    SCOPED_TRACE(fc.name);
    const BiquadCoefficients c = Quantise(fc.filter);
    const RealBiquad& r = fc.filter;
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
  for (const FilterCase& fc : kFilters) {
    const BiquadCoefficients c = Quantise(fc.filter);
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
  const std::vector<BiquadCoefficients> slots = {Quantise(LowPass1(0.1)), Quantise(LowPass2(0.05, 0.7071))};
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
