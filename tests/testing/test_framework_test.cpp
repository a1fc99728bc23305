// The host's test framework on the simulated drive and on a drive in memory: a probe test that
// runs one program as a commissioning test does; how its runs end, Stop, Start while a handler
// pumps, closing; failed launches and no-value reads; the logger's upload and its file.
#include <unistd.h>

#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/test_dlg.h"
#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "memory_drive.h"
#include "ui/condition.h"
#include "ui/event_loop.h"
#include "ui/session.h"
#include "ui/template_library.h"
#include "ui/test_agent.h"

namespace testing_test {
namespace {

using ::testing::HasSubstr;
constexpr int kStart = drivebase::kStartStopButton;

// Launches its program, polls "STARTED" and the axis every tick_ms and, with a logger, uploads
// the points in a loop that pumps messages between points (template dialogs/9200.json).
class ProbeTestDlg : public CMC_TestDlg {
 public:
  ProbeTestDlg(CMC_Setup* setup, std::string name) : CMC_TestDlg(setup, 9200, 1, nullptr), program(std::move(name)) {
    ui::DialogTemplates().AddDirectory(std::filesystem::path(KESTREL_TESTING_TEST_DATA) / "dialogs");
    image.ReadCoff(GetOutPathName(program));
  }
  const ui::MessageMap* GetMessageMap() const override {
    static const ui::MessageMap map =
        ui::MessageMapBuilder<ProbeTestDlg>(CMC_TestDlg::GetMessageMap()).Timer(&ProbeTestDlg::OnTimer).Build();
    return &map;
  }
  void BeginTest() override {
    m_bTestRunning = 1;
    m_nResult = -1;
    if (ExecuteCode(program, &image, logger.get(), nullptr, nullptr) != 0) return (void)SetTimer(1, tick_ms);
    m_strErrorText = msc_pszErrInternal;
    TestFailed(1);
  }
  void OnTimer(std::uintptr_t id) {
    if (id != drivebase::kTestTimer) return CMC_TestDlg::OnTimer(id);
    KillTimer(id);
    if (!IsRunning()) return;
    if (stopEndsTheRun && m_bStopRequested != 0) return TestSucceeded(1);
    double started = 0;
    int on = 0;
    if (GetUserVariableValue(&image, "STARTED", started, m_strErrorText) == 0 || GetAxisOn(on) == 0) return TestFailed(1);
    if (started == 0 || on != 0) return (void)SetTimer(1, tick_ms);
    if (m_bStopRequested != 0) {  // ended by the stop, not by itself
      m_strErrorText = kStoppedText;
      return TestFailed(1);
    }
    for (bool more = logger != nullptr && logger->BeginUploadData(); more && logger->ReadPoint() != 0;) {
      ui::DispatchPendingMessages();
      if (m_bStopRequested != 0 && m_bStopDone != 0) break;
      if (!IsRunning() && m_bStopRequested == 0) return;
    }
    TestSucceeded(1);
  }

  std::string program;
  CMC_CoffFormat image;
  std::unique_ptr<CMC_SingleAxisLogger> logger;
  unsigned tick_ms = 20;
  bool stopEndsTheRun = false;  // the tick takes a stop up and reports success itself
};

class SimulatedTest : public ::testing::Test {
 protected:
  SimulatedTest() { CMC_Comm::SetActiveLink(link.get()); }
  ~SimulatedTest() override { CMC_Comm::SetActiveLink(nullptr); }

  // The current step with the test current, no protection, its three variables logged.
  void PrepareCurrentStep() {
    std::string error;
    ASSERT_EQ(probe.SetUserVariableValue(&probe.image, "In1", TestCurrent(), error), 1) << error;
    ASSERT_EQ(probe.SetUserVariableValue(&probe.image, "Imax_Prot_Test", 32767, error), 1) << error;
    probe.logger = std::make_unique<CMC_SingleAxisLogger>(&setup, &probe.image);
    for (const auto& [name, flag] : {std::pair{"Current_Reference", 1}, {"Motor_Current", 0}, {"Voltage_Reference", 1}}) {
      ASSERT_TRUE(probe.logger->AddVariable(name, flag));
    }
  }
  double TestCurrent() const { return std::trunc(setup.GetParameterValueInInternalUnit("TestCurrent")); }

