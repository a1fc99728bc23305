#include "drivebase/value_types.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace drivebase {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct StoreCase {
  int type;
  double given, stored;
};

void PrintTo(const StoreCase& c, std::ostream* out) {
  *out << ValueTypeName(c.type) << " " << c.given << " -> " << c.stored;
}

class StoreAsTest : public testing::TestWithParam<StoreCase> {};

TEST_P(StoreAsTest, RoundsToNearestAwayFromZeroAndSaturates) {
  const StoreCase& c = GetParam();
  const std::optional<double> stored = StoreAs(c.type, c.given);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(*stored, c.stored);
  EXPECT_FALSE(std::signbit(*stored) && c.stored == 0.0) << "an integer type holds no -0";
}

INSTANTIATE_TEST_SUITE_P(
    Types, StoreAsTest,
    testing::Values(
        // signed 16-bit: halves go away from zero, the ends saturate
        StoreCase{kSigned16, 2.5, 3.0}, StoreCase{kSigned16, -2.5, -3.0},
        StoreCase{kSigned16, 2.4999, 2.0}, StoreCase{kSigned16, 32767.4, 32767.0},
        StoreCase{kSigned16, 32767.5, 32767.0}, StoreCase{kSigned16, -40000.0, -32768.0},
        StoreCase{kSigned16, kInf, 32767.0}, StoreCase{kSigned16, -0.4, 0.0},
        // unsigned 16-bit: negatives saturate at 0
        StoreCase{kUnsigned16, -1.0, 0.0}, StoreCase{kUnsigned16, 65535.49, 65535.0},
        StoreCase{kUnsigned16, 70000.0, 65535.0}, StoreCase{kUnsigned16, 16383.5, 16384.0},
        // 32-bit
        StoreCase{kSigned32, -2147483648.6, -2147483648.0}, StoreCase{kSigned32, 2147483647.5, 2147483647.0},
        StoreCase{kUnsigned32, 4294967295.4, 4294967295.0}, StoreCase{kUnsigned32, -kInf, 0.0},
        StoreCase{kUnsigned32, 2147483.648, 2147484.0},
        // reals keep every finite value, the sign of zero too
        StoreCase{kReal, 0.1, 0.1}, StoreCase{kReal, 1e300, 1e300}, StoreCase{kReal, 5e-324, 5e-324},
        // flags are 0 or 1, choices signed 16-bit indices
        StoreCase{kFlag, 0.6, 1.0}, StoreCase{kFlag, 7.0, 1.0}, StoreCase{kFlag, -3.0, 0.0},
        StoreCase{kChoice, 3.0, 3.0}, StoreCase{kChoice, -1.0, -1.0}));

TEST(StoreAs, RefusesWhatNoTypeCanHold) {
  for (int type = 0; type < kValueTypeCount; ++type) {
    EXPECT_FALSE(StoreAs(type, kNaN).has_value()) << "type " << type;
  }
  EXPECT_FALSE(StoreAs(kReal, kInf).has_value());
  EXPECT_FALSE(StoreAs(kReal, -kInf).has_value());
  EXPECT_FALSE(StoreAs(7, 1.0).has_value());
  EXPECT_FALSE(StoreAs(-1, 1.0).has_value());
}

TEST(StoreAs, KeepsTheSignOfARealZero) {
  EXPECT_TRUE(std::signbit(*StoreAs(kReal, -0.0)));
}

TEST(ValueTypes, WordsNamesAndExactness) {
  EXPECT_EQ(SizeInWords(kSigned16), 1);
  EXPECT_EQ(SizeInWords(kUnsigned32), 2);
  EXPECT_EQ(SizeInWords(kReal), 2);
  EXPECT_EQ(SizeInWords(kChoice), 1);
  EXPECT_EQ(ValueTypeName(kReal), "real");
  EXPECT_EQ(ValueTypeName(9), "unknown");
  EXPECT_TRUE(IsUnitlessType(kFlag));
  EXPECT_FALSE(IsUnitlessType(kReal));
  EXPECT_TRUE(IsExactlyStorable(kUnsigned16, 65535.0));
  EXPECT_FALSE(IsExactlyStorable(kUnsigned16, 65536.0));
  EXPECT_FALSE(IsExactlyStorable(kSigned32, 1.5));
  EXPECT_FALSE(IsExactlyStorable(kFlag, 2.0));
}

}  // namespace
}  // namespace drivebase
