// Dialogs driven by a test user: data exchange, controls, message maps, nested modal dialogs,
// message boxes and keys.
#include <chrono>
#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "ui/dialog_driver.h"
#include "ui/keyboard.h"
#include "ui/window.h"

namespace ui_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Contains;
using ::testing::Not;
using namespace std::chrono_literals;

TEST_F(DialogTest, RunsModallyUntilClosedAndReturnsTheEndCode) {
  user.Expect(ui::TopDialogIs("Framework Test")).Close(IDCANCEL);
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_THAT(dialog.events, ElementsAre("shown", "hidden"));
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr) << "the windows go with the run";
  EXPECT_EQ(dialog.unitCombo.GetSafeHwnd(), nullptr) << "member controls are detached";
  EXPECT_EQ(session.Loop().TopDialog(), nullptr);
}

TEST_F(DialogTest, DataGoesFromTheMembersToTheControlsWhenItOpens) {
  dialog.name = "Axis 7";
  dialog.speed = 0.1;
  dialog.unit = "m";
  dialog.mode = 1;
  dialog.level = 2;
  user.ExpectText(kName, "Axis 7")
      .ExpectText(kSpeed, "0.1")
      .ExpectText(kUnit, "m")
      .Expect(ui::ControlChecked(kSpeedMode, true))
      .Expect(ui::ControlChecked(kPosition, false))
      .ExpectText(kLevel, "High")
      .Close(IDCANCEL);
  Run();
}

TEST_F(DialogTest, ATextThatIsNoNumberKeepsTheDialogOpenWithAMessage) {
  user.Type(kSpeed, "fast")
      .Close(IDOK)
      .Expect(ui::LastMessageBoxSays("Please enter a number."))
      .Expect(ui::TopDialogIs("Framework Test"))
      .Type(kSpeed, "3e2")
      .Close(IDOK);
  EXPECT_EQ(Run(), IDOK);
  EXPECT_EQ(dialog.speed, 300.0);
  EXPECT_EQ(session.MessageBoxes().Shown().front().style, MB_ICONEXCLAMATION);
}

TEST_F(DialogTest, TypingCommitsTheEditWhenTheFocusLeavesIt) {
  user.Type(kSpeed, "7")
      .Do("the focus is back on the dialog", [](ui::DialogDriver& top) {
        EXPECT_EQ(CWnd::GetFocus(), &top.Dialog());
      })
      .Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.events, Contains("speed committed"));
  EXPECT_EQ(dialog.speed, 7.0) << "the commit handler took the value";
}

TEST_F(DialogTest, ATabChangeCanBeRefusedAndOtherwiseSwitchesThePages) {
  user.SelectTab(kTabs, "Test")
      .ExpectText(kStatus, "Enter a name first")
      .Expect(ui::ControlVisible(kLevel, true))
      .Type(kName, "Axis")
      .SelectTab(kTabs, 1)
      .Expect(ui::ControlVisible(kLevel, false))
      .Expect(ui::ControlVisible(kSlider, true))
      .Do("tab 1 is selected", [](ui::DialogDriver& top) { EXPECT_EQ(top.Control(kTabs).selection, 1); })
      .Close(IDCANCEL);
  Run();
}

// Each case: steps a user could not take, and the words of the error.
struct ImpossibleStep {
  const char* name;
  std::function<void(ui::TestAgent&)> step;
  const char* error;
};

class ImpossibleSteps : public DialogTest, public ::testing::WithParamInterface<ImpossibleStep> {};

