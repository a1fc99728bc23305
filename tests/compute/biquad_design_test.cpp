#include <cmath>
#include <complex>
#include <numbers>
#include <utility>

#include <gtest/gtest.h>

#include "compute/biquad_designer.h"

namespace {

using Complex = std::complex<double>;

// H(e^j2pif) of the designed coefficients, evaluated directly from the transfer function.
Complex Response(const CBiquadDesigner& d, double normalisedFrequency) {
  const Complex z1 = std::polar(1.0, -2.0 * std::numbers::pi * normalisedFrequency);
  return (d.b0 + d.b1 * z1 + d.b2 * z1 * z1) / (1.0 + d.a1 * z1 + d.a2 * z1 * z1);
}

double Gain(const CBiquadDesigner& d, double f) { return std::abs(Response(d, f)); }

CBiquadDesigner Designed(int type, double f1, double q, double gainDb = 0.0) {
  CBiquadDesigner designer;
  designer.DesignFilter(type, f1, q, gainDb);
  return designer;
}

const double kBoost = std::pow(10.0, 6.0 / 20.0);  // 6 dB
// A zero at 0.05, a pole at 0.2: the lead-lag's high-frequency gain is tan(0.2 pi) / tan(0.05 pi).
const double kLeadLag = std::tan(0.2 * std::numbers::pi) / std::tan(0.05 * std::numbers::pi);

struct GainCase {
  int type;
  double f1, q, gainDb, f, gain, tolerance;
};

void PrintTo(const GainCase& c, std::ostream* out) {
  *out << "type " << c.type << " q " << c.q << " " << c.gainDb << " dB at " << c.f;
}

class BiquadGain : public ::testing::TestWithParam<GainCase> {};

TEST_P(BiquadGain, AtTheTellingFrequencies) {
  const GainCase& c = GetParam();
  EXPECT_NEAR(Gain(Designed(c.type, c.f1, c.q, c.gainDb), c.f), c.gain, c.tolerance);
}

// Frequencies as fractions of the sampling rate: DC 0, the corner 0.1, Nyquist 0.5.
INSTANTIATE_TEST_SUITE_P(
    Types, BiquadGain,
    ::testing::Values(
        GainCase{0, 0.1, 0.707, 0, 0, 1, 1e-12}, GainCase{0, 0.1, 0.707, 0, 0.1, 1 / std::sqrt(2.0), 1e-12},
        GainCase{0, 0.1, 0.707, 0, 0.5, 0, 1e-12},                                    // low pass, first order
        GainCase{1, 0.1, 2, 0, 0, 1, 1e-12}, GainCase{1, 0.1, 2, 0, 0.1, 2, 1e-12},  // peaks by Q
        GainCase{1, 0.1, 2, 0, 0.5, 0, 1e-12},
        GainCase{2, 0.1, 2, 0, 0, 1, 1e-12}, GainCase{2, 0.1, 2, 0, 0.5, 1, 1e-12},  // notch
        GainCase{2, 0.1, 2, 0, 0.1, 0, 1e-12}, GainCase{2, 0.1, 2, 0, 0.3, 1, 0.05},
        GainCase{3, 0.1, 2, 0, 0, 0, 1e-12}, GainCase{3, 0.1, 2, 0, 0.1, 2, 1e-12},  // high pass
        GainCase{3, 0.1, 2, 0, 0.5, 1, 1e-12},
        GainCase{4, 0.1, 2, 0, 0, 0, 1e-12}, GainCase{4, 0.1, 2, 0, 0.1, 1, 1e-12},  // band pass
        GainCase{4, 0.1, 2, 0, 0.5, 0, 1e-12},
        GainCase{5, 0.1, 2, 6, 0.1, kBoost, 1e-12}, GainCase{5, 0.1, 2, -6, 0.1, 1 / kBoost, 1e-12},  // peak
        GainCase{5, 0.1, 2, 0, 0, 1, 1e-12}, GainCase{5, 0.1, 2, 0, 0.05, 1, 1e-12},  // 0 dB passes all
        GainCase{5, 0.1, 2, 0, 0.1, 1, 1e-12}, GainCase{5, 0.1, 2, 0, 0.5, 1, 1e-12},
        GainCase{6, 0.1, 0, 6, 0, kBoost, 1e-12}, GainCase{6, 0.1, 0, 6, 0.5, 1, 1e-12},  // low shelf
        GainCase{6, 0.1, 0, -6, 0, 1 / kBoost, 1e-12},
        GainCase{7, 0.1, 0, 6, 0, 1, 1e-12}, GainCase{7, 0.1, 0, 6, 0.5, kBoost, 1e-12},  // high shelf
        GainCase{7, 0.1, 0, -6, 0.5, 1 / kBoost, 1e-12}, GainCase{7, 0.1, 0, 0, 0.2, 1, 1e-12},
        GainCase{8, 0.05, 0.2, 0, 0, 1, 1e-12}, GainCase{8, 0.05, 0.2, 0, 0.5, kLeadLag, 1e-12},  // lead-lag
        GainCase{9, 0.05, 0.2, 0, 0, 1, 1e-12}, GainCase{9, 0.05, 0.2, 0, 0.5, kLeadLag * kLeadLag, 1e-9}));

TEST(BiquadDesign, FirstOrderFiltersHaveNoSecondTerms) {
  const CBiquadDesigner d = Designed(0, 0.1, 0.707);
  EXPECT_EQ(d.b2, 0.0);
  EXPECT_EQ(d.a2, 0.0);
  const CBiquadDesigner first = Designed(8, 0.05, 0.2);
  const CBiquadDesigner second = Designed(9, 0.05, 0.2);
  for (const double f : {0.01, 0.1, 0.3}) {  // the second-order lead-lag is the first one squared
    EXPECT_NEAR(std::abs(Response(second, f)), std::pow(std::abs(Response(first, f)), 2), 1e-9) << f;
  }
}

TEST(BiquadDesign, TypesBeyondTheTableLeaveTheCoefficients) {
  CBiquadDesigner d = Designed(2, 0.1, 2.0);
  const CBiquadDesigner before = d;
  d.DesignFilter(10, 0.2, 0.5, 0.0);
  EXPECT_EQ(d.b0, before.b0);
  EXPECT_EQ(d.a2, before.a2);
}

TEST(BiquadTypes, TenNamesOfWhichEightOffered) {
  std::vector<std::string> names;
  std::vector<int> indices;
  CBiquadDesigner().GetAvailableTypes(names, indices);
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4, 8, 9}));
  EXPECT_EQ(names, (std::vector<std::string>{"Low Pass 1st order", "Low Pass 2nd order", "Notch", "High Pass",
                                             "Band Pass", "Lead-lag 1st order", "Lead-lag 2nd order"}));
  EXPECT_STREQ(CBiquadDesigner::kTypes[5].name, "Peak");
  EXPECT_STREQ(CBiquadDesigner::kTypes[7].name, "High Shelf");
}

// Every designed filter is stable: both poles inside the unit circle (|a2| < 1, |a1| < 1 + a2),
// before and after quantisation.
TEST(BiquadDesign, EveryFilterOfTheSweepIsStable) {
  for (int type = 0; type <= 9; ++type) {
    for (double f = 0.002; f < 0.5; f *= 1.4) {
      for (const double q : {0.3, 0.707, 1.0, 5.0, 20.0}) {
        SCOPED_TRACE(::testing::Message() << type << " " << f << " " << q);
        const double second = type >= 8 ? std::min(0.49, f * q) : q;
        CBiquadDesigner d = Designed(type, f, second, type >= 5 && type <= 7 ? 6.0 : 0.0);
        const CBiquadDesigner designed = d;
        d.QuantizeCoefficients();
        for (const auto& [a1, a2] : {std::pair{designed.a1, designed.a2},
                                     std::pair{d.a1 * d.SF / 2147483648.0, d.a2 * d.SF / 2147483648.0}}) {
          EXPECT_LT(std::fabs(a2), 1.0);
          EXPECT_LT(std::fabs(a1), 1.0 + a2);
        }
      }
    }
  }
}

}  // namespace
