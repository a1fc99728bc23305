// The scope logger against a drive that sends the frames a test gives it: the scope armed from
// the settings, frames written into the window (short ones, ones beyond the window and ones
// before arming rejected), the stop in single and normal mode, the settings in a setup option,
// the settings and file dialogs, and the host's oscilloscope.
#include <cmath>
#include <regex>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "drivebase/scope_logger.h"
#include "drivebase/test_dlg.h"
#include "drivebase/variable.h"
#include "kestrel/default_setup.h"
#include "ui/session.h"
#include "ui/test_agent.h"

namespace {

using drivebase::kScopeNormal;
using drivebase::kScopeRising;
using drivebase::kScopeSingle;

// The drive's scope as the host sees it: arming is recorded, the running state and the frames
// are the test's.
class FrameDrive : public drivebase::DriveLink {
 public:
  bool WriteValue(std::string_view, double, int) override { return true; }
  bool ReadValue(std::string_view, int, double&) override { return true; }
  bool Launch(const drivebase::ProgramLaunch& launch) override {
    launches.push_back(launch);
    return !refuseLaunch || Fail("drive refused the program");
  }
  bool ArmScope(const drivebase::ScopeSettings& settings) override {
    armed = settings;
    running = true;
    return true;
  }
  bool DisarmScope() override {
    if (refuseDisarm) return Fail("link lost");
    running = false;
    return true;
  }
  bool GetScopeRunning(bool& state) override {
    state = running;
    return true;
  }
  bool ReceiveUnsolicited(std::vector<drivebase::UnsolicitedMessage>& messages) override {
    messages = std::exchange(pending, {});
    return true;
  }

  std::optional<drivebase::ScopeSettings> armed;
  std::vector<drivebase::ProgramLaunch> launches;
  std::vector<drivebase::UnsolicitedMessage> pending;
  bool running = false, refuseDisarm = false, refuseLaunch = false;
};

CMC_ScopeLogger* g_scope = nullptr;

int DeliverFrame(const std::uint16_t* message) {
  g_scope->OnFrameReceive(reinterpret_cast<const std::uint8_t*>(message + 3), message[0] * 2);
  return 0xE900;
}

class ScopeLoggerTest : public ::testing::Test {
 protected:
  ScopeLoggerTest() {
    CMC_Comm::SetActiveLink(&drive);
    g_scope = &scope;
  }
  ~ScopeLoggerTest() override { CMC_Comm::SetActiveLink(nullptr); }

  // Channels Speed_Reference (two words) and IQ (one), in internal units.
  void ArmTwoChannels(int mode) {
    ASSERT_TRUE(scope.AddVariable("Speed_Reference", 0) && scope.AddVariable("IQ", 0));
    ASSERT_TRUE(scope.ChangeSettings(0.5, mode, kScopeRising, "", 0.0, 0));
    std::optional<drivebase::LoggerSettings> launchWith;
    ASSERT_TRUE(scope.StartCapture(launchWith)) << scope.LastError();
    EXPECT_FALSE(launchWith.has_value());
  }
  int Frame(std::vector<std::uint16_t> payload) {
    return scope.OnFrameReceive(reinterpret_cast<const std::uint8_t*>(payload.data()),
                                static_cast<int>(payload.size() * 2));
  }
  double Row(std::size_t row, std::size_t column) const { return scope.GetGraphDocument().Value(row, column); }

