// The speed and position tuning tests against a drive whose program does what the test says:
// what the launch hands the program, the profile checked before the drive sees it, Stop in every
// way of watching a run, gains sent while a run goes on, and what closing keeps.
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_position_tuning.h"
#include "commissioning/test_speed_tuning.h"
#include "compute/scale_functions.h"
#include "dialogs/drive_setup_dlg.h"
#include "dialogs/dialog_resources.h"
#include "drivebase/gui_resources.h"
#include "drivebase/numeric.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

// The tuning program: it runs (the axis on) until its profile is over or the host stops it, and
// logs its points (the logger's 2000 unless told): a reference that ramps to 1000 and holds,
// followed by a first-order response.
class TuningDrive : public ScriptedDrive {
 public:
  bool Launch(const drivebase::ProgramLaunch& launch) override {
    if (!ScriptedDrive::Launch(launch)) return false;
    memory["test_flag"] = flagWhileRunning;
    runTicks = launch.program.find("Tuning_Test") != std::string::npos ? runPolls : 0;
    return true;
  }
  bool GetAxisOn(bool& on) override {
    on = runTicks > 0;
    if (runTicks > 0 && !untilStopped) --runTicks;
    return true;
  }
  bool StopProgram() override {
    ++stops;
    runTicks = 0;
    return true;
  }
  bool ReadValue(std::string_view name, int words, double& internal) override {
    if (name == "Speed_Reference" || name == "Target_Position") return internal = 1000, true;
    if (name == "Load_Speed" || name == "Load_Position") return internal = 990, true;
    return ScriptedDrive::ReadValue(name, words, internal);
  }
  bool UploadLog(std::vector<drivebase::LoggedPoint>& points) override {
    points.clear();
    for (int k = 0; k < loggedPoints; ++k) {
      const double reference = std::min(1000.0, 100.0 * k);
      const double measured = reference * (1.0 - std::exp(-k / 5.0));
      points.push_back(drivebase::LoggedPoint{1e-3 * k, {reference, measured, 10.0, 9.0}});
    }
    return true;
  }
  // The scope: each look at the link brings a frame of up to 10 samples (every channel 100 ×
  // sample index) until the window is full; in normal mode windows follow.
  bool ArmScope(const drivebase::ScopeSettings& settings) override {
    scope = settings;
    armed = true;
    sent = 0;
    return true;
  }
  bool DisarmScope() override {
    armed = false;
    return true;
  }
  bool GetScopeRunning(bool& running) override {
    running = armed && !(scope.single && sent >= scope.window);
    return true;
  }
  bool ReceiveUnsolicited(std::vector<drivebase::UnsolicitedMessage>& messages) override {
    ScriptedDrive::ReceiveUnsolicited(messages);
    if (!armed || silent || (scope.single && sent >= scope.window)) return true;
    if (sent >= scope.window) sent = 0;
    const int samples = std::min(10, scope.window - sent);
    drivebase::UnsolicitedMessage frame{0, 1, 0xE900, static_cast<std::uint16_t>(sent)};
    for (int k = 0; k < samples; ++k) {
      for (const std::string& channel : scope.channels) {
        frame.push_back(static_cast<std::uint16_t>(100 * (sent + k)));
        if (setup->FindVariable(channel, 0)->GetSizeInWords() == 2) frame.push_back(0);
      }
    }
    frame[0] = static_cast<std::uint16_t>(frame.size() - 3);
    messages.push_back(frame);
    sent += samples;
    return true;
  }
  const drivebase::ProgramLaunch& Main() const { return launches.back(); }
  // An input of the last launch, or of the launch numbered.
  double Input(const std::string& name, int launch = -1) const {
    for (const drivebase::DriveValue& value : launches.at(launch < 0 ? launches.size() - 1 : static_cast<std::size_t>(launch)).variables) {
      if (value.name == name) return value.internal;
    }
    throw std::runtime_error("the program got no " + name);
  }

