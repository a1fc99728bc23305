// The real-time back end: modal loops that wait for the next timer or the next action of a front
// end, refused actions, message boxes answered from the page, and the queue the server posts to.
#include <chrono>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "ui/menu.h"
#include "ui/real_time_agent.h"

namespace ui_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;
using namespace std::chrono_literals;

// Actions that the user takes at given times of a virtual clock: waiting for one moves the clock
// to the action's time, or to the deadline when that comes first.
class TimedActions : public ui::ActionSource {
 public:
  explicit TimedActions(ui::Clock& clock) : clock_(clock) {}
  void At(ui::Milliseconds time, ui::Step step) { actions_.push_back({time, {++count_, std::move(step)}}); }

  std::optional<ui::UserAction> Next(std::optional<ui::Milliseconds> deadline) override {
    if (actions_.empty() || (deadline && *deadline < actions_.front().first)) {
      if (deadline) clock_.AdvanceTo(*deadline);
      return std::nullopt;
    }
    clock_.AdvanceTo(actions_.front().first);
    return Poll();
  }
  std::optional<ui::UserAction> Poll() override {
    if (actions_.empty() || actions_.front().first > clock_.Now()) return std::nullopt;
    ui::UserAction action = std::move(actions_.front().second);
    actions_.pop_front();
    return action;
  }
  bool Closed() const override { return actions_.empty(); }

 private:
  ui::Clock& clock_;
  std::deque<std::pair<ui::Milliseconds, ui::UserAction>> actions_;
  std::uint64_t count_ = 0;
};

class RecordingListener : public ui::RealTimeListener {
 public:
  void Show(ui::EventLoop& loop, const ui::MessageBoxRecord* box) override {
    shown.emplace_back(loop.Clock().Now().count(), box != nullptr ? box->text : "");
  }
  void Done(const ui::UserAction& action, const std::string& error) override {
    done.emplace_back(action.sequence, error);
  }
  void PopupShown(const ui::PopupMenu* popup) override { popups.push_back(popup != nullptr ? popup->items.size() : 0); }
  std::vector<std::size_t> popups;  // the items of each popup shown, 0 when it went
  std::vector<std::pair<long long, std::string>> shown;
  std::vector<std::pair<std::uint64_t, std::string>> done;
};

class RealTimeAgentTest : public DialogTest {
 protected:
  int RunLive() {
    session.Use(agent);
    return dialog.DoModal();
  }
  TimedActions actions{session.Clock()};
  RecordingListener listener;
  ui::RealTimeAgent agent{actions, listener};
};

TEST_F(RealTimeAgentTest, TheLoopWaitsForWhicheverComesFirstTheNextTimerOrTheNextAction) {
  actions.At(0ms, ui::steps::Click(kStartTimers));
  actions.At(55ms, ui::steps::Type(kName, "Axis 7"));
  actions.At(100ms, ui::steps::Close(IDCANCEL));
  EXPECT_EQ(RunLive(), IDCANCEL);
  EXPECT_THAT(dialog.timerLog, ElementsAre(Pair(20, 4), Pair(30, 1), Pair(50, 2), Pair(60, 1), Pair(65, 4),
                                           Pair(90, 1)));
  EXPECT_THAT(listener.done, ElementsAre(Pair(1, ""), Pair(2, ""), Pair(3, "")));
  // Settled after the start, after each timer and after the typing, which came between two timers.
  EXPECT_THAT(listener.shown, ElementsAre(Pair(0, ""), Pair(0, ""), Pair(20, ""), Pair(30, ""), Pair(50, ""),
                                          Pair(55, ""), Pair(60, ""), Pair(65, ""), Pair(90, "")));
}

TEST_F(RealTimeAgentTest, ARefusedActionIsReportedAndTheDialogCarriesOn) {
  actions.At(0ms, ui::steps::Click(9999));
  actions.At(1ms, ui::steps::Answer(IDYES));
  actions.At(2ms, ui::steps::Close(IDOK));
  EXPECT_EQ(RunLive(), IDOK);
  ASSERT_EQ(listener.done.size(), 3u);
  EXPECT_THAT(listener.done[0].second, HasSubstr("has no control 9999"));
  EXPECT_EQ(listener.done[1].second, "no message box is open");
  EXPECT_EQ(listener.done[2].second, "");
}

