// The scope: frames decoded word by word, sampling grids, triggers and windows, settings checks.
#include <gtest/gtest.h>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

// A drive idling on the reference registers with Speed_Reference (int32) and THTST (int16)
// holding fixed values: nothing runs that writes them.
class Scope : public ::testing::Test {
 protected:
  Scope() : drive_(ReferenceHardware(), ReferenceMotor()) {
    EXPECT_TRUE(drive_.LoadRegisters(ReferenceRegisters()).ok());
    Set(100000, -5);
  }
  void Set(std::int32_t speedReference, std::int32_t angle) {
    drive_.WriteVariable("Speed_Reference", speedReference);
    drive_.WriteVariable("THTST", angle);
  }
  Drive drive_;
};

TEST_F(Scope, FramesCarryLengthAxisCodeIndexAndTheChannelWords) {
  ASSERT_TRUE(drive_.ArmScope({{"Speed_Reference", "THTST"}, 2, 1, 25, true, std::nullopt}).ok());
  drive_.RunUntil(0.01);
  const std::vector<UnsolicitedMessage> frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 2u);
  // 3 words per sample: 21 samples fill 63 payload words after the index word.
  const std::vector<std::uint16_t>& first = frames[0].words;
  ASSERT_EQ(first.size(), 67u);
  EXPECT_EQ(first[0], 64);
  EXPECT_EQ(first[1], 1);
  EXPECT_EQ(first[2], 0xE900);
  EXPECT_EQ(first[3], 0);
  // 100000 = 0x000186A0, low word first; −5 = 0xFFFB.
  for (int k = 0; k < 21; ++k) {
    EXPECT_EQ(first[4 + 3 * k], 0x86A0);
    EXPECT_EQ(first[5 + 3 * k], 0x0001);
    EXPECT_EQ(first[6 + 3 * k], 0xFFFB);
  }
  // Samples every Ts_C = 100 µs from t = 0: sample 20 at 2.0 ms, the window's last (24) at 2.4 ms.
  EXPECT_NEAR(frames[0].time_s, 0.0020, 1e-12);
  const std::vector<std::uint16_t>& last = frames[1].words;
  ASSERT_EQ(last.size(), 16u);
  EXPECT_EQ(last[0], 13);
  EXPECT_EQ(last[3], 21);
  EXPECT_NEAR(frames[1].time_s, 0.0024, 1e-12);
  EXPECT_FALSE(drive_.ScopeRunning());
  EXPECT_TRUE(drive_.TakeUnsolicitedMessages().empty());
}

TEST_F(Scope, NegativeInt32SplitsIntoTwoWordsAndFollowsTheVariable) {
  ASSERT_TRUE(drive_.ArmScope({{"Speed_Reference"}, 2, 1, 2, true, std::nullopt}).ok());
  drive_.RunUntil(0.00005);  // sample 0 at t = 0
  Set(-2, 0);
  drive_.RunUntil(0.001);
  const auto frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].words, (std::vector<std::uint16_t>{5, 1, 0xE900, 0, 0x86A0, 0x0001, 0xFFFE, 0xFFFF}));
}

struct GridCase {
  int type;
  int divider;
  double period_s;
};

class ScopeGrid : public Scope, public ::testing::WithParamInterface<GridCase> {};

// Three samples in one frame, sent at the third: two sampling periods after the first at t = 0.
TEST_P(ScopeGrid, SamplesEveryDividerPeriodsOfItsLoop) {
  ASSERT_TRUE(drive_.ArmScope({{"THTST"}, GetParam().type, GetParam().divider, 3, true, std::nullopt}).ok());
  drive_.RunUntil(0.1);
  const auto frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].words.size(), 7u);
  EXPECT_NEAR(frames[0].time_s, 2.0 * GetParam().period_s, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Grids, ScopeGrid,
                         ::testing::Values(GridCase{2, 1, 100e-6}, GridCase{2, 3, 300e-6}, GridCase{1, 1, 1e-3},
                                           GridCase{1, 4, 4e-3}));

