// The case-insensitive name index reads names in words; every length must hash and compare
// every character, whatever the case.
#include "drivebase/named_table.h"

#include <string>

#include <gtest/gtest.h>

namespace drivebase {
namespace {

class NameLength : public ::testing::TestWithParam<int> {};

std::string Name(int length) {
  std::string name;
  for (int i = 0; i < length; ++i) name += static_cast<char>('a' + i % 26);
  return name;
}

// Changing the case of any one character keeps the name and its hash; replacing it, or adding a
// character, makes another name.
TEST_P(NameLength, EveryCharacterCountsInAnyCase) {
  const std::string name = Name(GetParam());
  for (std::size_t i = 0; i < name.size(); ++i) {
    std::string upper = name, other = name;
    upper[i] = static_cast<char>(upper[i] - 'a' + 'A');
    other[i] = '_';
    EXPECT_TRUE(EqualsIgnoringCase(name, upper)) << upper;
    EXPECT_EQ(CaseInsensitiveHash{}(name), CaseInsensitiveHash{}(upper)) << upper;
    EXPECT_FALSE(EqualsIgnoringCase(name, other)) << other;
    EXPECT_NE(CaseInsensitiveHash{}(name), CaseInsensitiveHash{}(other)) << other;
  }
  EXPECT_FALSE(EqualsIgnoringCase(name, name + "x"));
}

// Names of one to three words and a part.
INSTANTIATE_TEST_SUITE_P(OneToTwentyFive, NameLength, ::testing::Range(1, 26));

}  // namespace
}  // namespace drivebase
