#include "ui/script.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialog_fixture.h"

namespace ui_test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

using ScriptTest = DialogTest;

TEST_F(ScriptTest, AScriptDrivesTheTestDialogThroughEveryStepKind) {
  ui::ScriptAgent script(ui::Script::Load(TestData() / "scripts" / "every_step.script"));
  EXPECT_EQ(ui::RunWithAgent(dialog, script), IDOK);
  EXPECT_EQ(dialog.name, "Axis 1");
  EXPECT_EQ(dialog.speed, 12.5);
  EXPECT_EQ(dialog.unit, "m");
  EXPECT_EQ(dialog.limitCount, BST_CHECKED);
  EXPECT_EQ(dialog.count, 1234);
  EXPECT_EQ(dialog.mode, 2);
  EXPECT_EQ(dialog.level, 2);
  EXPECT_THAT(dialog.events, Contains("context 1043"));
  EXPECT_THAT(dialog.events, Contains("save"));
}

TEST_F(ScriptTest, AWrongExpectationStopsTheScriptAtItsLine) {
  const std::filesystem::path file = TestData() / "scripts" / "wrong_expectation.script";
  ui::ScriptAgent script(ui::Script::Load(file));
  EXPECT_THAT(ErrorOf([&] { ui::RunWithAgent(dialog, script); }),
              HasSubstr(file.string() + ":3: expect 1002 shows \"Axis 2\": it shows \"Axis 1\""));
  EXPECT_EQ(script.Remaining(), 1u) << "the steps after it do not run";
}

TEST_F(ScriptTest, TextsMayHoldEscapesAndCommentsFollowSteps) {
  const ui::Script script = ui::Script::Parse("type 1002 \"a \\\"b\\\"\\tc # d\"  # a comment\n\n# only a comment\n", "inline");
  ASSERT_EQ(script.lines.size(), 1u);
  EXPECT_EQ(script.lines[0].place, "inline:1");
  EXPECT_EQ(script.lines[0].step.description, "type \"a \\\"b\\\"\\tc # d\" into 1002");
}

struct FaultyLine {
  const char* name;
  const char* text;
  const char* error;
};

class FaultyScripts : public ::testing::TestWithParam<FaultyLine> {};

TEST_P(FaultyScripts, FailBeforeRunningNamingTheLine) {
  try {
    ui::Script::Parse(std::string("click 1050\n") + GetParam().text, "faulty.script");
    FAIL() << "accepted";
  } catch (const ui::ScriptError& error) {
    EXPECT_THAT(error.what(), HasSubstr(std::string("faulty.script:2: ") + GetParam().error));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, FaultyScripts,
    ::testing::Values(FaultyLine{"UnknownStep", "clik 1050", "unknown step \"clik\""},
                      FaultyLine{"NoId", "click", "expected a control id at the end of the line"},
                      FaultyLine{"IdNotANumber", "click OK", "expected a control id, found \"OK\""},
                      FaultyLine{"UnquotedText", "type 1002 Axis", "expected the text to type in double quotes"},
                      FaultyLine{"OpenQuote", "type 1002 \"Axis", "a text has no closing quote"},
                      FaultyLine{"ExtraWord", "close ok now", "unexpected \"now\" after the step"},
                      FaultyLine{"BadClose", "close yes", "expected ok or cancel, found \"yes\""},
                      FaultyLine{"BadAnswer", "answer maybe", "unknown answer \"maybe\""},
                      FaultyLine{"BadState", "expect 1002 shiny", "unknown state \"shiny\""},
                      FaultyLine{"BadChord", "keys Ctrl+Hyper", "unknown key \"Hyper\""},
                      FaultyLine{"BadCheck", "check 1010 maybe", "expected on or off"},
                      FaultyLine{"BadCursor", "expect cursor hand", "expected wait or arrow"}),
    [](const ::testing::TestParamInfo<FaultyLine>& param) { return param.param.name; });

TEST_F(ScriptTest, AScriptThatEndsWhileADialogIsOpenNamesTheDialog) {
  ui::ScriptAgent script(ui::Script::Parse("click 1050\n", "short.script"));
  EXPECT_THAT(ErrorOf([&] { ui::RunWithAgent(dialog, script); }),
              HasSubstr("short.script:1: click 1050: the user agent has no more actions for the open dialog "
                        "\"Framework Test 2\""));
}

TEST_F(ScriptTest, AnUnreadableScriptIsAnError) {
  EXPECT_THROW(ui::Script::Load(TestData() / "scripts" / "missing.script"), ui::ScriptError);
}

}  // namespace
}  // namespace ui_test
