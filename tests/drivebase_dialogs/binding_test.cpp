// Parameter bindings beyond what the scripts take (scripts/): refreshing from the setup, text left
// pending in an edit, and bindings that cannot work.
#include "probe_fixture.h"

namespace editbase_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using BindingTest = ProbeTest;

TEST_F(BindingTest, RefreshingShowsNewValuesWithoutCallingBack) {
  user.Do("the setup changes under the dialog",
          [this](ui::DialogDriver&) {
            setup.SetParameterValueInBaseUnit("pp", 5);
            setup.SetParameterValueInBaseUnit("ControlMode", 2);
            dialog.RefreshParameterControls("PP");  // names in any case
          })
      .ExpectText(kPolePairsEdit, "5")
      .Expect(ui::ControlChecked(kPositionRadio, true))
      .Do("all refreshed", [this](ui::DialogDriver&) { dialog.RefreshAllParameters(); })
      .Expect(ui::ControlChecked(kTorqueRadio, true))
      .Close(IDOK);
  Run();
  EXPECT_THAT(dialog.log, IsEmpty());
}

TEST_F(BindingTest, EnterCommitsTheFocusedEditAndKeepsTheDialogOpen) {
  user.Do("text typed, not yet committed",
          [this](ui::DialogDriver& top) {
            top.Control(kCurrentEdit).text = "6";
            dialog.GetDlgItem(kCurrentEdit)->SetFocus();
          })
      .Keys("Enter")
      .Expect(ui::TopDialogIs(kProbeCaption))
      .ExpectText(kCurrentEdit, "6")
      .Close(IDOK);
  Run();
  EXPECT_EQ(Value("IlimPS"), 6.0);
}

TEST_F(BindingTest, OkTakesThePendingTextFirstAndStaysOpenOnAFaultyOne) {
  user.Do("text left in the edit", [](ui::DialogDriver& top) { top.Control(kPolePairsEdit).text = "six"; })
      .Close(IDOK)
      .Expect(ui::TopDialogIs(kProbeCaption))
      .Expect(ui::LastMessageBoxSays("pp: \"six\" is not a number. Enter a number, from 1 to 128."))
      .Do("text left in the edit", [](ui::DialogDriver& top) { top.Control(kPolePairsEdit).text = "6"; })
      .Close(IDOK);
  EXPECT_EQ(Run(), IDOK);
  EXPECT_EQ(Value("pp"), 6.0);
}

TEST_F(BindingTest, AMissingParameterIsNotBoundAndIsReported) {
  EXPECT_FALSE(dialog.AddParameterControls("NoSuchParameter", kCurrentEdit));
  EXPECT_THAT(errors, ElementsAre("parameter 'NoSuchParameter' does not exist in the setup"));
}

TEST_F(BindingTest, AControlThatDoesNotFitFailsWhenTheDialogOpensNamingParameterAndControl) {
  dialog.AddSwitchParameterControls("pp", kPositionRadio, kDeadBandSlider);
  EXPECT_THROW(
      try { Run(); } catch (const ui::DialogError& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr("the radio group of parameter pp: control 2021 is a slider, not a radio"));
        throw;
      },
      ui::DialogError);
}

}  // namespace
}  // namespace editbase_test