TEST_F(RealTimeAgentTest, AMessageBoxWaitsForAnAnswerThatItOffers) {
  actions.At(0ms, ui::steps::Click(kAsk));
  actions.At(1ms, ui::steps::Click(kOpenChild));
  actions.At(2ms, ui::steps::Answer(IDOK));
  actions.At(3ms, ui::steps::Answer(IDYES));
  actions.At(4ms, ui::steps::Answer(IDOK));  // "Saved."
  actions.At(5ms, ui::steps::Expect(ui::ControlShows(kStatus, "Answered Yes")));
  actions.At(6ms, ui::steps::Close(IDCANCEL));
  RunLive();
  EXPECT_THAT(listener.done, ElementsAre(Pair(2, "the message box \"Save the changes?\" waits for an answer"),
                                         Pair(3, "the message box \"Save the changes?\" has no \"OK\" button"),
                                         Pair(4, ""), Pair(5, ""), Pair(1, ""), Pair(6, ""),
                                         Pair(7, "")));
  EXPECT_THAT(listener.shown, ::testing::IsSupersetOf({Pair(2, "Save the changes?"), Pair(3, "Saved.")}));
  ASSERT_EQ(session.MessageBoxes().Shown().size(), 2u);
  EXPECT_EQ(session.MessageBoxes().Shown()[1].answer, IDOK);
}

// The right-click is answered once its popup is gone; the typing that dismissed it is not lost.
TEST_F(RealTimeAgentTest, APopupWaitsWhileTimersRunAndTheActionThatDismissesItIsDoneNext) {
  ui::MenuResources().Add(ui::ParseMenuResource(kGraphMenuJson, "graph menu"));
  actions.At(0ms, ui::steps::Click(kStartTimers));
  actions.At(1ms, ui::steps::ContextMenu(kGraph));
  actions.At(40ms, ui::steps::MenuCommand(10065));
  actions.At(55ms, ui::steps::Type(kName, "Axis 7"));
  actions.At(56ms, ui::steps::Expect(ui::ControlShows(kName, "Axis 7")));
  actions.At(57ms, ui::steps::Close(IDCANCEL));
  RunLive();
  EXPECT_THAT(listener.popups, ElementsAre(4, 0));
  EXPECT_THAT(dialog.timerLog, ElementsAre(Pair(20, 4), Pair(30, 1), Pair(50, 2)));
  EXPECT_THAT(listener.done, ElementsAre(Pair(1, ""), Pair(3, HasSubstr("not an enabled item")), Pair(2, ""),
                                         Pair(4, ""), Pair(5, ""), Pair(6, "")));
}

TEST_F(RealTimeAgentTest, AClosedSourceEndsTheModalLoop) {
  actions.At(0ms, ui::steps::Click(kStartTimers));
  EXPECT_THROW(RunLive(), ui::NoMoreActions);
}

TEST(ActionQueue, AnActionPostedByAnotherThreadWakesTheWaitAndADeadlinePassesOnTheRealClock) {
  ui::SteadyClock clock;
  ui::ActionQueue queue(clock);
  EXPECT_FALSE(queue.Next(clock.Now() + 5ms));
  EXPECT_GE(clock.Now(), 5ms);
  std::thread server([&] { queue.Post({42, ui::steps::Click(1)}); });
  const std::optional<ui::UserAction> action = queue.Next(std::nullopt);
  server.join();
  ASSERT_TRUE(action);
  EXPECT_EQ(action->sequence, 42u);
  queue.Close();
  queue.Post({43, ui::steps::Click(1)});
  EXPECT_FALSE(queue.Next(std::nullopt));
  EXPECT_TRUE(queue.Closed());
}

}  // namespace
}  // namespace ui_test
