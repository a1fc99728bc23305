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

INSTANTIATE_TEST_SUITE_P(OneToTwenty, NameLength, ::testing::Range(1, 21));

TEST(NamedTable, FindsWhatItHoldsInAnyCase) {
  struct Item {
    std::string name;
    const std::string& GetName() const { return name; }
  };
  NamedTable<Item> table;
  for (const char* name : {"R", "pp", "SCR", "Vdc", "PWMPER", "isHallsensors", "SSI_No_Bits_Revolution"}) {
    ASSERT_NE(table.Insert(std::make_unique<Item>(Item{name})), nullptr) << name;
  }
  EXPECT_EQ(table.Insert(std::make_unique<Item>(Item{"ScR"})), nullptr);
  for (const char* name : {"r", "PP", "scr", "VDC", "pwmper", "isHallSensors", "ssi_no_bits_revolution"}) {
    EXPECT_NE(table.Find(name), nullptr) << name;
  }
  for (const char* name : {"", "S", "SC", "SCRR", "PWMPE", "isHallsensor", "SSI_No_Bits_Revolutio"}) {
    EXPECT_EQ(table.Find(name), nullptr) << name;
  }
}

}  // namespace
}  // namespace drivebase
