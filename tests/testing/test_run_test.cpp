// A run of the test dialog base on the simulated drive: its end by the reports, the two phases of
// Stop, Start while a handler pumps, and closing a running test.
#include <functional>

#include "simulated_test.h"
#include "ui/condition.h"

namespace testing_test {
namespace {

using Ms = ui::Milliseconds;
using drivebase::kStartStopButton;

ui::Condition Running(const ProbeTestDlg& probe, bool running) {
  return {running ? "the test runs" : "the run has ended", [&probe, running](ui::EventLoop&) -> std::optional<std::string> {
            if (probe.IsRunning() == running) return std::nullopt;
            return probe.IsRunning() ? "it runs" : "it does not run";
          }};
}

struct RunCase {
  const char* name;
  std::function<void(ui::TestAgent&, ProbeTestDlg&)> user;  // after Start
  const char* outcome;      // 10002 once the run has ended; null: the user closed the test
  const char* errorText;
  int result;
};

class RunTest : public SimulatedTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTest, EndsAsTheFirstReportSays) {
  PrepareCurrentStep(true);
  user.Click(kStartStopButton).Expect(ui::ControlShows(kStartStopButton, "Stop"));
  GetParam().user(user, probe);
  user.WaitUntil(Running(probe, false));
  if (GetParam().outcome != nullptr) {
    user.Expect(ui::ControlShows(drivebase::kOutcomeText, GetParam().outcome))
        .Expect(ui::ControlShows(kStartStopButton, "Start"))
        .Expect(ui::ControlVisible(drivebase::kDetailsButton, GetParam().result != 1))
        .Close(IDCANCEL);
  }
  EXPECT_EQ(ui::RunWithAgent(probe, user), IDCANCEL);
  EXPECT_EQ(probe.ErrorText(), GetParam().errorText);
  EXPECT_EQ(probe.Result(), GetParam().result);
}

const char* const kStopped = CMC_TestDlg::kStoppedText;

INSTANTIATE_TEST_SUITE_P(
    Runs, RunTest,
    ::testing::Values(
        RunCase{"ToTheEnd", [](ui::TestAgent&, ProbeTestDlg&) {}, "Test passed", "", 1},
        RunCase{"FailureThenSuccess",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  u.Do("report", [&p](ui::DialogDriver&) { p.TestFailed(1), p.TestSucceeded(1); });
                },
                "Test failed", "", -1},
        RunCase{"SuccessThenFailure",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  u.Do("report", [&p](ui::DialogDriver&) { p.TestSucceeded(1), p.TestFailed(1); });
                },
                "Test passed", "", 1},
        RunCase{"RedisplayAndAForeignTimerLeaveTheRunAlone",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  u.Do("redisplay", [&p](ui::DialogDriver&) { p.TestFailed(0), p.SendMessage(WM_TIMER, 7); })
                      .Expect(Running(p, true))
                      .Expect(ui::ControlShows(drivebase::kOutcomeText, "Test failed"));
                },
                "Test passed", "", 1},
        // The test's ticks come every 200 ms: the host's poll finds the axis off first.
        RunCase{"StopWhileWaiting",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  p.tick_ms = 200;
                  u.Wait(Ms(30)).Click(kStartStopButton).Expect(Running(p, true));
                },
                "Test failed", kStopped, -1},
        RunCase{"StopTakenUpByTheTest",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  p.stopEndsTheRun = true;
                  u.Wait(Ms(30)).Click(kStartStopButton);
                },
                "Test passed", "", 1},
        // The run ends (a drive error, say) while the loop still waits for the stop to be done:
        // Start, pressed in the loop's next pump, is ignored; the loop's own success after the
        // stop changes nothing.
        RunCase{"StartIgnoredWhileTheUploadLoopPumps",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  u.WaitUntil({"the upload", [&p](ui::EventLoop&) -> std::optional<std::string> {
                                 if (p.logger->UploadInProgress()) return std::nullopt;
                                 return "no upload";
                               }})
                      .Click(kStartStopButton)
                      .Do("drive error", [&p](ui::DialogDriver&) { p.TestFailed(1); })
                      .Click(kStartStopButton)
                      .Expect(Running(p, false));
                },
                "Test failed", "", -1},
        RunCase{"CloseWhileRunning",
                [](ui::TestAgent& u, ProbeTestDlg& p) {
                  u.Wait(Ms(30)).Close(IDCANCEL).Expect(ui::TopDialogIs(kProbeCaption)).Expect(Running(p, true));
                },
                nullptr, kStopped, -1}),
    [](const ::testing::TestParamInfo<RunCase>& run) { return std::string(run.param.name); });

}  // namespace
}  // namespace testing_test