  ui::HeadlessSession session;
  FrameDrive drive;
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  CMC_ScopeLogger scope{&setup, nullptr};
};

// The default setup samples every 2 · SLPER · PWMPER / DSP_freq = 2 · 20 · 1000 / 40 MHz = 1 ms:
// 2.5 s fit the 1000 samples of the scope's memory every 3 ms (divider 3), 833 samples, of which
// 20 % = 166 before the trigger, the first at −166 · 3 ms.
TEST_F(ScopeLoggerTest, ArmsTheDriveScopeWithTheWindowAndTheLevelInInternalUnits) {
  ASSERT_TRUE(scope.AddVariable("Speed_Reference", 1) && scope.AddVariable("IQ", 1));
  ASSERT_TRUE(scope.ChangeSettings(2.5, kScopeSingle, kScopeRising, "Speed_Reference", 950.0, 20));
  CMC_TestDlg test(&setup, 102, 1, nullptr);
  ASSERT_EQ(test.ExecuteCode("IE_Speed_Controller_Tuning_Test", nullptr, &scope, nullptr, nullptr), 1);
  ASSERT_TRUE(drive.armed.has_value() && drive.armed->trigger.has_value());
  EXPECT_FALSE(drive.launches.at(0).logger.has_value()) << "the scope replaces the data logger";
  EXPECT_EQ(drive.armed->channels, (std::vector<std::string>{"Speed_Reference", "IQ"}));
  EXPECT_EQ(std::tuple(drive.armed->type, drive.armed->divider, drive.armed->window, drive.armed->single),
            std::tuple(1, 3, 833, true));
  const CMC_Variable& speed = *setup.FindVariable("Speed_Reference");
  const double perRpm = drivebase::BaseUnitsPerUnit(speed.GetUnitType(), "rpm");
  EXPECT_DOUBLE_EQ(drive.armed->trigger->level, speed.InternalFromBase(950.0 * perRpm));
  EXPECT_EQ(drive.armed->trigger->pretrigger, 166);
  EXPECT_EQ(scope.GetPointsNo(), 833u);
  EXPECT_NEAR(Row(0, 0), -0.498, 1e-12);

  // A launch the drive refuses leaves no capture behind.
  drive.refuseLaunch = true;
  EXPECT_EQ(test.ExecuteCode("IE_Speed_Controller_Tuning_Test", nullptr, &scope, nullptr, nullptr), 0);
  EXPECT_FALSE(drive.running);
  EXPECT_FALSE(scope.UploadInProgress());
}

struct FrameCase {
  const char* name;
  bool armed;
  std::vector<std::uint16_t> payload;
  int written;
};

class ScopeFrame : public ScopeLoggerTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(ScopeFrame, IsWrittenIntoTheWindowOnlyWhenWhole) {
  if (GetParam().armed) ArmTwoChannels(kScopeSingle);
  EXPECT_EQ(Frame(GetParam().payload), GetParam().written);
  EXPECT_EQ(scope.GetPointsToBeDrawn(), GetParam().written);
}

// Three words a sample: Speed_Reference low word, high word, then IQ.
INSTANTIATE_TEST_SUITE_P(Frames, ScopeFrame,
                         ::testing::Values(FrameCase{"two_samples", true, {7, 1, 2, 3, 4, 5, 6}, 2},
                                           FrameCase{"before_arming", false, {0, 1, 2, 3}, 0},
                                           FrameCase{"a_word_short", true, {0, 1, 2, 3, 4, 5}, 0},
                                           FrameCase{"index_only", true, {0}, 0},
                                           FrameCase{"beyond_the_window", true, {65535, 1, 2, 3}, 0}),
                         [](const auto& frame) { return std::string(frame.param.name); });

// The saved window (the live plot's file) reads back into another scope logger.
TEST_F(ScopeLoggerTest, DecodesInt32LowWordFirstAndSignedInt16AtTheFrameIndexAndSavesTheWindow) {
  ArmTwoChannels(kScopeSingle);
  const std::size_t last = scope.GetPointsNo() - 1;
  EXPECT_EQ(Frame({static_cast<std::uint16_t>(last), 0x86A0, 0x0001, 0xFFFB}), 1);
  EXPECT_EQ(scope.FirstPointToBeDrawn(), last);
  EXPECT_DOUBLE_EQ(Row(last, 1), 100000.0);
  EXPECT_DOUBLE_EQ(Row(last, 2), -5.0);
  EXPECT_EQ(Frame({0, 0x0000, 0x8000, 0x7FFF}), 1);
  EXPECT_DOUBLE_EQ(Row(0, 1), -2147483648.0);
  EXPECT_DOUBLE_EQ(Row(0, 2), 32767.0);
  const std::string path = ::testing::TempDir() + "/scope_window.json";
  ASSERT_TRUE(scope.Save(path)) << scope.LastError();
  CMC_ScopeLogger loaded(&setup, nullptr);
  ASSERT_TRUE(loaded.Load(path)) << loaded.LastError();
  EXPECT_EQ(loaded.GetPointsNo(), scope.GetPointsNo());
  EXPECT_EQ(loaded.GetGraphDocument().Value(last, 1), 100000.0);
  EXPECT_EQ(loaded.GetGraphDocument().Value(last, 0), Row(last, 0));
}

TEST_F(ScopeLoggerTest, SingleWindowStopsOnceFullAndDeliversItsLastFrames) {
  ArmTwoChannels(kScopeSingle);
  const auto previous = CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(DeliverFrame);
  EXPECT_FALSE(scope.DoGracefulStop());
  drive.pending.push_back({4, 1, 0xE900, 3, 10, 0, 20});
  drive.running = false;
  EXPECT_TRUE(scope.DoGracefulStop());
  EXPECT_DOUBLE_EQ(Row(3, 1), 10.0) << "the frame waiting on the link reached the window";
  scope.EndUploadData();
  EXPECT_FALSE(scope.UploadInProgress());
  CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(previous);
}

TEST_F(ScopeLoggerTest, NormalModeRunsUntilTheUploadEndsAndALostLinkKeepsItRunning) {
  ArmTwoChannels(kScopeNormal);
  EXPECT_FALSE(scope.DoGracefulStop());
  drive.refuseDisarm = true;
  scope.EndUploadData();
  EXPECT_TRUE(scope.UploadInProgress());
  EXPECT_FALSE(scope.DoGracefulStop());
  drive.refuseDisarm = false;
  scope.EndUploadData();
  EXPECT_FALSE(drive.running);
  EXPECT_TRUE(scope.DoGracefulStop());
  EXPECT_EQ(Frame({0, 1, 2, 3}), 0) << "a frame after the stop";
}

TEST_F(ScopeLoggerTest, SettingsSurviveTheSetupOptionAndABadTextChangesNothing) {
  ASSERT_TRUE(scope.AddVariable("Speed_Reference", 1) && scope.AddVariable("IQ", 0));
  ASSERT_TRUE(scope.ChangeSettings(0.25, kScopeNormal, kScopeRising, "Speed_Reference", -12.5, 30));
  ASSERT_TRUE(scope.RescaleVariable("IQ", "A", 0.5, -1.0));
  scope.SaveSettingsToSetupOption("SpeedTuningOscSettings");
  CMC_ScopeLogger loaded(&setup, nullptr);
  ASSERT_TRUE(loaded.LoadSettingsFromSetupOption("SpeedTuningOscSettings"));
  EXPECT_EQ(loaded.ChannelName(1), "IQ");
  EXPECT_EQ(loaded.ChannelScale(1).unit, "A");
  EXPECT_DOUBLE_EQ(loaded.ChannelScale(1).offset, -1.0);
  EXPECT_EQ(loaded.TriggerMode(), kScopeNormal);
  EXPECT_DOUBLE_EQ(loaded.TriggerLevel(), -12.5);
  EXPECT_EQ(loaded.PretriggerPercent(), 30);
  // Not JSON, a key missing, a window of 0, a channel the setup lacks.
  const std::string saved = setup.GetOptionNoError("SpeedTuningOscSettings");
  for (const std::string& text : {std::string("{"), std::string(R"({"window_s": 1})"),
                                  std::regex_replace(saved, std::regex(R"("window_s":[0-9.e+-]+)"), R"("window_s":0)"),
                                  std::regex_replace(saved, std::regex("\"IQ\""), "\"Nope\"")}) {
    setup.SetOption("Bad", text);
    EXPECT_FALSE(loaded.LoadSettingsFromSetupOption("Bad")) << text;
    EXPECT_DOUBLE_EQ(loaded.WindowSeconds(), 0.25) << text;
    EXPECT_EQ(loaded.GetVariablesNo(), 2u) << text;
  }
}

// Exact by construction: each step is the double nearest to its decimal value (0.2, not 2 × 0.1;
// 5e-6, not 5 × 1e-6); a value on the series is its own step; nothing to show gives 1.
TEST(RoundStepTest, SmallestStepOfTheSeriesAtOrAbove) {
  const std::pair<double, double> cases[] = {{0.15, 0.2}, {0.2, 0.2}, {0.21, 0.5}, {118.75, 200.0},
                                             {1000.0, 1000.0}, {3.0098725056701825e-06, 5e-6},
                                             {7.3283055457796598e-06, 1e-5}, {0.0, 1.0}, {-3.0, 1.0}};
  for (const auto& [atLeast, step] : cases) EXPECT_EQ(drivebase::RoundStepAtLeast(atLeast), step) << atLeast;
  EXPECT_EQ(drivebase::RoundStepAtLeast(std::nan("")), 1.0) << "no endless search";
}

// 0 … 950 over 8 divisions needs 118.75 a division: 200, about 400 (−400 … 1200); −3 … 0 needs
// 0.375: 0.5, about −1.5.
TEST_F(ScopeLoggerTest, AutoscaleCentresEachChannelOnRoundSteps) {
  ArmTwoChannels(kScopeSingle);
  EXPECT_EQ(Frame({0, 0, 0, static_cast<std::uint16_t>(-3), 950, 0, static_cast<std::uint16_t>(-1)}), 2);
  scope.Autoscale();
  // The window's other points are 0: the speed spans 0 … 950, the current −3 … 0.
  EXPECT_DOUBLE_EQ(scope.ChannelScale(0).scale, 200.0);
  EXPECT_DOUBLE_EQ(scope.ChannelScale(0).offset, 400.0);
  EXPECT_DOUBLE_EQ(scope.ChannelScale(1).scale, 0.5);
  EXPECT_DOUBLE_EQ(scope.ChannelScale(1).offset, -1.5);
}

TEST_F(ScopeLoggerTest, EditTakesTheUsersSettingsOnlyOnOkAndRefusesAZeroScale) {
  ASSERT_TRUE(scope.AddVariable("Speed_Reference", 1) && scope.AddVariable("IQ", 1));
  ui::TestAgent user;
  session.Use(user);
  user.Type(10131, "0.25").Select(10132, "Normal").Select(10134, "IQ").Type(10144, "0").Click(IDOK)
      .Expect(ui::LastMessageBoxSays("The scale of Speed_Reference must be greater than 0."))
      .Type(10144, "500").Click(IDOK);
  EXPECT_EQ(scope.Edit(nullptr), IDOK);
  EXPECT_DOUBLE_EQ(scope.WindowSeconds(), 0.25);
  EXPECT_EQ(scope.TriggerMode(), kScopeNormal);
  EXPECT_EQ(scope.TriggerVariable(), "IQ");
  EXPECT_DOUBLE_EQ(scope.ChannelScale(0).scale, 500.0);
  user.Type(10131, "9").Click(IDCANCEL).Click(IDOK);
  EXPECT_EQ(scope.Edit(nullptr), IDCANCEL);
  EXPECT_EQ(scope.Edit(nullptr), IDCANCEL) << "OK without a change";
  EXPECT_DOUBLE_EQ(scope.WindowSeconds(), 0.25);
  user.CheckFinished(session.Loop());
}

TEST_F(ScopeLoggerTest, PlotFilePromptOffersThePlotDirectoryAndTakesAnotherPath) {
  drivebase::SetPlotDirectory("/tmp/plots");
  ui::TestAgent user;
  session.Use(user);
  user.Expect(ui::ControlShows(10162, "/tmp/plots/SpeedTuning.scope.json")).Click(IDOK);
  EXPECT_EQ(DoPromptScopeLoggerFileName(1, "SpeedTuning", nullptr), "/tmp/plots/SpeedTuning.scope.json");
  user.Type(10162, "/tmp/other.json").Click(IDOK).Click(IDCANCEL);
  EXPECT_EQ(DoPromptScopeLoggerFileName(0, "SpeedTuning", nullptr), "/tmp/other.json");
  EXPECT_EQ(DoPromptScopeLoggerFileName(0, "SpeedTuning", nullptr), "");
  drivebase::SetPlotDirectory("");
  user.CheckFinished(session.Loop());
}

// A window of 3: the fourth point pushes the first out, or, in a sweep, starts the window again.
TEST(Oscilloscope, KeepsTheNewestPointsOfItsWindow) {
  CMC_Oscilloscope scope;
  for (const int flag : {0, 1}) {
    scope.Init("", 2, flag, 3);
    scope.SetChannelRange(1, 120.0, -20.0);
    for (const double value : {1.0, 2.0, 3.0, 4.0}) scope.AddLastPoint(std::vector<double>{value, -value});
    const CGraphDocument& points = scope.Document();
    ASSERT_EQ(points.RowCount(), flag == 0 ? 3u : 1u) << flag;
    EXPECT_DOUBLE_EQ(points.Value(0, 0), flag == 0 ? 1.0 : 3.0) << flag;
    EXPECT_DOUBLE_EQ(points.Value(points.RowCount() - 1, 2), -4.0) << flag;
    EXPECT_EQ(scope.Filter().Curves().size(), 2u);
    EXPECT_DOUBLE_EQ(scope.View().y2Min, 120.0);
  }
}

}  // namespace
