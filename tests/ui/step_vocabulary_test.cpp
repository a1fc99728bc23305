// Steps contributed to the script language: matched before the built-in steps, longest phrase
// first, their words read with the script's own readers; a phrase may not hide a built-in step.
#include <gtest/gtest.h>

#include "ui/script.h"

namespace ui_test {
namespace {

ui::StepParser Named(std::string name) {
  return [name](ui::StepWords& words) {
    std::string description = name;
    while (!words.AtEnd()) description += " " + std::to_string(words.Number("a number"));
    return ui::Step{description, nullptr, std::nullopt};
  };
}

TEST(StepVocabulary, LongestContributedPhraseWinsOverTheBuiltInSteps) {
  ui::StepVocabulary vocabulary;
  vocabulary.Add("wait until turned", Named("turned"));
  vocabulary.Add("lamp", Named("lamp"));
  vocabulary.Add("lamp blink", Named("blink"));
  const ui::Script script =
      ui::Script::Parse("wait until turned 2.5\nwait 100\nlamp blink 3\nlamp 1\n", "user.script", vocabulary);
  ASSERT_EQ(script.lines.size(), 4u);
  EXPECT_EQ(script.lines[0].step.description, "turned 2.500000");
  EXPECT_EQ(script.lines[1].step.description, "wait 100 ms");
  EXPECT_EQ(script.lines[2].step.description, "blink 3.000000");
  EXPECT_EQ(script.lines[3].step.description, "lamp 1.000000");
  EXPECT_THROW(ui::Script::Parse("lamp nan\n", "user.script", vocabulary), ui::ScriptError);
}

TEST(StepVocabulary, RefusesPhrasesThatHideOrRepeat) {
  ui::StepVocabulary vocabulary;
  vocabulary.Add("lamp", Named("lamp"));
  EXPECT_THROW(vocabulary.Add("lamp", Named("again")), std::invalid_argument);
  EXPECT_THROW(vocabulary.Add("click", Named("click")), std::invalid_argument);
  EXPECT_THROW(vocabulary.Add("", Named("nothing")), std::invalid_argument);
}

}  // namespace
}  // namespace ui_test
