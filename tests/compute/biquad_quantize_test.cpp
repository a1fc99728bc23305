#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "compute/biquad_designer.h"

namespace {

constexpr double kTwoTo31 = 2147483648.0;

CBiquadDesigner WithCoefficients(double b0, double b1, double b2, double a1, double a2) {
  CBiquadDesigner d;
  std::tie(d.b0, d.b1, d.b2, d.a1, d.a2) = std::tie(b0, b1, b2, a1, a2);
  return d;
}

std::int64_t DcGain(const CBiquadDesigner& d) {
  return static_cast<std::int64_t>(d.b0) + static_cast<std::int64_t>(d.b1) + static_cast<std::int64_t>(d.b2) -
         static_cast<std::int64_t>(d.a1) - static_cast<std::int64_t>(d.a2);
}

struct ScaleCase {
  double largest, sf;
};

void PrintTo(const ScaleCase& c, std::ostream* out) { *out << "largest " << c.largest; }

class QuantizationScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(QuantizationScale, SmallestPowerOfTwoThatFitsEveryCoefficient) {
  CBiquadDesigner d = WithCoefficients(0.25, GetParam().largest, -0.5, 0.125, 0.0);
  d.QuantizeCoefficients();
  EXPECT_EQ(d.SF, GetParam().sf);
  for (const double c : {d.b0, d.b1, d.b2, d.a1, d.a2}) {
    EXPECT_GE(c, -kTwoTo31);
    EXPECT_LE(c, kTwoTo31 - 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Largest, QuantizationScale,
    ::testing::Values(ScaleCase{0.9, 1.0}, ScaleCase{1.0 - 1.0 / kTwoTo31, 1.0},  // 2^31 - 1
                      ScaleCase{1.0 - 0.5 / kTwoTo31, 2.0},   // would round up to 2^31
                      ScaleCase{1.0, 2.0},                     // exactly 1.0: 2^31 does not fit
                      ScaleCase{1.5, 2.0}, ScaleCase{1.9, 2.0},
                      ScaleCase{2.0, 4.0},                     // a power of two above 1 too
                      ScaleCase{2.0 - 1.0 / kTwoTo31, 4.0},    // within half a step below SF
                      ScaleCase{2.0 - 4.0 / kTwoTo31, 2.0}, ScaleCase{3.0, 4.0},
                      ScaleCase{-3.0, 4.0}, ScaleCase{1000.0, 1024.0},
                      ScaleCase{-1.0, 1.0}));                  // -2^31 fits

TEST(Quantization, EachCoefficientRoundsHalfUp) {
  // c * 2^31 = 3.5, -2.5, 7.25, -7.75, 0.49
  CBiquadDesigner d = WithCoefficients(3.5 / kTwoTo31, -2.5 / kTwoTo31, 7.25 / kTwoTo31,
                                       -7.75 / kTwoTo31, 0.49 / kTwoTo31);
  d.QuantizeCoefficients();
  EXPECT_EQ(d.SF, 1.0);
  EXPECT_EQ(std::vector({d.b0, d.b1, d.b2, d.a1, d.a2}), std::vector({4.0, -2.0, 7.0, -8.0, 0.0}));
}

TEST(Quantization, ADesignThatIsNotANumberPassesEverything) {
  CBiquadDesigner d = WithCoefficients(std::numeric_limits<double>::quiet_NaN(), 0, 0, 0, 0);
  d.QuantizeCoefficients();
  EXPECT_EQ(d.SF, 2.0);
  EXPECT_EQ(d.b0, kTwoTo31 / 2.0);
  EXPECT_EQ(d.b1 + d.b2 + d.a1 + d.a2, 0.0);
}

struct DesignCase {
  int type;
  double f1, second;
};

void PrintTo(const DesignCase& c, std::ostream* out) { *out << "type " << c.type << " at " << c.f1; }

class DcCorrection : public ::testing::TestWithParam<DesignCase> {};

TEST_P(DcCorrection, MakesTheQuantisedDcGainExactlyOne) {
  CBiquadDesigner d;
  d.DesignFilter(GetParam().type, GetParam().f1, GetParam().second, 0.0);
  d.QuantizeCoefficients();
  d.CorrectDcGain();
  EXPECT_EQ(DcGain(d), static_cast<std::int64_t>(kTwoTo31 / d.SF));
}

INSTANTIATE_TEST_SUITE_P(
    UnitDcGain, DcCorrection,
    ::testing::Values(DesignCase{0, 0.1, 0.707}, DesignCase{0, 0.0013, 0.707}, DesignCase{1, 0.05, 0.707},
                      DesignCase{1, 0.2, 5.0}, DesignCase{1, 0.3, 0.5}, DesignCase{2, 0.3, 2.0},
                      DesignCase{2, 0.01, 0.7}, DesignCase{8, 0.05, 0.2}, DesignCase{8, 0.2, 0.05},
                      DesignCase{9, 0.02, 0.1}, DesignCase{9, 0.1, 0.3}));

TEST(DcCorrection, AQuantisedGainJustAboveOneIsCorrectedToo) {
  // Sum of the quantised coefficients one count above 2^31 / SF = 2^30.
  CBiquadDesigner d = WithCoefficients(1073741825.0, 0.0, 0.0, 0.0, 0.0);
  d.SF = 2.0;
  d.CorrectDcGain();
  EXPECT_EQ(d.b0, 1073741824.0);
  d = WithCoefficients(536870912.0, 536870912.0, 1.0, -100.0, 50.0);
  d.SF = 2.0;
  d.CorrectDcGain();
  EXPECT_EQ(DcGain(d), 1073741824);
}

}  // namespace
