// The drive's scope through the host's link: frames delivered to the registered handler up to
// the host's present time, the stopped state, and the offline link's refusals.
#include <gtest/gtest.h>

#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "ui/event_loop.h"

namespace drivesim::link {
namespace {

std::vector<std::vector<std::uint16_t>> g_frames;

int CollectFrame(const std::uint16_t* message) {
  g_frames.emplace_back(message, message + 3 + message[0]);
  return 0xE900;
}

// Slow samples every 1 ms from the arming at 0 ms, one int16 channel (63 samples a frame), window
// 100: frames at 62 ms and 99 ms. Each check delivers what the drive sent until it leaves.
TEST(ScopeLink, DeliversTheFramesSentUpToNowAndReportsTheFullWindow) {
  ui::EventLoop loop{ui::DefaultMessageBoxes()};
  ui::SetCurrentEventLoop(&loop);
  DialogClock clock;
  const CMC_Setup setup = kestrel::LoadDefaultSetup();
  const std::unique_ptr<SimulatorLink> link = ConnectSimulator(setup, {}, clock);
  CMC_Comm::SetActiveLink(link.get());
  const auto previous = CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(CollectFrame);
  int running = 0;
  ASSERT_TRUE(CMC_Comm::ArmScope({{"THTST"}, 1, 1, 100, true, std::nullopt})) << CMC_Comm::GetLastErrorText();
  loop.AdvanceBy(ui::Milliseconds(50));
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 0);
  loop.AdvanceBy(ui::Milliseconds(20));
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 1);
  ASSERT_TRUE(CMC_Comm::GetScopeRunning(running));
  EXPECT_EQ(running, 1);
  loop.AdvanceBy(ui::Milliseconds(40));
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 1);
  ASSERT_TRUE(CMC_Comm::GetScopeRunning(running));
  EXPECT_EQ(running, 0);
  ASSERT_EQ(g_frames.size(), 2u);
  EXPECT_EQ(g_frames[0][0], 64);
  EXPECT_EQ(g_frames[1][0], 38);
  EXPECT_EQ(g_frames[1][3], 63);
  EXPECT_FALSE(CMC_Comm::ArmScope({{"IQ", "Bogus"}, 1, 1, 200, true, std::nullopt}));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "The drive refused to arm the scope: the drive has no variable Bogus for the scope");
  CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(previous);
  CMC_Comm::SetActiveLink(nullptr);
  ui::SetCurrentEventLoop(nullptr);
}

TEST(ScopeLink, OfflineEveryScopeOperationFailsNamingIt) {
  int running = 0;
  EXPECT_FALSE(CMC_Comm::ArmScope({{"IQ"}, 2, 1, 10, true, std::nullopt}));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "No drive is connected: cannot arm the scope");
  EXPECT_FALSE(CMC_Comm::DisarmScope());
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "No drive is connected: cannot stop the scope");
  EXPECT_FALSE(CMC_Comm::GetScopeRunning(running));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "No drive is connected: cannot read the scope state");
}

}  // namespace
}  // namespace drivesim::link