  ui::HeadlessSession session;
  ui::TestAgent user;
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  drivesim::link::DialogClock clock;
  std::unique_ptr<drivesim::link::SimulatorLink> link = drivesim::link::ConnectSimulator(setup, {}, clock);
  ProbeTestDlg probe{&setup, "IE_Current_Controller_Tuning_Test"};
};

ui::Condition Is(const char* what, std::function<bool()> holds) {
  return {what, [holds](ui::EventLoop&) { return holds() ? std::nullopt : std::optional<std::string>("it does not"); }};
}
void Report(ui::TestAgent& user, std::function<void()> report) {
  user.Do("report", [report](ui::DialogDriver&) { report(); });
}

struct RunCase {
  const char* name;
  std::function<void(ui::TestAgent&, ProbeTestDlg&)> user;  // after Start
  const char* outcome;  // 10002 at the end of the run; null: the user closed the test
  const char* errorText;
  int result;
};

class RunTest : public SimulatedTest, public ::testing::WithParamInterface<RunCase> {};
const char* const kStopped = CMC_TestDlg::kStoppedText;

TEST_P(RunTest, EndsAsTheFirstReportSays) {
  PrepareCurrentStep();
  user.Click(kStart).Expect(ui::ControlShows(kStart, "Stop"));
  GetParam().user(user, probe);
  user.WaitUntil(Is("the run has ended", [this] { return !probe.IsRunning(); }));
  if (GetParam().outcome != nullptr) {
    user.Expect(ui::ControlShows(drivebase::kOutcomeText, GetParam().outcome))
        .Expect(ui::ControlShows(kStart, "Start"))
        .Expect(ui::ControlVisible(drivebase::kDetailsButton, GetParam().result != 1));
    if (*GetParam().errorText != '\0') user.Click(drivebase::kDetailsButton).Expect(ui::LastMessageBoxSays(kStopped));
    user.Close(IDCANCEL);
  }
  EXPECT_EQ(ui::RunWithAgent(probe, user), IDCANCEL);
  EXPECT_EQ(probe.ErrorText(), GetParam().errorText);
  EXPECT_EQ(probe.Result(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RunTest,
    ::testing::Values(
        RunCase{"ToTheEnd", [](ui::TestAgent&, ProbeTestDlg&) {}, "Test passed", "", 1},
        RunCase{"FailureThenSuccess",
                [](ui::TestAgent& u, ProbeTestDlg& p) { Report(u, [&p] { p.TestFailed(1), p.TestSucceeded(1); }); },
                "Test failed", "", -1},
        RunCase{"SuccessThenFailure",
                [](ui::TestAgent& u, ProbeTestDlg& p) { Report(u, [&p] { p.TestSucceeded(1), p.TestFailed(1); }); },
                "Test passed", "", 1},
        RunCase{"RedisplayAndAForeignTimerLeaveTheRunAlone",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  Report(u, [&p] { p.TestFailed(0), p.SendMessage(WM_TIMER, 7); });
                  u.Expect(Is("running", [&p] { return p.IsRunning(); })).Expect(ui::ControlShows(drivebase::kOutcomeText, "Test failed"));
                },
                "Test passed", "", 1},
        // The test ticks every 200 ms: the host's poll finds the axis off first and ends the run.
        RunCase{"StopWhileWaiting",
                [](ui::TestAgent& u, ProbeTestDlg& p) { p.tick_ms = 200, u.Wait(ui::Milliseconds(30)).Click(kStart); },
                "Test failed", kStopped, -1},
        RunCase{"StopWithTheDriveGone",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  p.tick_ms = 200, u.Wait(ui::Milliseconds(30));
                  Report(u, [] { CMC_Comm::SetActiveLink(nullptr); });
                  u.Click(kStart);
                },
                "Test failed", kStopped, -1},
        RunCase{"StopTakenUpByTheTest",
                [](ui::TestAgent& u, ProbeTestDlg& p) { p.stopEndsTheRun = true, u.Wait(ui::Milliseconds(30)).Click(kStart); },
                "Test passed", "", 1},
        // The run ends (a drive error, say) while the upload loop still waits for the stop to be
        // done: Start, pressed in the loop's next pump, is ignored.
        RunCase{"StartIgnoredWhileTheUploadLoopPumps",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  u.WaitUntil(Is("uploading", [&p] { return p.logger->UploadInProgress(); })).Click(kStart);
                  Report(u, [&p] { p.TestFailed(1); });
                  u.Click(kStart).Expect(Is("not running", [&p] { return !p.IsRunning(); }));
                },
                "Test failed", "", -1},
        RunCase{"CloseWhileRunning",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  u.Wait(ui::Milliseconds(30)).Close(IDCANCEL).Expect(Is("running", [&p] { return p.IsRunning(); }));
                },
                nullptr, kStopped, -1}),
    [](const ::testing::TestParamInfo<RunCase>& run) { return std::string(run.param.name); });

