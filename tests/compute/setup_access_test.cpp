#include "compute/setup_access.h"

#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "compute/registers.h"
#include "compute_test_setup.h"
#include "reported_errors.h"

namespace kestrel {
namespace {

TEST(TruncateToInt32, TowardZeroKeepingTheLow32Bits) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (const auto& [value, truncated] : std::vector<std::pair<double, int>>{
           {2.9, 2}, {-2.9, -2}, {2147483647.0, 2147483647}, {4294967295.0, -1},  // 0xFFFFFFFF
           {2147483648.0, -2147483647 - 1}, {4294967296.0 + 5, 5}, {-4294967297.0, -1},
           {1e300, 0} /* a multiple of 2^32 */, {kNaN, 0}, {-kInf, 0}}) {
    EXPECT_EQ(TruncateToInt32(value), truncated) << value;
  }
}

TEST(TruncateCount, TowardZeroUnlessRoundingMissedAWholeCount) {
  // 65478 counts read back as volts and multiplied out again land just below 65478.
  const double scale = 65472.0 / 87.0;
  ASSERT_LT(65478.0 / scale * scale, 65478.0);
  for (const auto& [value, count] : std::vector<std::pair<double, double>>{
           {45153.10344827586, 45153} /* 60 V at 65472 / 87 counts per volt */, {45152.999, 45152},
           {-2.9, -2}, {65478.0 / scale * scale, 65478}, {0, 0}}) {
    EXPECT_EQ(TruncateCount(value), count) << value;
  }
}

TEST(UMAXPROT, EveryCountSurvivesTheRoundTripThroughVolts) {
  CMC_Setup setup = test_support::DemoDrive();  // 65472 / 87 counts per volt
  test_support::Put(setup, "UMAXPROT", 0);
  for (int counts = 1; counts <= 65535; ++counts) {
    test_support::Put(setup, "UMAX_PROT", counts / (65472.0 / 87.0));
    ASSERT_TRUE(ComputeUMAXPROT(&setup));
    ASSERT_EQ(setup.GetParameterValueInBaseUnit("UMAXPROT"), counts);
  }
}

TEST(OptionalLookups, ProbeWithoutReporting) {
  test_support::ReportedErrors reported;
  const CMC_Setup setup = test_support::MakeSetup({{"KPTHT", 100}});
  EXPECT_TRUE(HasParameter(&setup, "kptht"));
  EXPECT_FALSE(HasParameter(&setup, "ERRMAXL"));
  EXPECT_EQ(FindOptionalParameter(&setup, "isSWLS"), nullptr);
  EXPECT_FALSE(HasVariable(&setup, "CADIN"));
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(g_bShowErrors, 1);
  setup.FindParameter("ERRMAXL");  // a required lookup reports
  EXPECT_EQ(reported.size(), 1u);
}

struct LimitsCase {
  double oldMin, oldMax, min, max;
  int result;
  double newMin, newMax;
};

void PrintTo(const LimitsCase& c, std::ostream* out) {
  *out << "[" << c.oldMin << ", " << c.oldMax << "] to [" << c.min << ", " << c.max << "]";
}

class SetLimits : public ::testing::TestWithParam<LimitsCase> {};

TEST_P(SetLimits, MovesBothLimitsWithoutTheValue) {
  const LimitsCase& c = GetParam();
  CMC_Setup setup = test_support::MakeSetup({{"X", 3}});
  CMC_Parameter* x = setup.FindParameter("X");
  x->SetMinInBaseUnit(c.oldMin);
  x->SetMaxInBaseUnit(c.oldMax);
  EXPECT_EQ(SetLimitsInBaseUnit(x, c.min, c.max), c.result);
  EXPECT_EQ(x->GetMinInBaseUnit(), c.newMin);
  EXPECT_EQ(x->GetMaxInBaseUnit(), c.newMax);
  EXPECT_FALSE(x->AreLimitsCrossed());
  EXPECT_EQ(x->GetValueInBaseUnit(), 3.0) << "the value is not touched";
  EXPECT_EQ(SetLimitsInBaseUnit(nullptr, 0, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Ranges, SetLimits,
                         ::testing::Values(LimitsCase{0, 5, 5, 2, 0, 0, 5},     // min above max: nothing
                                           LimitsCase{0, 5, 10, 20, 1, 10, 20},  // the maximum moves first
                                           LimitsCase{0, 5, -4, -1, 1, -4, -1},  // the minimum moves first
                                           LimitsCase{8, 3, 1, 2, 1, 1, 2},      // crossed: uncrossed first
                                           LimitsCase{8, 3, 7, 7, 1, 7, 7}));

}  // namespace
}  // namespace kestrel
