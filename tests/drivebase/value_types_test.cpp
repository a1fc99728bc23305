#include "drivebase/value_types.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace drivebase {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Integer types round to nearest, halves away from zero, and saturate; reals keep every finite
// value; flags are 0 or 1, choices signed 16-bit indices.
TEST(StoreAs, RoundsToNearestAwayFromZeroAndSaturates) {
  struct Case {
    int type;
    double given, stored;
  };
  for (const Case& c : {Case{kSigned16, 2.5, 3.0}, Case{kSigned16, -2.5, -3.0}, Case{kSigned16, 2.4999, 2.0},
                        Case{kSigned16, 32767.4, 32767.0}, Case{kSigned16, 32767.5, 32767.0},
                        Case{kSigned16, -40000.0, -32768.0}, Case{kSigned16, kInf, 32767.0}, Case{kSigned16, -0.4, 0.0},
                        Case{kUnsigned16, -1.0, 0.0}, Case{kUnsigned16, 65535.49, 65535.0},
                        Case{kUnsigned16, 70000.0, 65535.0}, Case{kUnsigned16, 16383.5, 16384.0},
                        Case{kSigned32, -2147483648.6, -2147483648.0}, Case{kSigned32, 2147483647.5, 2147483647.0},
                        Case{kUnsigned32, 4294967295.4, 4294967295.0}, Case{kUnsigned32, -kInf, 0.0},
                        Case{kUnsigned32, 2147483.648, 2147484.0}, Case{kReal, 0.1, 0.1}, Case{kReal, 1e300, 1e300},
                        Case{kReal, 5e-324, 5e-324}, Case{kFlag, 0.6, 1.0}, Case{kFlag, 7.0, 1.0},
                        Case{kFlag, -3.0, 0.0}, Case{kChoice, 3.0, 3.0}, Case{kChoice, -1.0, -1.0}}) {
    SCOPED_TRACE(::testing::Message() << ValueTypeName(c.type) << " " << c.given);
    const std::optional<double> stored = StoreAs(c.type, c.given);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, c.stored);
    EXPECT_FALSE(std::signbit(*stored) && c.stored == 0.0) << "an integer type holds no -0";
  }
  EXPECT_TRUE(std::signbit(*StoreAs(kReal, -0.0))) << "a real keeps the sign of zero";
}

TEST(StoreAs, RefusesWhatNoTypeCanHold) {
  for (int type = 0; type < kValueTypeCount; ++type) {
    EXPECT_FALSE(StoreAs(type, kNaN).has_value()) << "type " << type;
  }
  EXPECT_FALSE(StoreAs(kReal, kInf).has_value());
  EXPECT_FALSE(StoreAs(kReal, -kInf).has_value());
  EXPECT_FALSE(StoreAs(7, 1.0).has_value());
  EXPECT_FALSE(StoreAs(-1, 1.0).has_value());
}

// Words and names of the types the other cases do not reach.
TEST(ValueTypes, WordsAndNames) {
  EXPECT_EQ(SizeInWords(kChoice), 1);
  EXPECT_EQ(SizeInWords(9), 0);
  EXPECT_EQ(ValueTypeName(kReal), "real");
  EXPECT_EQ(ValueTypeName(9), "unknown");
}

}  // namespace
}  // namespace drivebase