// A launch without a loaded image fails and says why; an output the program never wrote reads
// as the no-value, not as a failure.
TEST(TestDrive, FailedLaunchesAndNoValueReads) {
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  ProbeTestDlg probe(&setup, "IE_Initial_Positioning_Test"), missing(&setup, "IE_No_Such_Program");
  drivebase::test_support::MemoryDrive drive;
  const drivebase::test_support::Connected connected(drive);
  EXPECT_EQ(missing.ExecuteCode(missing.program, &missing.image, nullptr, nullptr, nullptr), 0);
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("program image is not loaded"));
  ASSERT_EQ(probe.ExecuteCode(probe.program, &probe.image, nullptr, nullptr, nullptr), 1);
  drive.memory["STARTED"] = drivebase::kNoValue;
  double value = 0;
  std::string error;
  EXPECT_EQ(probe.GetUserVariableValue(&probe.image, "STARTED", value, error), 1);
  EXPECT_EQ(value, 1.2345e100);
  EXPECT_EQ(probe.GetUserVariableValue(&probe.image, "NoSuch", value, error), 0);
  EXPECT_THAT(error, HasSubstr("'NoSuch'"));
}

// 500 internal counts per ampere, 100 per volt.
double TestFactor(CMC_Setup*, const char* unit, const char*) {
  return std::string_view(unit) == "A" ? 2e-3 : std::string_view(unit) == "V" ? 1e-2 : 1.0;
}
double NoOffset(CMC_Setup*, const char*, const char*) { return 0.0; }
std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name)).string();
}

