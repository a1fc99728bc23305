// The headless event loop: virtual time, window timers, posted messages, message pumps and the
// user agent's place in modal loops.
#include <chrono>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "ui/dialog_driver.h"
#include "ui/window.h"

namespace ui_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;
using namespace std::chrono_literals;

TEST(VirtualClock, MovesOnlyForward) {
  ui::VirtualClock clock;
  EXPECT_EQ(clock.Now(), 0ms);
  clock.Advance(20ms);
  clock.AdvanceTo(5ms);
  EXPECT_EQ(clock.Now(), 20ms);
}

TEST_F(DialogTest, TimersFireInOrderOfDueTimeWithKillsAndRearmsInsideHandlers) {
  user.Click(kStartTimers).Wait(160ms).Close(IDCANCEL);
  Run();
  // Timer 1 every 30 ms; timer 2 once at 50 ms, killing timer 3 due at the same time; timer 4
  // after 20 ms, then every 45 ms.
  EXPECT_THAT(dialog.timerLog, ElementsAre(Pair(20, 4), Pair(30, 1), Pair(50, 2), Pair(60, 1), Pair(65, 4),
                                           Pair(90, 1), Pair(110, 4), Pair(120, 1), Pair(150, 1), Pair(155, 4)));
}

TEST_F(DialogTest, TimersDueAtTheSameTimeFireInTheOrderTheyWereSet) {
  user.Do("set two timers", [&](ui::DialogDriver&) {
        dialog.SetTimer(7, 40);
        dialog.SetTimer(8, 20);
        dialog.SetTimer(9, 20);
        dialog.SetTimer(9, 40);  // setting again makes it the last one set
      })
      .Wait(40ms)
      .Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.timerLog, ElementsAre(Pair(20, 8), Pair(40, 7), Pair(40, 8), Pair(40, 9)));
}

TEST_F(DialogTest, ADialogsTimersStopWhenItEnds) {
  user.Do("set a timer and kill another", [&](ui::DialogDriver&) {
        EXPECT_EQ(dialog.SetTimer(5, 10), 5u);
        EXPECT_EQ(dialog.SetTimer(0, 10), 0u) << "a timer needs an id";
        EXPECT_FALSE(dialog.KillTimer(6));
      })
      .Close(IDCANCEL);
  Run();
  EXPECT_FALSE(session.Loop().NextTimerDue());
  EXPECT_EQ(dialog.SetTimer(5, 10), 0u) << "no window, no timer";
  session.Loop().AdvanceBy(100ms);
  EXPECT_TRUE(dialog.timerLog.empty());
}

TEST_F(DialogTest, AnHourOfA20MsTimerIs180000TicksOfVirtualTime) {
  user.Do("tick every 20 ms", [&](ui::DialogDriver&) { dialog.SetTimer(1, 20); }).Wait(1h).Close(IDCANCEL);
  Run();
  EXPECT_EQ(dialog.timerLog.size(), 180'000u);
  EXPECT_EQ(dialog.timerLog.back(), std::make_pair(3'600'000LL, std::uintptr_t{1}));
  EXPECT_EQ(session.Clock().Now(), 1h);
}

TEST_F(DialogTest, PostedMessagesWaitForTheLoopAndComeInOrder) {
  user.Do("post two messages", [&](ui::DialogDriver&) {
        EXPECT_TRUE(dialog.PostMessage(kScaleMessage, 1, MAKELPARAM(1, 1)));
        EXPECT_TRUE(dialog.PostMessage(kScaleMessage, 2, MAKELPARAM(2, 2)));
        EXPECT_EQ(dialog.events.size(), 1u) << "nothing is dispatched while the handler runs";
      })
      .Close(IDCANCEL);
  Run();
  EXPECT_THAT(dialog.events, ElementsAre("shown", "scale 1 channel 1 scale 1", "scale 2 channel 2 scale 2", "hidden"));
  EXPECT_FALSE(dialog.PostMessage(kScaleMessage)) << "a closed dialog takes no messages";
}

TEST_F(DialogTest, WaitingInsideAPumpLetsAMillisecondPassPerPump) {
  user.Click(kPump).Wait(10ms).Click(kStop).Close(IDCANCEL);
  Run();
  EXPECT_EQ(session.Clock().Now(), 10ms);
  EXPECT_EQ(dialog.pumps, 12) << "the wait begins in pump 1, lasts 10 pumps, Stop comes in pump 12";
}

TEST_F(DialogTest, APumpWithNothingToDoForeverIsAnError) {
  session.Loop().SetIdlePumpLimit(100);
  user.Click(kPump);
  EXPECT_THAT(ErrorOf([&] { Run(); }),
              HasSubstr("click 1053: the message pump ran 100 times with nothing to do while the dialog "
                        "\"Framework Test\" was open"));
}

TEST_F(DialogTest, AWaitThatIsNotMetFailsNamingItsCondition) {
  user.Click(kStartTimers).WaitUntil(ui::ControlShows(kStatus, "Timer 3 at 50"), 100ms);
  EXPECT_THAT(ErrorOf([&] { Run(); }),
              HasSubstr("wait until 1001 shows \"Timer 3 at 50\" (at most 100 ms): after 100 ms it shows \"Timer 1 at 90\""));
  EXPECT_EQ(session.Clock().Now(), 100ms);
}

TEST_F(DialogTest, AnAgentWithNoMoreActionsForAnOpenDialogNamesIt) {
  user.Click(kOpenChild);
  EXPECT_THAT(ErrorOf([&] { Run(); }),
              HasSubstr("click 1050: the user agent has no more actions for the open dialog \"Framework Test 2\""));
  EXPECT_EQ(session.Loop().TopDialog(), nullptr) << "both dialogs closed on the way out";
}

TEST_F(DialogTest, ADialogWithoutAUserAgentCannotRun) {
  EXPECT_THAT(ErrorOf<ui::NoMoreActions>([&] { dialog.DoModal(); }),
              HasSubstr("no user agent drives the open dialog \"Framework Test\""));
}

}  // namespace
}  // namespace ui_test
