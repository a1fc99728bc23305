#include <cmath>
#include <complex>
#include <numbers>

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

constexpr double kF1 = 0.1;
constexpr double kDc = 0.0;
constexpr double kNyquist = 0.5;
const double kBoost = std::pow(10.0, 6.0 / 20.0);  // 6 dB

TEST(BiquadDesign, LowPassFirstOrder) {
  const CBiquadDesigner d = Designed(0, kF1, 0.707);
  EXPECT_NEAR(Gain(d, kDc), 1.0, 1e-12);
  EXPECT_NEAR(Gain(d, kF1), 1.0 / std::sqrt(2.0), 1e-12);  // -3 dB at the corner
  EXPECT_NEAR(Gain(d, kNyquist), 0.0, 1e-12);
  EXPECT_EQ(d.b2, 0.0) << "first order";
  EXPECT_EQ(d.a2, 0.0);
}

TEST(BiquadDesign, LowPassSecondOrderPeaksByQ) {
  const CBiquadDesigner d = Designed(1, kF1, 2.0);
  EXPECT_NEAR(Gain(d, kDc), 1.0, 1e-12);
  EXPECT_NEAR(Gain(d, kF1), 2.0, 1e-12);
  EXPECT_NEAR(Gain(d, kNyquist), 0.0, 1e-12);
}

TEST(BiquadDesign, NotchRemovesItsFrequency) {
  const CBiquadDesigner d = Designed(2, kF1, 2.0);
  EXPECT_NEAR(Gain(d, kDc), 1.0, 1e-12);
  EXPECT_NEAR(Gain(d, kNyquist), 1.0, 1e-12);
  EXPECT_LT(Gain(d, kF1), 1e-12);
  EXPECT_NEAR(Gain(d, 0.3), 1.0, 0.05) << "far from the notch";
}

TEST(BiquadDesign, HighPassAndBandPassPassNoDc) {
  const CBiquadDesigner high = Designed(3, kF1, 2.0);
  EXPECT_NEAR(Gain(high, kDc), 0.0, 1e-12);
  EXPECT_NEAR(Gain(high, kF1), 2.0, 1e-12);
  EXPECT_NEAR(Gain(high, kNyquist), 1.0, 1e-12);
  const CBiquadDesigner band = Designed(4, kF1, 2.0);
  EXPECT_NEAR(Gain(band, kDc), 0.0, 1e-12);
  EXPECT_NEAR(Gain(band, kF1), 1.0, 1e-12);
  EXPECT_NEAR(Gain(band, kNyquist), 0.0, 1e-12);
}

TEST(BiquadDesign, PeakBoostsAndCutsItsFrequency) {
  EXPECT_NEAR(Gain(Designed(5, kF1, 2.0, 6.0), kF1), kBoost, 1e-12);
  EXPECT_NEAR(Gain(Designed(5, kF1, 2.0, -6.0), kF1), 1.0 / kBoost, 1e-12);
  for (const double f : {kDc, 0.05, kF1, kNyquist}) {
    EXPECT_NEAR(Gain(Designed(5, kF1, 2.0, 0.0), f), 1.0, 1e-12) << "0 dB passes everything";
  }
}

TEST(BiquadDesign, ShelvesLiftOneSide) {
  EXPECT_NEAR(Gain(Designed(6, kF1, 0.0, 6.0), kDc), kBoost, 1e-12);
  EXPECT_NEAR(Gain(Designed(6, kF1, 0.0, 6.0), kNyquist), 1.0, 1e-12);
  EXPECT_NEAR(Gain(Designed(6, kF1, 0.0, -6.0), kDc), 1.0 / kBoost, 1e-12);
  EXPECT_NEAR(Gain(Designed(7, kF1, 0.0, 6.0), kDc), 1.0, 1e-12);
  EXPECT_NEAR(Gain(Designed(7, kF1, 0.0, 6.0), kNyquist), kBoost, 1e-12);
  EXPECT_NEAR(Gain(Designed(7, kF1, 0.0, -6.0), kNyquist), 1.0 / kBoost, 1e-12);
  EXPECT_NEAR(Gain(Designed(7, kF1, 0.0, 0.0), 0.2), 1.0, 1e-12);
}

TEST(BiquadDesign, LeadLagGainsAtDcAndAtHighFrequency) {
  // A zero at 0.05, a pole at 0.2: the high-frequency gain is tan(0.2 pi) / tan(0.05 pi).
  const double ratio = std::tan(0.2 * std::numbers::pi) / std::tan(0.05 * std::numbers::pi);
  const CBiquadDesigner first = Designed(8, 0.05, 0.2);
  EXPECT_NEAR(Gain(first, kDc), 1.0, 1e-12);
  EXPECT_NEAR(Gain(first, kNyquist), ratio, 1e-12);
  const CBiquadDesigner second = Designed(9, 0.05, 0.2);
  EXPECT_NEAR(Gain(second, kDc), 1.0, 1e-12);
  EXPECT_NEAR(Gain(second, kNyquist), ratio * ratio, 1e-9);
  for (const double f : {0.01, 0.1, 0.3}) {
    EXPECT_NEAR(std::abs(Response(second, f)), std::pow(std::abs(Response(first, f)), 2), 1e-9) << f;
  }
}

TEST(BiquadDesign, TypesBeyondTheTableLeaveTheCoefficients) {
  CBiquadDesigner d = Designed(2, kF1, 2.0);
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
        const double second = type >= 8 ? std::min(0.49, f * q) : q;
        CBiquadDesigner d = Designed(type, f, second, type >= 5 && type <= 7 ? 6.0 : 0.0);
        EXPECT_LT(std::fabs(d.a2), 1.0) << type << " " << f << " " << q;
        EXPECT_LT(std::fabs(d.a1), 1.0 + d.a2) << type << " " << f << " " << q;
        d.QuantizeCoefficients();
        const double a1 = d.a1 * d.SF / 2147483648.0;
        const double a2 = d.a2 * d.SF / 2147483648.0;
        EXPECT_LT(std::fabs(a2), 1.0) << type << " " << f << " " << q;
        EXPECT_LT(std::fabs(a1), 1.0 + a2) << type << " " << f << " " << q;
      }
    }
  }
}

}  // namespace
