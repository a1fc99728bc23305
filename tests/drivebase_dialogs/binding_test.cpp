// Parameter bindings: what the controls show, how the user's edits reach the setup, and the
// callbacks they cause.
#include "probe_fixture.h"
#include "ui/window_messages.h"

namespace editbase_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using BindingTest = ProbeTest;

TEST_F(BindingTest, EveryKindOfBindingShowsTheSetup) {
  user.Do("the controls show the setup", [](ui::DialogDriver& top) {
        EXPECT_EQ(top.Text(kCurrentEdit), "3.2");
        EXPECT_EQ(top.Text(kCurrentUnit), "A");
        ASSERT_EQ(top.Control(kCurrentUnit).items.size(), 2u);
        EXPECT_EQ(top.Control(kCurrentUnit).items[1].text, "mA");
        EXPECT_EQ(top.Text(kTimeEdit), "0.5");
        EXPECT_EQ(top.Control(kTimeUnit).items.size(), 3u) << "s, ms, us";
        EXPECT_EQ(top.Text(kPolePairsEdit), "4");
        EXPECT_EQ(top.CheckState(kOverCurrentCheck), BST_CHECKED);
        EXPECT_EQ(top.Text(kHallCaseCombo), "7");
        EXPECT_EQ(top.CheckState(kPositionRadio), BST_CHECKED);
        EXPECT_EQ(top.CheckState(kTorqueRadio), BST_UNCHECKED);
        EXPECT_EQ(top.Control(kDeadBandSlider).position, 50);
        EXPECT_EQ(top.Text(kDeadBandEdit), "50");
        EXPECT_EQ(top.Text(kDeadBandLabel), "%");
        EXPECT_EQ(top.Text(kEquivalentEdit), "2000");
        EXPECT_EQ(top.Text(kEquivalentUnit), "counts");
      })
      .Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.log, IsEmpty()) << "showing values never calls back";
}

struct TypedCase {
  int edit;
  const char* text;
  const char* parameter;
  double kept;         // base unit
  const char* shown;   // the edit afterwards
  bool changed;        // the callbacks ran
  const char* box;     // the message box, or null
};