// Flag 1: the display unit as it stands at the launch; flag 0: internal units.
TEST_F(SimulatedTest, TheLoggerUploadsInTheUnitOfEachFlagAndSavesThePoints) {
  setup.SetScaleFunctions({&TestFactor, &NoOffset});
  ASSERT_TRUE(setup.FindVariable("Current_Reference")->ChangeUnitType("mA"));
  PrepareCurrentStep();
  ASSERT_TRUE(setup.FindVariable("Voltage_Reference")->ChangeUnitType("mV"));
  CMC_SingleAxisLogger& logger = *probe.logger;
  ASSERT_TRUE(logger.CorrectPointsNo());
  ASSERT_EQ(probe.ExecuteCode(probe.program, &probe.image, &logger, nullptr, nullptr), 1);
  const CGraphDocument& document = logger.GetGraphDocument();
  std::string units;
  for (const drivebase::GraphColumn& column : document.Columns()) units += column.unit + " ";
  EXPECT_EQ(units, "s mA IU mV ");
  for (int on = 1; on != 0; session.Loop().AdvanceBy(ui::Milliseconds(20))) ASSERT_EQ(probe.GetAxisOn(on), 1);
  ASSERT_TRUE(logger.BeginUploadData()) << logger.LastError();
  double point[4];
  for (std::size_t row = 0; logger.ReadPoint(point) != 0; ++row) {
    EXPECT_NEAR(document.Value(row, 1), 2 * point[1], 1e-9 * std::abs(point[1]));
    EXPECT_EQ(document.Value(row, 2), point[2]);
    EXPECT_NEAR(document.Value(row, 3), 10 * point[3], 1e-9 * std::abs(point[3]));
    EXPECT_EQ(point[1], row < 10 ? 0 : TestCurrent()) << "the step at point 10";
  }
  ASSERT_EQ(logger.GetPointsNo(), 100u);
  EXPECT_FALSE(logger.SaveGraph("CurrentTuning")) << "no plot yet";
  logger.GetGraphDocument().AddFilter().Add(CXYCurve(2, 0, 3, 2, RGB16(8)));
  drivebase::SetPlotDirectory(std::filesystem::temp_directory_path().string());
  ASSERT_TRUE(logger.SaveGraph(std::to_string(::getpid()) + "plot")) << logger.LastError();
  std::string header;
  EXPECT_TRUE(std::getline(std::ifstream(TempFile("plot.csv")), header) && header == "time [s],Voltage_Reference [mV]") << header;
  EXPECT_TRUE(std::filesystem::remove(TempFile("plot.svg")) && std::filesystem::remove(TempFile("plot.csv")));

  const std::string file = TempFile("logger.json");
  ASSERT_TRUE(logger.Save(file)) << logger.LastError();
  CMC_SingleAxisLogger loaded(&setup, nullptr);
  ASSERT_TRUE(loaded.Load(file)) << loaded.LastError();
  std::filesystem::remove(file);
  EXPECT_EQ(loaded.LaunchSettings().variables, logger.LaunchSettings().variables);
  ASSERT_EQ(loaded.GetGraphDocument().RowCount(), 100u);
  for (std::size_t column = 0; column < 4; ++column) EXPECT_EQ(loaded.GetGraphDocument().Value(57, column), document.Value(57, column));
}

// A file that cannot be used leaves the logger as it was; the error names the file and entry.
TEST(LoggerFile, ALoadThatFailsNamesTheEntryAndChangesNothing) {
  const std::string valid = R"({"format":"kestrel_logger","version":1,"settings":{"points":50,"type":1,"divider":2},)"
                            R"("variables":[{"name":"IQ","flag":0},{"name":"ID","flag":1}],"points":[[0,1,2],[0.001,3,4]]})";
  const std::array<std::array<const char*, 3>, 7> faults{
      {{"{\"format", "[\"format", "not a JSON object"}, {"kestrel_logger", "other", "entry 'format'"},
       {"\"ID\"", "\"NoSuch\"", "entry 'variables[1].name' names 'NoSuch'"}, {"\"flag\":1", "\"flag\":2", "entry 'variables[1].flag'"},
       {"[0.001,3,4]", "[0.001,3]", "entry 'points[1]'"}, {"\"type\":1", "\"type\":3", "entry 'settings'"},
       {"\"divider\":2", "\"divider\":1e99", "entry 'settings.divider'"}}};
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  const std::string file = TempFile("corrupt.json");
  CMC_SingleAxisLogger logger(&setup, nullptr);
  ASSERT_TRUE(logger.AddVariable("Motor_Current", 1));
  for (const auto& [from, to, says] : faults) {
    std::string text = valid;
    std::ofstream(file) << text.replace(text.find(from), std::string_view(from).size(), to);
    EXPECT_FALSE(logger.Load(file)) << to;
    EXPECT_THAT(logger.LastError(), ::testing::AllOf(HasSubstr("'" + file + "': "), HasSubstr(says)));
    EXPECT_EQ(logger.LaunchSettings().points, 100);
    EXPECT_EQ(logger.GetGraphDocument().Columns().size(), 2u);
  }
  std::ofstream(file) << valid;
  ASSERT_TRUE(logger.Load(file)) << logger.LastError();
  std::filesystem::remove(file);
  EXPECT_TRUE(logger.LaunchSettings().divider == 2 && logger.GetGraphDocument().Value(1, 2) == 4);
}

}  // namespace
}  // namespace testing_test
