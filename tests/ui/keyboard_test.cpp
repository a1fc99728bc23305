#include "ui/keyboard.h"

#include <stdexcept>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ui {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(KeyChords, ReadModifiersInTheOrderWrittenAndTheKeyLast) {
  const KeyChord chord = ParseKeyChord("Ctrl+Alt+Shift+e");
  EXPECT_THAT(chord.modifiers, ElementsAre(VK_CONTROL, VK_MENU, VK_SHIFT));
  EXPECT_EQ(chord.key, 'E');
  EXPECT_EQ(DescribeKeyChord(chord), "Ctrl+Alt+Shift+E");
}

struct NamedKeyCase {
  const char* text;
  int key;
};

class NamedKeys : public ::testing::TestWithParam<NamedKeyCase> {};

TEST_P(NamedKeys, AreKnownInAnyCase) {
  const KeyChord chord = ParseKeyChord(GetParam().text);
  EXPECT_TRUE(chord.modifiers.empty());
  EXPECT_EQ(chord.key, GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, NamedKeys,
                         ::testing::Values(NamedKeyCase{"Enter", VK_RETURN}, NamedKeyCase{"ESC", VK_ESCAPE},
                                           NamedKeyCase{"tab", VK_TAB}, NamedKeyCase{"F5", VK_F1 + 4},
                                           NamedKeyCase{"F12", VK_F1 + 11}, NamedKeyCase{"7", '7'},
                                           NamedKeyCase{"Shift", VK_SHIFT}, NamedKeyCase{"Del", VK_DELETE}));

TEST(KeyChords, RefuseWhatTheyDoNotKnow) {
  EXPECT_THROW(ParseKeyChord("Hyper+E"), std::invalid_argument);
  EXPECT_THROW(ParseKeyChord("F13"), std::invalid_argument);
  EXPECT_THROW(ParseKeyChord("Ctrl+"), std::invalid_argument);
  try {
    ParseKeyChord("Ctrl+Q+E");
    FAIL();
  } catch (const std::invalid_argument& error) {
    EXPECT_THAT(error.what(), HasSubstr("only Ctrl, Alt and Shift may come before \"E\""));
  }
}

}  // namespace
}  // namespace ui