  int runPolls = 5, runTicks = 0, stops = 0, loggedPoints = 2000;
  bool untilStopped = false;
  bool silent = false;  // the scope never triggers
  double flagWhileRunning = 1;  // 0 or less: the test protection has tripped
  const CMC_Setup* setup = nullptr;
  drivebase::ScopeSettings scope;
  bool armed = false;
  int sent = 0;
};

class TuningTestRun : public Bench {
 protected:
  TuningTestRun() {
    CMC_Comm::SetActiveLink(&drive_);
    drive_.setup = &setup_;
    setup_.SetOption("hasOscilloscope", "0");
  }
  // Start on the tuning tab.
  ui::TestAgent& Start() { return user_.SelectTab(CTuningTest::kTabs, 1).Click(drivebase::kStartStopButton); }
  TuningDrive drive_;
};

// The default setup starts without the preliminary stage: the program gets the setup's start
// references, the limits in internal units and a profile whose changes sum to zero.
TEST_F(TuningTestRun, SpeedRunHandsTheProgramItsInputsAndUploadsTheLog) {
  const double openingMove = Value("ABSTART_MINMOVE");
  std::vector<CMyTestDlg::TestResultLine> results;
  Start()
      .WaitUntil(RunEnded())
      .Do("read the results", [&](ui::DialogDriver&) { results = TopTest<CTuningTest>().ResultLines(); })
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "speed"), IDCANCEL);
  ASSERT_EQ(drive_.launches.size(), 1u);
  EXPECT_EQ(drive_.Main().program, "IE_Speed_Controller_Tuning_Test");
  EXPECT_EQ(drive_.Input("RefTest"), static_cast<std::int16_t>(Internal("REFTST")));
  EXPECT_EQ(drive_.Input("IlimPS_Test"), std::round(Internal("TestLimitCurrent")));
  EXPECT_EQ(drive_.Input("Imax_Prot_Test"), std::round(Internal("TestProtectionCurrent")));
  EXPECT_EQ(drive_.Input("MultiC"), 0);
  double change = 0.0;
  for (int i = 0; i < 6; ++i) change += drive_.Input("a" + std::to_string(i)) * drive_.Input("b" + std::to_string(i));
  EXPECT_NEAR(change, 0.0, 1e-9) << "the profile ends where it started";
  EXPECT_EQ(drive_.Input("a2"), TG_FRound(Value("TPS") / GetSpeedLoopPeriod(&setup_)));
  ASSERT_GE(results.size(), 6u);
  EXPECT_EQ(results[0].label, "Kp_S_scl");
  EXPECT_EQ(results[4].label, "Overshoot (measured)");
  EXPECT_EQ(results[4].value, "0 %") << "a first-order response does not overshoot";
  EXPECT_EQ(Value("ABSTART_MINMOVE"), openingMove) << "put back when the test closed";
}

// With a start that aligns the motor the preliminary program runs first at the start current
// (50 % of min(In, InPS) in current counts, truncated), and the main program gets the references it found.
TEST_F(TuningTestRun, AligningStartRunsThePreliminaryProgramFirst) {
  setup_.SetParameterValueInBaseUnit("StartMode", 0);
  Start().WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed")).Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  ASSERT_EQ(drive_.launches.size(), 2u);
  EXPECT_EQ(drive_.launches[0].program, "IE_Initial_Positioning_Test");
  EXPECT_EQ(drive_.Input("In1", 0), std::trunc(0.5000508641824601 * 3.2 * GetCurrentScale(&setup_)))
      << "In 3.2 A below InPS 4 A";
  EXPECT_EQ(drive_.Input("RefTest"), 3264);
  EXPECT_EQ(drive_.Input("RIncTest"), 33);
}