class TypedTextTest : public ProbeTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(TypedTextTest, IsReadInTheShownUnitAndKeptAsTheSetupKeepsIt) {
  const TypedCase& c = GetParam();
  user.Type(c.edit, c.text).ExpectText(c.edit, c.shown).Close(IDOK);
  EXPECT_EQ(Run(), IDOK);
  EXPECT_DOUBLE_EQ(Value(c.parameter), c.kept);
  if (c.changed) {
    // At the refresh callback the time edit still shows what was there: typed text, or the old value.
    const std::string timeText = c.edit == kTimeEdit ? c.text : "0.5";
    EXPECT_THAT(dialog.log, ElementsAre(std::string("changed ") + c.parameter,
                                        std::string("refresh ") + c.parameter + " (edit 2003 shows " + timeText + ")"));
  } else {
    EXPECT_THAT(dialog.log, IsEmpty());
  }
  if (c.box != nullptr) {
    EXPECT_THAT(BoxTexts(), ElementsAre(c.box));
  } else {
    EXPECT_THAT(BoxTexts(), IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedTextTest,
    ::testing::Values(
        TypedCase{kCurrentEdit, "4.5", "IlimPS", 4.5, "4.5", true, nullptr},
        TypedCase{kCurrentEdit, " 2.5 ", "IlimPS", 2.5, "2.5", true, nullptr},
        TypedCase{kCurrentEdit, "3.20001", "IlimPS", 3.20001, "3.2", true, nullptr},  // 4 digits shown
        TypedCase{kCurrentEdit, "12", "IlimPS", 10.0, "10", true, nullptr},            // clamped
        TypedCase{kCurrentEdit, "-1", "IlimPS", 0.0, "0", true, nullptr},
        TypedCase{kCurrentEdit, "3.20", "IlimPS", 3.2, "3.2", false, nullptr},         // same value
        TypedCase{kCurrentEdit, "abc", "IlimPS", 3.2, "3.2", false,
                  "IlimPS: \"abc\" is not a number. Enter a number in A, from 0 to 10."},
        TypedCase{kCurrentEdit, "", "IlimPS", 3.2, "3.2", false,
                  "IlimPS: \"\" is not a number. Enter a number in A, from 0 to 10."},
        TypedCase{kCurrentEdit, "4,5", "IlimPS", 3.2, "3.2", false,
                  "IlimPS: \"4,5\" is not a number. Enter a number in A, from 0 to 10."},
        TypedCase{kCurrentEdit, "1e999", "IlimPS", 3.2, "3.2", false,
                  "IlimPS: \"1e999\" is not a number. Enter a number in A, from 0 to 10."},
        TypedCase{kCurrentEdit, "nan", "IlimPS", 3.2, "3.2", false,
                  "IlimPS: \"nan\" is not a number. Enter a number in A, from 0 to 10."},
        TypedCase{kPolePairsEdit, "2.6", "pp", 3.0, "3", true, nullptr},  // an integer rounds
        TypedCase{kPolePairsEdit, "300", "pp", 128.0, "128", true, nullptr},
        TypedCase{kPolePairsEdit, "x", "pp", 4.0, "4", false, "pp: \"x\" is not a number. Enter a number, from 1 to 128."},
        TypedCase{kTimeEdit, "0.001", "time_AB", 0.01, "0.01", true, nullptr}));

TEST_F(BindingTest, AnotherUnitShowsTheValueInItAndReadsTypedTextInIt) {
  user.Select(kCurrentUnit, "mA")
      .ExpectText(kCurrentEdit, "3200")
      .Type(kCurrentEdit, "1500")
      .ExpectText(kCurrentEdit, "1500")
      .Close(IDOK);
  Run();
  EXPECT_DOUBLE_EQ(Value("IlimPS"), 1.5);
  EXPECT_EQ(setup.FindParameter("IlimPS")->GetUnitName(), "mA");
  EXPECT_THAT(dialog.log, ElementsAre("unit IlimPS", "changed IlimPS", "refresh IlimPS (edit 2003 shows 0.5)"));
}

TEST_F(BindingTest, AnEditStoresThenCallsChangedThenRefreshThenShowsTheControls) {
  dialog.reaction = [this](ProbeDlg&, const std::string& name) {
    EXPECT_DOUBLE_EQ(Value("IlimPS"), 4.5) << "stored before the callback";
    if (name == "IlimPS") setup.SetParameterValueInBaseUnit("time_AB", 2.0);
  };
  user.Type(kCurrentEdit, "4.5").ExpectText(kTimeEdit, "2").Close(IDOK);
  Run();
  EXPECT_THAT(dialog.log, ElementsAre("changed IlimPS", "refresh IlimPS (edit 2003 shows 0.5)"))
      << "the controls are shown again only after both callbacks; time_AB, changed by the reaction, calls nothing";
}

TEST_F(BindingTest, AReactionThatTouchesOtherControlsDoesNotRecurse) {
  dialog.reaction = [](ProbeDlg& probe, const std::string&) {
    probe.SetChildText(kPolePairsEdit, "9");
    EXPECT_TRUE(probe.UpdateData(true));  // takes pending edits: not while a change is handled
    static_cast<CComboBox*>(probe.GetDlgItem(kHallCaseCombo))->SetCurSel(0);
    probe.SendMessage(WM_COMMAND, MAKEWPARAM(kHallCaseCombo, CBN_SELCHANGE), 0);
    probe.SendMessage(WM_COMMAND, MAKEWPARAM(kTorqueRadio, BN_CLICKED), 0);
  };
  user.Type(kCurrentEdit, "5").ExpectText(kPolePairsEdit, "4").ExpectText(kHallCaseCombo, "7").Close(IDOK);
  Run();
  EXPECT_THAT(dialog.log, ElementsAre("changed IlimPS", "refresh IlimPS (edit 2003 shows 0.5)"));
  EXPECT_EQ(Value("pp"), 4.0);
  EXPECT_EQ(Value("HALLCASE"), 7.0);
  EXPECT_EQ(Value("ControlMode"), 0.0);
}

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

TEST_F(BindingTest, AnActionThatLeavesTheValueAsItWasCallsNothing) {
  user.Click(kPositionRadio)           // checked already
      .Select(kHallCaseCombo, "7")      // selected already
      .Select(kCurrentUnit, "A")        // the unit shown
      .Type(kCurrentEdit, "10")         // a change ...
      .Type(kCurrentEdit, "11")         // ... then one that clamps to the same value
      .ExpectText(kCurrentEdit, "10")
      .Slide(kDeadBandSlider, 50)       // where it is
      .Close(IDOK);
  Run();
  EXPECT_THAT(dialog.log, ElementsAre("changed IlimPS", "refresh IlimPS (edit 2003 shows 0.5)"));
}

TEST_F(BindingTest, ValuesWithoutAnEntryShowNoSelectionAndStayUntilTheUserChooses) {
  setup.FindParameter("HALLCASE")->SetMinInBaseUnit(0);
  setup.SetParameterValueInBaseUnit("HALLCASE", 0);
  setup.FindParameter("ControlMode")->SetMaxInBaseUnit(5);
  setup.SetParameterValueInBaseUnit("ControlMode", 4);
  user.Do("nothing selected",
          [](ui::DialogDriver& top) {
            EXPECT_EQ(top.Control(kHallCaseCombo).selection, -1);
            for (const int radio : {kPositionRadio, kSpeedRadio, kTorqueRadio}) EXPECT_EQ(top.CheckState(radio), BST_UNCHECKED);
          })
      .Close(IDOK);
  Run();
  EXPECT_EQ(Value("HALLCASE"), 0.0);
  EXPECT_EQ(Value("ControlMode"), 4.0);
}

TEST_F(BindingTest, TheSliderItsSpinsAndItsEditMoveTheValue) {
  user.Slide(kDeadBandSlider, 30)
      .ExpectText(kDeadBandEdit, "30")
      .Spin(kDeadBandFineSpin, 1)
      .ExpectText(kDeadBandEdit, "31")
      .Spin(kDeadBandCoarseSpin, 1)
      .ExpectText(kDeadBandEdit, "41")
      .Spin(kDeadBandCoarseSpin, -5)
      .ExpectText(kDeadBandEdit, "0")
      .Type(kDeadBandEdit, "75.5")
      .Do("the slider follows", [](ui::DialogDriver& top) { EXPECT_EQ(top.Control(kDeadBandSlider).position, 76); })
      .Close(IDOK);
  Run();
  EXPECT_DOUBLE_EQ(Value("DBTPC"), 75.5);
}

TEST_F(BindingTest, AParameterTheDialogOwnsIsEditedWithoutTouchingTheSetup) {
  user.Type(kEquivalentEdit, "4096").Close(IDOK);
  Run();
  EXPECT_EQ(dialog.equivalentCounts.GetValueInBaseUnit(), 4096.0);
  EXPECT_EQ(Value("No_encoder_lines"), 2000.0);
  EXPECT_THAT(dialog.log, ElementsAre("changed EquivCountsPerRev", "refresh EquivCountsPerRev (edit 2003 shows 0.5)"));
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

struct MisboundCase {
  const char* name;
  std::function<void(ProbeDlg&)> bind;
  const char* message;
};

class MisboundTest : public ProbeTest, public ::testing::WithParamInterface<MisboundCase> {};

TEST_P(MisboundTest, FailsWhenTheDialogOpensNamingTheParameterAndTheControl) {
  GetParam().bind(dialog);
  try {
    Run();
    FAIL() << "no error";
  } catch (const ui::DialogError& error) {
    EXPECT_THAT(error.what(), ::testing::HasSubstr(GetParam().message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bindings, MisboundTest,
    ::testing::Values(
        MisboundCase{"Missing", [](ProbeDlg& d) { d.AddParameterControls("pp", 2999); },
                     "the edit of parameter pp: control 2999 does not exist"},
        MisboundCase{"RadioRange", [](ProbeDlg& d) { d.AddSwitchParameterControls("pp", kPositionRadio, kDeadBandSlider); },
                     "the radio group of parameter pp: control 2021 is a slider, not a radio"}),
    ByName());

}  // namespace
}  // namespace editbase_test