// Values of Speed_Reference: 10 until the crossing, then 60; window 5 with 2 pre-trigger samples.
TEST_F(Scope, ATriggerOpensTheWindowWithThePretriggerSamples) {
  Set(10, 0);
  ScopeSettings settings{{"Speed_Reference"}, 1, 1, 5, false, ScopeTrigger{"Speed_Reference", 50, true, 2}};
  ASSERT_TRUE(drive_.ArmScope(settings).ok());
  drive_.RunUntil(0.0105);  // eleven slow samples below the level
  EXPECT_TRUE(drive_.TakeUnsolicitedMessages().empty());
  Set(60, 0);
  drive_.RunUntil(0.02);
  auto frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].words, (std::vector<std::uint16_t>{11, 1, 0xE900, 0, 10, 0, 10, 0, 60, 0, 60, 0, 60, 0}));
  EXPECT_NEAR(frames[0].time_s, 0.013, 1e-12);  // trigger sample at 11 ms, two more after it
  // Repeating: the next window waits for the next rising crossing; a falling one does not count.
  EXPECT_TRUE(drive_.ScopeRunning());
  Set(40, 0);
  drive_.RunUntil(0.03);
  EXPECT_TRUE(drive_.TakeUnsolicitedMessages().empty());
  Set(55, 0);
  drive_.RunUntil(0.04);
  frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].words[3], 0);
  EXPECT_EQ(frames[0].words[4], 40);
  EXPECT_EQ(frames[0].words[8], 55);
  drive_.DisarmScope();
  EXPECT_FALSE(drive_.ScopeRunning());
}

TEST_F(Scope, ContinuousWindowsRestartTheIndexAndDisarmingDropsWhatIsPending) {
  ASSERT_TRUE(drive_.ArmScope({{"THTST"}, 2, 1, 30, false, std::nullopt}).ok());
  drive_.RunUntil(0.0095);  // samples 0 … 95: three full windows and six samples of the fourth
  const auto frames = drive_.TakeUnsolicitedMessages();
  ASSERT_EQ(frames.size(), 3u);
  for (const auto& frame : frames) {
    EXPECT_EQ(frame.words[0], 31);
    EXPECT_EQ(frame.words[3], 0);
  }
  drive_.DisarmScope();
  drive_.RunUntil(0.02);
  EXPECT_TRUE(drive_.TakeUnsolicitedMessages().empty());
}

struct BadSettings {
  const char* name;
  ScopeSettings settings;
  const char* mentions;
};

class ScopeSettingsCheck : public Scope, public ::testing::WithParamInterface<BadSettings> {};

TEST_P(ScopeSettingsCheck, RefusesAndNamesWhatIsWrong) {
  const Status status = drive_.ArmScope(GetParam().settings);
  EXPECT_NE(status.error.find(GetParam().mentions), std::string::npos) << status.error;
  EXPECT_FALSE(drive_.ScopeRunning());
}

const std::vector<std::string> k22Int32(22, "Speed_Reference");  // 44 words
const std::vector<std::string> k32Int32(32, "Speed_Reference");  // 64 words: more than a frame holds

INSTANTIATE_TEST_SUITE_P(
    Faults, ScopeSettingsCheck,
    ::testing::Values(BadSettings{"NoChannel", {{}, 2, 1, 10, true, std::nullopt}, "channel"},
                      BadSettings{"UnknownChannel", {{"Bogus"}, 2, 1, 10, true, std::nullopt}, "Bogus"},
                      BadSettings{"TooWide", {k32Int32, 2, 1, 10, true, std::nullopt}, "64 words"},
                      BadSettings{"Type", {{"IQ"}, 3, 1, 10, true, std::nullopt}, "type 3"},
                      BadSettings{"Divider", {{"IQ"}, 2, 0, 10, true, std::nullopt}, "divider 0"},
                      BadSettings{"Window", {{"IQ"}, 2, 1, 0, true, std::nullopt}, "window of 0"},
                      BadSettings{"TriggerVariable", {{"IQ"}, 2, 1, 10, true, ScopeTrigger{"Nope", 0, true, 0}}, "Nope"},
                      BadSettings{"Pretrigger", {{"IQ"}, 2, 1, 10, true, ScopeTrigger{"IQ", 0, true, 10}}, "0 … 9"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Scope, AProgramVariableIsNoScopeChannel) {
  ASSERT_TRUE(drive_.Launch("IE_Initial_Positioning_Test", {{"In1", 0}}).ok());
  EXPECT_NE(drive_.ArmScope({{"In1"}, 2, 1, 10, true, std::nullopt}).error.find("In1"), std::string::npos);
  EXPECT_TRUE(drive_.ArmScope({k22Int32, 2, 1, 10, true, std::nullopt}).ok());
}

}  // namespace
}  // namespace drivesim::testing