TEST_P(ImpossibleSteps, FailWithTheDialogTheControlAndTheReason) {
  GetParam().step(user);
  EXPECT_THAT(ErrorOf([&] { Run(); }), HasSubstr(GetParam().error));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, ImpossibleSteps,
    ::testing::Values(
        ImpossibleStep{"Disabled", [](ui::TestAgent& u) { u.Type(kCount, "1"); },
                       "type \"1\" into 1006: cannot type into edit 1006 of \"Framework Test\": it is disabled"},
        ImpossibleStep{"Hidden", [](ui::TestAgent& u) { u.Slide(kSlider, 1); },
                       "cannot slide slider 1040 of \"Framework Test\": it is hidden"},
        ImpossibleStep{"NotClickable", [](ui::TestAgent& u) { u.Click(kSpeed); },
                       "cannot click edit 1004 of \"Framework Test\": it is an edit"},
        ImpossibleStep{"Missing", [](ui::TestAgent& u) { u.Click(4711); },
                       "click 4711: the dialog \"Framework Test\" has no control 4711"},
        ImpossibleStep{"ClearRadio", [](ui::TestAgent& u) { u.Check(kPosition, false); },
                       "a radio button is cleared by checking another of its group"},
        ImpossibleStep{"NoSuchTab", [](ui::TestAgent& u) { u.SelectTab(kTabs, "Graphs"); },
                       "has no tab \"Graphs\"; its tabs are \"Levels\", \"Test\""},
        ImpossibleStep{"NoSuchEntry", [](ui::TestAgent& u) { u.Select(kLevel, "Extreme"); },
                       "combo 1020 of \"Framework Test\" has no entry \"Extreme\"; its entries are \"Low\", "
                       "\"Medium\", \"High\""},
        ImpossibleStep{"Unanswered", [](ui::TestAgent& u) { u.Click(kAsk).Close(IDCANCEL); },
                       "click 1052: no answer was prepared for the message box \"Save the changes?\""},
        ImpossibleStep{"AnswerNoButton", [](ui::TestAgent& u) { u.Click(kAsk).Answer(IDRETRY); },
                       "the answer Retry does not fit the message box \"Save the changes?\", which offers Yes, No, "
                       "Cancel"},
        ImpossibleStep{"DisabledOk",  // neither Enter nor closing presses it
                       [](ui::TestAgent& u) {
                         u.Do("disable OK",
                              [](ui::DialogDriver& top) { top.Dialog().GetDlgItem(IDOK)->EnableWindow(false); })
                             .Keys("Enter")
                             .Expect(ui::TopDialogIs("Framework Test"))
                             .Close(IDOK);
                       },
                       "cannot close \"Framework Test\" with OK: button 1 \"OK\" is disabled"},
        ImpossibleStep{"RunUntilNever",
                       [](ui::TestAgent& u) {
                         u.RunUntil("the moon rises", [](ui::DialogDriver&) { return false; }, 2s);
                       },
                       "wait until the moon rises (at most 2000 ms): after 2000 ms it does not hold"},
        ImpossibleStep{"StepsLeftAfterClosing", [](ui::TestAgent& u) { u.Close(IDOK).Click(kAsk); },
                       ": click 1052: never ran: the dialogs had closed"}),
    [](const ::testing::TestParamInfo<ImpossibleStep>& param) { return param.param.name; });

TEST_F(DialogTest, AFailingStepNamesTheTestLineThatAskedForIt) {
  const int line = __LINE__ + 1;
  user.Click(4711);
  EXPECT_THAT(ErrorOf([&] { Run(); }), HasSubstr("dialog_test.cpp:" + std::to_string(line) + ": click 4711"));
}

// (The every-step script answers right after the click.)
TEST_F(DialogTest, AnAnswerGivenBeforeTheClickWaitsForTheBox) {
  user.Answer(IDNO).Click(kAsk).ExpectText(kStatus, "Answered No").Close(IDCANCEL);
  Run();
  const std::vector<ui::MessageBoxRecord>& boxes = session.MessageBoxes().Shown();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Framework Test");
  EXPECT_EQ(boxes[0].style, MB_YESNOCANCEL | MB_ICONQUESTION);
  EXPECT_EQ(boxes[0].answer, IDNO);
}

TEST_F(DialogTest, AKeyChordReachesPreTranslateMessageWithItsModifiersHeld) {
  user.Keys("Ctrl+Alt+Shift+E")
      .Expect(ui::ControlEnabled(kCount, true))
      .Do("the keys are released", [](ui::DialogDriver&) {
        EXPECT_GE(GetKeyState(VK_CONTROL), 0);
        EXPECT_GE(GetAsyncKeyState(VK_MENU), 0);
      })
      .Keys("Alt+E")
      .Keys("ctrl+alt+shift+e")
      .Expect(ui::ControlEnabled(kCount, false))
      .Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.events, ElementsAre("shown", "editing on", "editing off", "hidden"));
}

TEST_F(DialogTest, EnterPressesOkAndEscapeCancel) {
  user.Keys("Enter");
  EXPECT_EQ(Run(), IDOK);
  ui::TestAgent escape;
  escape.Keys("Esc");
  EXPECT_EQ(ui::RunWithAgent(dialog, escape), IDCANCEL);
}

