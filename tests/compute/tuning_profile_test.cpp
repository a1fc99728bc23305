// The six-segment reference profiles, worked out by hand on a 1 ms loop.
#include "compute/tuning_profile.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace kestrel {
namespace {

using Segments = std::array<std::array<std::int64_t, 2>, 6>;  // {count, slope} per segment

struct ProfileCase {
  std::string name;
  ProfileKind kind;
  ReferenceShape shape;
  std::int64_t distance;
  ProfileTimes times;
  Segments expected;
  const char* error = nullptr;
};

constexpr std::int64_t k100 = 100 * 65536;  // 100 units per period

class ReferenceProfileTest : public testing::TestWithParam<ProfileCase> {};

TEST_P(ReferenceProfileTest, SegmentsAndChecks) {
  const ProfileCase& c = GetParam();
  const ReferenceProfile profile = BuildReferenceProfile(c.kind, c.shape, c.distance, c.times, 0.001);
  if (c.error != nullptr) {
    EXPECT_EQ(profile.error, c.error);
    return;
  }
  ASSERT_TRUE(profile.Valid()) << profile.error;
  std::int64_t change = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(profile.segments[i].count, c.expected[i][0]) << "a" << i;
    EXPECT_EQ(profile.segments[i].slope, c.expected[i][1]) << "b" << i;
    change += profile.segments[i].count * profile.segments[i].slope;
  }
  EXPECT_EQ(change, 0) << "the reference must end where it started";
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ReferenceProfileTest,
    testing::Values(
        ProfileCase{"SpeedPositive", ProfileKind::speed, ReferenceShape::positive, 1000, {0.01, 0.05, 0.01, 0.05},
                    {{{9, k100}, {1, k100}, {50, 0}, {9, -k100}, {1, -k100}, {50, 0}}}},
        ProfileCase{"SpeedNegative", ProfileKind::speed, ReferenceShape::negative, 1000, {0.01, 0.05, 0.01, 0.05},
                    {{{9, -k100}, {1, -k100}, {50, 0}, {9, k100}, {1, k100}, {50, 0}}}},
        // 1000 / 3 per period: the correction segment takes the rounding of the ramp.
        ProfileCase{"SpeedRampRounded", ProfileKind::speed, ReferenceShape::positive, 1000, {0.003, 0.0, 0.003, 0.0},
                    {{{2, 21845333}, {1, 21845334}, {0, 0}, {2, -21845333}, {1, -21845334}, {0, 0}}}},
        // A ramp of one period: the speed keeps it and corrects by nothing.
        ProfileCase{"SpeedRampOnePeriod", ProfileKind::speed, ReferenceShape::positive, 1000, {0.001, 0.01, 0.001, 0.01},
                    {{{1, 1000 * 65536}, {1, 0}, {10, 0}, {1, -1000 * 65536}, {1, 0}, {10, 0}}}},
        // The position leaves the one period to the correction segment: a first segment of length 0.
        ProfileCase{"PositionRampOnePeriod", ProfileKind::position, ReferenceShape::positive, 1000,
                    {0.001, 0.01, 0.001, 0.01},
                    {{{0, 1000 * 65536}, {1, 1000 * 65536}, {10, 0}, {0, -1000 * 65536}, {1, -1000 * 65536}, {10, 0}}}},
        // Up 1000 in 10, down 2000 in 20, back up 1000 in 9 (q = 111.11…), and the integer rest.
        ProfileCase{"SpeedBidirectional", ProfileKind::speed, ReferenceShape::bidirectional, 1000,
                    {0.01, 0.05, 0.01, 0.05},
                    {{{10, k100}, {50, 0}, {20, -k100}, {50, 0}, {9, 7281778}, {1, -2}}}},
        // N(TaNS) = 1: no last ramp, the final period brings the reference back.
        ProfileCase{"BidirectionalShortReturn", ProfileKind::position, ReferenceShape::bidirectional, 1000,
                    {0.01, 0.0, 0.001, 0.0},
                    {{{10, k100}, {0, 0}, {2, -1000 * 65536}, {0, 0}, {1, 0}, {1, 1000 * 65536}}}},
        ProfileCase{"CountAbove32767", ProfileKind::speed, ReferenceShape::positive, 1000, {0.01, 40.0, 0.01, 0.05},
                    {}, kProfileCountText},
        // A ramp of no period fails before any slope divides by it.
        ProfileCase{"SpeedRampOfNoPeriod", ProfileKind::speed, ReferenceShape::positive, 1000, {0.0004, 0.05, 0.01, 0.05},
                    {}, kProfileCountText},
        ProfileCase{"PositionRampOfNoPeriod", ProfileKind::position, ReferenceShape::negative, 1000,
                    {0.01, 0.05, 0.0, 0.05}, {}, kProfileCountText},
        ProfileCase{"BidirectionalNoReturn", ProfileKind::speed, ReferenceShape::bidirectional, 1000,
                    {0.01, 0.05, 0.0, 0.05}, {}, kProfileCountText},
        ProfileCase{"SlopeAt32767", ProfileKind::speed, ReferenceShape::positive, 32767, {0.001, 0.0, 0.001, 0.0},
                    {{{1, 32767 * 65536LL}, {1, 0}, {0, 0}, {1, -32767 * 65536LL}, {1, 0}, {0, 0}}}},
        // 65535 over two periods is 32767.5 per period, which rounds to 32768.
        ProfileCase{"SlopeOverflow", ProfileKind::speed, ReferenceShape::positive, 65535, {0.002, 0.0, 0.002, 0.0},
                    {}, kProfileSlopeText}),
    [](const testing::TestParamInfo<ProfileCase>& param) { return param.param.name; });

TEST(SnapToSpeedGrid, WholeUnitsWithTheTypedSign) {
  EXPECT_DOUBLE_EQ(SnapToSpeedGrid(123.456, 10.0), 123.5);
  EXPECT_DOUBLE_EQ(SnapToSpeedGrid(0.001, 10.0), 0.1);    // rounds to 0 units: one unit
  EXPECT_DOUBLE_EQ(SnapToSpeedGrid(-0.001, 10.0), -0.1);
  EXPECT_DOUBLE_EQ(SnapToSpeedGrid(0.001, -10.0), 0.1);   // negative transmission: still positive
  EXPECT_DOUBLE_EQ(SnapToSpeedGrid(-0.001, -10.0), -0.1);
  EXPECT_DOUBLE_EQ(SnapToSpeedGrid(7.3, 0.0), 7.3);
}

}  // namespace
}  // namespace kestrel
