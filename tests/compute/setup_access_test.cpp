#include "compute/setup_access.h"

#include <limits>

#include <gtest/gtest.h>

#include "compute/registers.h"
#include "compute_test_setup.h"
#include "reported_errors.h"

namespace kestrel {
namespace {

TEST(TruncateToInt32, TowardZeroKeepingTheLow32Bits) {
  EXPECT_EQ(TruncateToInt32(2.9), 2);
  EXPECT_EQ(TruncateToInt32(-2.9), -2);
  EXPECT_EQ(TruncateToInt32(2147483647.0), 2147483647);
  EXPECT_EQ(TruncateToInt32(4294967295.0), -1);           // 0xFFFFFFFF
  EXPECT_EQ(TruncateToInt32(2147483648.0), -2147483647 - 1);
  EXPECT_EQ(TruncateToInt32(4294967296.0 + 5), 5);
  EXPECT_EQ(TruncateToInt32(-4294967297.0), -1);
  EXPECT_EQ(TruncateToInt32(1e300), 0);                   // a multiple of 2^32
  EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(TruncateToInt32(-std::numeric_limits<double>::infinity()), 0);
}

TEST(TruncateCount, TowardZeroUnlessRoundingMissedAWholeCount) {
  EXPECT_EQ(TruncateCount(45153.10344827586), 45153.0);  // 60 V at 65472 / 87 counts per volt
  EXPECT_EQ(TruncateCount(45152.999), 45152.0);
  EXPECT_EQ(TruncateCount(-2.9), -2.0);
  // 65478 counts read back as volts and multiplied out again land just below 65478.
  const double scale = 65472.0 / 87.0;
  ASSERT_LT(65478.0 / scale * scale, 65478.0);
  EXPECT_EQ(TruncateCount(65478.0 / scale * scale), 65478.0);
  EXPECT_EQ(TruncateCount(0.0), 0.0);
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

class SetLimits : public ::testing::Test {
 protected:
  CMC_Setup setup = test_support::MakeSetup({{"X", 3}});
  CMC_Parameter* x = setup.FindParameter("X");

  void Limit(double min, double max) {
    x->SetMinInBaseUnit(min);
    x->SetMaxInBaseUnit(max);
  }
};

TEST_F(SetLimits, MinAboveMaxChangesNothing) {
  Limit(0, 5);
  EXPECT_EQ(SetLimitsInBaseUnit(x, 5, 2), 0);
  EXPECT_EQ(x->GetMinInBaseUnit(), 0.0);
  EXPECT_EQ(x->GetMaxInBaseUnit(), 5.0);
  EXPECT_EQ(SetLimitsInBaseUnit(nullptr, 0, 1), 0);
}

TEST_F(SetLimits, AboveTheOldRangeAndBelowIt) {
  Limit(0, 5);
  EXPECT_EQ(SetLimitsInBaseUnit(x, 10, 20), 1);  // the maximum moves first
  EXPECT_EQ(x->GetMinInBaseUnit(), 10.0);
  EXPECT_EQ(x->GetMaxInBaseUnit(), 20.0);
  EXPECT_EQ(SetLimitsInBaseUnit(x, -4, -1), 1);  // the minimum moves first
  EXPECT_EQ(x->GetMinInBaseUnit(), -4.0);
  EXPECT_EQ(x->GetMaxInBaseUnit(), -1.0);
  EXPECT_EQ(x->GetValueInBaseUnit(), 3.0) << "the value is not touched";
}

TEST_F(SetLimits, CrossedLimitsAreUncrossedFirst) {
  Limit(8, 3);
  EXPECT_EQ(SetLimitsInBaseUnit(x, 1, 2), 1);
  EXPECT_EQ(x->GetMinInBaseUnit(), 1.0);
  EXPECT_EQ(x->GetMaxInBaseUnit(), 2.0);
  EXPECT_EQ(SetLimitsInBaseUnit(x, 7, 7), 1);
  EXPECT_FALSE(x->AreLimitsCrossed());
}

}  // namespace
}  // namespace kestrel
