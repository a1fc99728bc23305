// The drive's scope through the host's link: arming, frames delivered to the registered handler
// up to the host's present time, the stopped state, and the offline link's refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/offline_link.h"
#include "drivebase/program_launch.h"
#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "ui/event_loop.h"

namespace drivesim::link {
namespace {

using ::testing::HasSubstr;
using Ms = ui::Milliseconds;

std::vector<std::vector<std::uint16_t>> g_frames;

int CollectFrame(const std::uint16_t* message) {
  g_frames.emplace_back(message, message + 3 + message[0]);
  return 0xE900;
}

class ScopeLink : public ::testing::Test {
 protected:
  ScopeLink() {
    ui::SetCurrentEventLoop(&loop_);
    link_ = ConnectSimulator(setup_, {}, clock_);
    CMC_Comm::SetActiveLink(link_.get());
    previous_ = CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(CollectFrame);
    g_frames.clear();
  }
  ~ScopeLink() override {
    CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(previous_);
    CMC_Comm::SetActiveLink(nullptr);
    ui::SetCurrentEventLoop(nullptr);
  }

  ui::EventLoop loop_{ui::DefaultMessageBoxes()};
  DialogClock clock_;
  CMC_Setup setup_ = kestrel::LoadDefaultSetup();
  std::unique_ptr<SimulatorLink> link_;
  CMC_Comm::UnsolicitedMsgHandler previous_ = nullptr;
};

// Slow samples every Ts_S = 1 ms from the arming at 0 ms, one int16 channel (63 samples per
// frame), window 100: frames at 62 ms and 99 ms. Each check delivers what the drive sent up to
// the moment the check leaves.
TEST_F(ScopeLink, DeliversTheFramesSentUpToNowAndReportsTheFullWindow) {
  ASSERT_TRUE(CMC_Comm::ArmScope({{"THTST"}, 1, 1, 100, true, std::nullopt})) << CMC_Comm::GetLastErrorText();
  loop_.AdvanceBy(Ms(50));
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 0);
  loop_.AdvanceBy(Ms(20));
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 1);
  int running = 0;
  ASSERT_TRUE(CMC_Comm::GetScopeRunning(running));
  EXPECT_EQ(running, 1);
  loop_.AdvanceBy(Ms(40));
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 1);
  ASSERT_TRUE(CMC_Comm::GetScopeRunning(running));
  EXPECT_EQ(running, 0);
  ASSERT_EQ(g_frames.size(), 2u);
  EXPECT_EQ(g_frames[0][0], 64);
  EXPECT_EQ(g_frames[0][2], 0xE900);
  EXPECT_EQ(g_frames[1][0], 38);
  EXPECT_EQ(g_frames[1][3], 63);
  EXPECT_TRUE(CMC_Comm::DisarmScope());
}

// Armed right after a launch, the scope shows the preliminary's current rising to In1 (1.5 A).
TEST_F(ScopeLink, FollowsTheRunningProgram) {
  drivebase::ProgramLaunch launch{"IE_Initial_Positioning_Test", 1, drivebase::SetupRegisters(setup_), {}, {}, {}};
  launch.variables.push_back({"In1", 4910, 1});
  ASSERT_NE(CMC_Comm::Launch(launch), 0u) << CMC_Comm::GetLastErrorText();
  ASSERT_TRUE(CMC_Comm::ArmScope({{"IQ"}, 1, 1, 200, true, std::nullopt})) << CMC_Comm::GetLastErrorText();
  loop_.AdvanceBy(Ms(300));
  ASSERT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 4);
  const auto iq = [](std::uint16_t word) { return static_cast<std::int16_t>(word); };
  EXPECT_EQ(g_frames[0][3], 0);
  EXPECT_LT(iq(g_frames[0][4]), 200);
  EXPECT_NEAR(iq(g_frames[3].back()), 4910, 200);
  EXPECT_FALSE(CMC_Comm::ArmScope({{"IQ", "Bogus"}, 1, 1, 200, true, std::nullopt}));
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("Bogus"));
}

struct OfflineCase {
  const char* name;
  bool (*attempt)();
  const char* text;
};

class OfflineScope : public ::testing::TestWithParam<OfflineCase> {};

TEST_P(OfflineScope, FailsNamingTheOperation) {
  CMC_Comm::SetActiveLink(nullptr);
  EXPECT_FALSE(GetParam().attempt());
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, OfflineScope,
    ::testing::Values(
        OfflineCase{"Arm", [] { return CMC_Comm::ArmScope({{"IQ"}, 2, 1, 10, true, std::nullopt}); },
                    "No drive is connected: cannot arm the scope"},
        OfflineCase{"Disarm", [] { return CMC_Comm::DisarmScope(); }, "No drive is connected: cannot stop the scope"},
        OfflineCase{"State",
                    [] {
                      int running = 0;
                      return CMC_Comm::GetScopeRunning(running);
                    },
                    "No drive is connected: cannot read the scope state"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::link