TEST_F(DialogTest, ContextMenusGoToTheControlsObjectFirst) {
  user.ContextMenu(kPicture).ContextMenu(kGraph).Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.events, Contains("context 1043"));
  EXPECT_THAT(dialog.events, Not(Contains("context 1044")));
  EXPECT_EQ(dialog.graph.contextMenus, 1);
}

TEST_F(DialogTest, MenuCommandsAndUserMessagesReachTheirHandlers) {
  user.MenuCommand(kSaveCommand)
      .MenuCommand(10064)
      .Do("the graph changes a scale", [&](ui::DialogDriver&) { dialog.graph.ChangeScale(2, 5); })
      .Do("a user message is answered", [&](ui::DialogDriver&) {
        EXPECT_EQ(dialog.SendMessage(kScaleMessage, 7, MAKELPARAM(1, 9)), 1);
        EXPECT_EQ(dialog.SendMessage(WM_USER + 1), 0) << "no entry handles it";
      })
      .Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.events, ElementsAre("shown", "save", "plot command 10064", "scale 1044 channel 2 scale 5",
                                         "scale 7 channel 1 scale 9", "hidden"));
}

TEST_F(DialogTest, CommandsPassOnCommandBeforeTheMessageMap) {
  user.Click(kSpeedMode).Type(kSpeed, "1").Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.commandsSeen, ElementsAre(kSpeedMode, kSpeed, kSpeed, kSpeed, IDCANCEL))
      << "the click, the edit's focus, change and commit, and Cancel";
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr) << "Cancel still reached the map and closed the dialog";
  EXPECT_THAT(dialog.events, Contains("speed committed"));
}

TEST_F(DialogTest, AGraphTakesOverItsPlaceholder) {
  user.Do("the graph is the placeholder's object", [&](ui::DialogDriver& top) {
        EXPECT_EQ(top.Dialog().GetDlgItem(kGraph), &dialog.graph);
        EXPECT_EQ(dialog.graph.GetDlgCtrlID(), kGraph);
        EXPECT_EQ(dialog.graph.GetParent(), &dialog);
        TestGraph second;
        EXPECT_THROW(second.SubclassDlgItem(kGraph, &dialog), ui::DialogError);
        CEdit edit;
        EXPECT_THROW(edit.SubclassDlgItem(kLevel, &dialog), ui::DialogError);
        EXPECT_FALSE(edit.SubclassDlgItem(4711, &dialog));
      })
      .Close(IDCANCEL);
  Run();
}

TEST_F(DialogTest, ControlStateIsObservable) {
  user.Do("look at the controls", [&](ui::DialogDriver& top) {
        ui::Window& picture = top.Control(kPicture);
        EXPECT_EQ(picture.bitmap, "DIAGRAM_IDLE");
        EXPECT_EQ(static_cast<CStatic*>(top.Dialog().GetDlgItem(kPicture))->SetBitmap("DIAGRAM_RUN"), "DIAGRAM_IDLE");
        EXPECT_EQ(picture.bitmap, "DIAGRAM_RUN");
        EXPECT_EQ(top.Control(kSpeed).unitCombo, kUnit);
        EXPECT_EQ(top.Control(kModeGroup).text, "Mode");
        EXPECT_EQ(top.Control(kLevel).place.group, 2);
        dialog.graph.Invalidate();
        dialog.graph.UpdateWindow();
        dialog.graph.UpdateWindow();
        dialog.graph.RedrawWindow();
        EXPECT_EQ(top.Control(kGraph).invalidations, 1u);
        EXPECT_EQ(top.Control(kGraph).redraws, 2u) << "an update redraws only what was invalidated";
        dialog.CenterWindow();
        EXPECT_TRUE(dialog.GetSafeHwnd()->centred);
      })
      .Close(IDCANCEL);
  Run();
}

TEST_F(DialogTest, TheDialogGivesControlsTheirColours) {
  user.Do("no colour while idle", [](ui::DialogDriver& top) { EXPECT_FALSE(top.Colours(kStatus).text); })
      .Click(kPump)
      .Click(kStop)
      .Do("red once stopped", [](ui::DialogDriver& top) {
        EXPECT_EQ(top.Colours(kStatus).text, RGB(200, 0, 0));
        EXPECT_FALSE(top.Colours(kStatus).background);
      })
      .Close(IDCANCEL);
  Run();
}

}  // namespace
}  // namespace ui_test