// A hold of 40 s is 40000 speed-loop periods: refused before the drive is asked anything.
TEST_F(TuningTestRun, ProfileBeyondTheProgramsCountsFailsBeforeTheLaunch) {
  setup_.SetParameterValueInBaseUnit("TPS", 40.0);
  std::string error;
  Start()
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test failed"))
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  EXPECT_EQ(error, kProfileCountText);
  EXPECT_TRUE(drive_.launches.empty());
}

// The default speed profile ramps for 0.1 s (a0 = 99, a1 = 1 at 1 ms): the trigger's row and the
// 100 ramp periods' make 101. Fewer fail with the drive's error, any bit (0x20 too, which the run's
// mask drops), else with the missing data's text; so does a live scope (-1) that never triggered.
struct ShortUploadCase {
  const char* name;
  int points;
  double mer;
  const char* error;
};

class ShortUpload : public TuningTestRun, public ::testing::WithParamInterface<ShortUploadCase> {};

TEST_P(ShortUpload, FailsUnlessTheFirstRampWasLogged) {
  const ShortUploadCase& c = GetParam();
  drive_.loggedPoints = c.points;
  drive_.values["MER"] = {c.mer, 1};
  setup_.SetParameterValueInBaseUnit("OnlinePlotS", c.points < 0 ? 1 : 0);
  setup_.SetOption("hasOscilloscope", c.points < 0 ? "1" : "0");
  drive_.untilStopped = drive_.silent = c.points < 0;
  std::string error;
  Start()
      .Wait(ui::Milliseconds(300))
      .Do("stop a live plot", [&](ui::DialogDriver& top) { if (c.points < 0) top.Click(drivebase::kStartStopButton); })
      .WaitUntil(RunEnded())
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(Uploads, ShortUpload,
                         ::testing::Values(ShortUploadCase{"whole_ramp", 101, 0, ""},
                                           ShortUploadCase{"one_period_short", 100, 0, CTuningTest::kTooFewPointsText},
                                           ShortUploadCase{"nothing_hall_missing", 0, 0x20, "Hall sensor is missing."},
                                           ShortUploadCase{"scope_never_triggered", -1, 0, CTuningTest::kNoDataText}),
                         [](const auto& param) { return std::string(param.param.name); });

struct StopCase {
  const char* name;
  double online;
  const char* hasOscilloscope;
  bool trip;  // the test protection trips (flag 0) instead of the user's Stop
};

class StopInEveryMode : public TuningTestRun, public ::testing::WithParamInterface<StopCase> {};

// A run of multiple cycles ends as passed on Stop, and the program is stopped. A protection flag
// of 0 is a trip at any tick (the scope's run checks it in the passes that bring no frame).
TEST_P(StopInEveryMode, EndsTheRunAndStopsTheProgramOrTrips) {
  const StopCase& c = GetParam();
  setup_.SetParameterValueInBaseUnit("OnlinePlotS", c.online);
  setup_.SetParameterValueInBaseUnit("MultiCycleS", 1);
  setup_.SetOption("hasOscilloscope", c.hasOscilloscope);
  drive_.untilStopped = true;
  drive_.flagWhileRunning = c.trip ? 0 : 1;
  int result = 0;
  std::size_t livePoints = 0;
  std::string error;
  Start().Wait(ui::Milliseconds(300));
  // A second press before the run ends does not ask the drive again.
  if (!c.trip) {
    user_.Do("press Stop twice", [](ui::DialogDriver& top) {
      top.Click(drivebase::kStartStopButton);
      top.Click(drivebase::kStartStopButton);
    });
  }
  user_.WaitUntil(RunEnded(), ui::Milliseconds(5000))
      .Do("note the outcome", [&](ui::DialogDriver&) {
        const CTuningTest& test = TopTest<CTuningTest>();
        result = test.Result();
        error = test.ErrorText();
        livePoints =
            test.Scope() != nullptr ? test.LiveGraph().ShownPoints() : test.Oscilloscope().Document().RowCount();
      })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  EXPECT_EQ(drive_.Input("MultiC"), 1);
  if (c.trip) {
    EXPECT_EQ(error, "Test failed!\nCurrent protection triggered during test!");
    return;
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(drive_.stops, 1);
  EXPECT_EQ(livePoints > 0, c.online != 0.0);
}

INSTANTIATE_TEST_SUITE_P(Modes, StopInEveryMode,
                         ::testing::Values(StopCase{"data_logger_cycles", 0, "0", false},
                                           StopCase{"values_read_live", 1, "0", false},
                                           StopCase{"drive_scope_windows", 1, "1", false},
                                           StopCase{"data_logger_cycles_trip", 0, "0", true},
                                           StopCase{"values_read_live_trip", 1, "0", true}),
                         [](const auto& param) { return std::string(param.param.name); });

// A single scope window ends the run by itself: every sample drawn, the program stopped.
TEST_F(TuningTestRun, ScopeWindowEndsTheRunWithEverySampleDrawn) {
  setup_.SetOption("hasOscilloscope", "1");
  setup_.SetParameterValueInBaseUnit("OnlinePlotS", 1);
  drive_.untilStopped = true;
  std::size_t rows = 0;
  double lastReference = 0.0;
  Start()
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
      .Do("look at the window", [&](ui::DialogDriver&) {
        const CGraphDocument& window = TopTest<CTuningTest>().Scope()->GetGraphDocument();
        rows = window.RowCount();
        lastReference = rows > 0 ? window.Value(rows - 1, 1) : 0.0;
      })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  EXPECT_EQ(rows, static_cast<std::size_t>(drive_.scope.window));
  EXPECT_GT(lastReference, 0.0);
  EXPECT_GE(drive_.stops, 1);
  EXPECT_EQ(drive_.scope.channels.front(), "Speed_Reference");
}

// The live values' legend is drawn in the live plot's channel colours.
TEST_F(TuningTestRun, LegendSwatchesTakeTheLiveChannelsColours) {
  ui::ControlColours reference, measured;
  user_.Do("look at the legend", [&](ui::DialogDriver& dialog) {
        reference = dialog.Colours(CTuningTest::kReferenceSwatch);
        measured = dialog.Colours(CTuningTest::kMeasuredSwatch);
      })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  EXPECT_EQ(reference.background, std::optional<COLORREF>(RGB16(2)));
  EXPECT_EQ(measured.background, std::optional<COLORREF>(RGB16(5)));
}

// Frames reach only an open tuning test; a frame too short for its samples draws nothing, and
// messages of other codes go to the handler installed before.
TEST_F(TuningTestRun, UnsolicitedFramesReachOnlyTheOpenTestWhole) {
  const std::vector<std::uint16_t> shortFrame{2, 1, 0xE900, 0, 100};
  EXPECT_EQ(CTuningTest::OnUnsolicitedMessage(shortFrame.data()), 0xE900) << "no test open";
  static int othersSeen = 0;
  const auto previous =
      CMC_Comm::RegisterReceiveUnsolicitedMsgHandler([](const std::uint16_t*) { return ++othersSeen; });
  setup_.SetOption("hasOscilloscope", "1");
  int drawn = -1;
  user_.Do("hand a short frame and another message", [&](ui::DialogDriver&) {
    CTuningTest::OnUnsolicitedMessage(shortFrame.data());
    drawn = TopTest<CTuningTest>().Scope()->GetPointsToBeDrawn();
    const std::vector<std::uint16_t> other{0, 1, 0x1234};
    CTuningTest::OnUnsolicitedMessage(other.data());
  }).Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  EXPECT_EQ(drawn, 0);
  EXPECT_EQ(othersSeen, 1);
  EXPECT_EQ(CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(previous)(shortFrame.data()), 2) << "restored on closing";
}

// The live plot's menu: a saved plot comes back with its settings, autoscale and the defaults
// count as the user's settings, and OK keeps them in the setup's option for the next opening.
TEST_F(TuningTestRun, LivePlotMenuCommandsMarkTheScopeSettingsKeptOnOk) {
  setup_.SetOption("hasOscilloscope", "1");
  setup_.SetParameterValueInBaseUnit("OnlinePlotS", 1);
  const std::filesystem::path plots = std::filesystem::path(::testing::TempDir()) / "live_plots";
  std::filesystem::create_directories(plots);
  drivebase::SetPlotDirectory(plots.string());
  bool changedBeforeMenu = true, changedAfterMenu = false;
  user_.SelectTab(CTuningTest::kTabs, 1)
      .Do("note the settings", [&](ui::DialogDriver&) { changedBeforeMenu = TopTest<CTuningTest>().ScopeSettingsChanged(); })
      .ContextMenu(CTuningTest::kLiveGraph).MenuCommand(10066)  // Save plot...
      .Expect(ui::TopDialogIs("Live Plot File")).Close(IDOK)
      .ContextMenu(CTuningTest::kLiveGraph).MenuCommand(10065).Close(IDOK)  // Load plot...
      .ContextMenu(CTuningTest::kLiveGraph).MenuCommand(10064)  // Autoscale
      .Do("note the settings", [&](ui::DialogDriver&) { changedAfterMenu = TopTest<CTuningTest>().ScopeSettingsChanged(); })
      .Close(IDOK);
  EXPECT_EQ(RunTestAlone(&setup_, "speed"), IDOK);
  EXPECT_FALSE(changedBeforeMenu) << "the defaults at opening";
  EXPECT_TRUE(changedAfterMenu);
  EXPECT_TRUE(std::filesystem::exists(plots / "SpeedTuning.scope.json"));
  EXPECT_NE(setup_.GetOptionNoError("SpeedTuningOscSettings"), "");
  EXPECT_EQ(Value("Imax_Prot"), Value("TestProtectionCurrent"));
}

// A gain moved during the run reaches the drive at once; Tune's gains are asked about on closing.
TEST_F(TuningTestRun, GainsMovedDuringTheRunReachTheDriveAndTunedGainsAreAskedAbout) {
  drive_.runPolls = 50;
  double kpsInDrive = 0.0;
  user_.SelectTab(CTuningTest::kTabs, 1)
      .Click(CTuningTest::kTuneButton)
      .Click(drivebase::kStartStopButton)
      .Wait(ui::Milliseconds(60))
      .Slide(1337, 100)
      .Do("read the drive's gain", [&](ui::DialogDriver&) { CMC_Comm::ReadValue("KPS", 1, kpsInDrive); })
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
      .Close(IDCANCEL)
      .Answer(IDYES);
  EXPECT_EQ(RunTestAlone(&setup_, "speed"), IDOK);
  EXPECT_EQ(kpsInDrive, Internal("KPS"));
  EXPECT_TRUE(LastBox().starts_with("A different value than specified has been detected for the following parameter(s):"
                                    "\r\n\r\nKp:\tOld = "))
      << LastBox();
  EXPECT_EQ(Value("IlimPS"), Value("TestLimitCurrent")) << "Yes keeps the test's limits";
}

// Over the speed loop the position test puts the test's limit into IlimPS and hands the speed
// limit; directly on the current loop it hands the limit itself. No puts IlimPS back.
TEST_F(TuningTestRun, PositionRunSetsTheCurrentLimitForTheRunOnly) {
  const double openingLimit = Value("IlimPS");
  for (const double overSpeedLoop : {1.0, 0.0}) {
    setup_.SetParameterValueInBaseUnit("PositionControlType", overSpeedLoop);
    double limitDuringRun = 0.0;
    user_.Type(3284, "3")
        .SelectTab(CTuningTest::kTabs, 1)
        .Click(CTuningTest::kTuneButton)
        .Click(drivebase::kStartStopButton)
        .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
        .Do("note the limit", [&](ui::DialogDriver&) { limitDuringRun = Value("IlimPS"); })
        .Close(IDCANCEL)
        .Answer(IDNO);
    EXPECT_EQ(RunTestAlone(&setup_, "position"), IDCANCEL);
    EXPECT_NEAR(limitDuringRun, 3.0, 1e-9);
    EXPECT_EQ(Value("IlimPS"), openingLimit);
    if (overSpeedLoop != 0.0) {
      EXPECT_EQ(drive_.Main().program, "IE_Position_Controller_Tuning_Test_with_SpdCtrl");
      EXPECT_EQ(drive_.Input("LimitSpeed_Test"), std::trunc(Internal("Limit_Speed")));
    } else {
      EXPECT_EQ(drive_.Main().program, "IE_Position_Controller_Tuning_Test_without_SpdCtrl");
      EXPECT_EQ(drive_.Input("IlimPS_Test"), std::round(3.0 * GetCurrentScale(&setup_)));
    }
  }
}

// Jt follows the ratio unrounded; the ratio is rounded to 3 decimals. A total typed below the
// motor's own marks the motor inertia unknown.
TEST_F(TuningTestRun, TotalInertiaAndRatioFollowEachOther) {
  const double jm = Value("Jm");
  user_.SelectTab(CTuningTest::kTabs, 1)
      .Type(1385, "1.2345")
      .Do("the total follows the ratio", [&](ui::DialogDriver&) { EXPECT_DOUBLE_EQ(Value("Jt"), 2.2345 * jm); })
      .Type(3270, "0")
      .Expect(ui::LastMessageBoxSays("You have chosen a value for the total inertia that is lower than the value of "
                                     "the motor inertia.\nThe application will assume the motor inertia is unknown."))
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "speed");
  EXPECT_EQ(Value("isMotorInertiaUnknown"), 0.0) << "Cancel puts the setup back";
}

// A total below the motor's own is asked about on opening; raising it to 1.01 Jm lets Tune work
// on it, and Identify opens the inertia test over the tuning test.
TEST_F(TuningTestRun, TotalBelowTheMotorsOwnIsAskedAboutBeforeTuning) {
  setup_.SetParameterValueInBaseUnit("Jt", 0.5 * Value("Jm"));
  double raised = 0.0;
  user_.Expect(ui::TopDialogIs("Motor inertia")).Click(3333).Close(IDOK)
      .Expect(ui::TopDialogIs("Speed Controller Tuning Test"))
      .Do("note the total", [&](ui::DialogDriver&) { raised = Value("Jt"); })
      .SelectTab(CTuningTest::kTabs, 1).Click(CTuningTest::kTuneButton)
      .Click(3271).Expect(ui::TopDialogIs("Total inertia test")).Close(IDCANCEL)
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "speed"), IDCANCEL) << "Tune without a run has no result to keep";
  EXPECT_DOUBLE_EQ(raised, 1.01 * Value("Jm"));
}

TEST_F(TuningTestRun, DriveSetupOpensBothTuningTests) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  user_.WaitUntil(ui::TopDialogIs("Brushless Motor Setup")).Close(IDCANCEL)
      .Click(3178).Expect(ui::TopDialogIs("Speed Controller Tuning Test")).Click(drivebase::kHelpButton).Close(IDCANCEL)
      .Click(3198).Expect(ui::TopDialogIs("Position Controller Tuning Test")).Click(drivebase::kHelpButton).Close(IDCANCEL)
      .Close(IDCANCEL);
  CDriveSetupDlg driveSetup(&setup_, nullptr);
  drivebase::ClearHelpRequests();
  ui::RunWithAgent(driveSetup, user_);
  ASSERT_EQ(drivebase::HelpRequests().size(), 2u);
  EXPECT_EQ(drivebase::HelpRequests()[0].page.filename(), "speed-tuning.md");
  EXPECT_EQ(drivebase::HelpRequests()[1].page.filename(), "position-tuning.md");
}

}  // namespace
}  // namespace kestrel::commissioning_test
