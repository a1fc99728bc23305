// The scope: frames decoded word by word, sampling grids, trigger windows, settings checks.
#include <gtest/gtest.h>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

// An idle drive whose Speed_Reference (int32) and THTST (int16) only change when a test sets them.
class Scope : public ::testing::Test {
 protected:
  Scope() : drive_(LoadedDrive()) {}
  void Set(std::int32_t speedReference, std::int32_t angle = -5) {
    drive_.WriteVariable("Speed_Reference", speedReference);
    drive_.WriteVariable("THTST", angle);
  }
  Drive drive_;
};

// 3 words a sample, 21 samples fill the 63 payload words after the index word. −100000 =
// 0xFFFE7960 goes low word first; −5 = 0xFFFB. Samples every Ts_C from t = 0: the 21st at 2.0 ms,
// the window's last (25th) at 2.4 ms, in a frame of 4 samples starting at index 21.
TEST_F(Scope, FramesCarryLengthAxisCodeIndexAndTheChannelWords) {
  Set(-100000);
  ASSERT_TRUE(drive_.ArmScope({{"Speed_Reference", "THTST"}, 2, 1, 25, true, std::nullopt}).ok());
  drive_.RunUntil(0.01);
  const std::vector<UnsolicitedMessage> frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 2u);
  ASSERT_EQ(frames[0].words.size(), 67u);
  EXPECT_EQ(std::vector<std::uint16_t>(frames[0].words.begin(), frames[0].words.begin() + 10),
            (std::vector<std::uint16_t>{64, 1, 0xE900, 0, 0x7960, 0xFFFE, 0xFFFB, 0x7960, 0xFFFE, 0xFFFB}));
  EXPECT_NEAR(frames[0].time_s, 0.0020, 1e-12);
  EXPECT_EQ(frames[1].words.size(), 16u);
  EXPECT_EQ(frames[1].words[0], 13);
  EXPECT_EQ(frames[1].words[3], 21);
  EXPECT_NEAR(frames[1].time_s, 0.0024, 1e-12);
  EXPECT_FALSE(drive_.ScopeRunning());
}

// Three samples in one frame, sent at the third: two sampling periods after the first, at
// 0.6 ms for every third current period and at 8 ms for every fourth speed period.
TEST(ScopeGrid, SamplesEveryDividerPeriodsOfItsLoop) {
  for (const auto& [type, divider, sent_s] : {std::tuple{2, 3, 600e-6}, std::tuple{1, 4, 8e-3}}) {
    Drive drive = LoadedDrive();
    ASSERT_TRUE(drive.ArmScope({{"THTST"}, type, divider, 3, true, std::nullopt}).ok());
    drive.RunUntil(0.1);
    const auto frames = drive.TakeUnsolicitedMessages();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_NEAR(frames[0].time_s, sent_s, 1e-12);
  }
}

// Slow samples of 10 until 10 ms, then 60: the rising crossing at 11 ms opens a window of 5 with
// the 2 samples before it. Repeating, the next window waits for the next rising crossing (the
// fall to 40 does not count) and restarts at index 0.
TEST_F(Scope, ATriggerOpensTheWindowWithThePretriggerSamples) {
  Set(10);
  ASSERT_TRUE(drive_.ArmScope({{"Speed_Reference"}, 1, 1, 5, false, ScopeTrigger{"Speed_Reference", 50, true, 2}}).ok());
  drive_.RunUntil(0.0105);
  Set(60);
  drive_.RunUntil(0.02);
  auto frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].words, (std::vector<std::uint16_t>{11, 1, 0xE900, 0, 10, 0, 10, 0, 60, 0, 60, 0, 60, 0}));
  EXPECT_NEAR(frames[0].time_s, 0.013, 1e-12);
  Set(40);
  drive_.RunUntil(0.03);
  EXPECT_TRUE(drive_.TakeUnsolicitedMessages().empty());
  Set(55);
  drive_.RunUntil(0.04);
  frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].words[3], 0);
  EXPECT_EQ(frames[0].words[4], 40);
  EXPECT_EQ(frames[0].words[8], 55);
}

class ScopeSettingsCheck : public Scope, public ::testing::WithParamInterface<std::pair<ScopeSettings, const char*>> {};

TEST_P(ScopeSettingsCheck, RefusesAndNamesWhatIsWrong) {
  const Status status = drive_.ArmScope(GetParam().first);
  EXPECT_NE(status.error.find(GetParam().second), std::string::npos) << status.error;
  EXPECT_FALSE(drive_.ScopeRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScopeSettingsCheck,
    ::testing::Values(std::pair{ScopeSettings{{"Bogus"}, 2, 1, 10, true, std::nullopt}, "Bogus"},
                      std::pair{ScopeSettings{std::vector<std::string>(32, "Load_Position"), 2, 1, 10, true, std::nullopt},
                                "64 words"},
                      std::pair{ScopeSettings{{"IQ"}, 3, 1, 10, true, std::nullopt}, "type 3"},
                      std::pair{ScopeSettings{{"IQ"}, 2, 1, 0, true, std::nullopt}, "window of 0"},
                      std::pair{ScopeSettings{{"IQ"}, 2, 1, 10, true, ScopeTrigger{"IQ", 0, true, 10}}, "0 … 9"}));

}  // namespace
}  // namespace drivesim::testing
