// How a run ends besides success and failure (Stop, a drive error while waiting, a timer that is
// not the test's), and what closing keeps: the save question over the run's history.
#include "commissioning/test_catalogue.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;

enum class History { never_run, success, failure_after_success };

struct QuestionCase {
  const char* name;
  History history;
  bool tuned;       // the gains differ from those at opening
  int answer;       // to the question; 0: no question is asked
  int endCode;
  bool keptGains;   // the tuned gains (and the protection level) stay in the setup
};

class SaveQuestion : public Bench, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(SaveQuestion, KeepsTheValuesOnlyOnYesAfterASuccess) {
  const QuestionCase& c = GetParam();
  setup_.SetParameterValueInBaseUnit("PB_C", 2000);
  ConnectSimulator();
  const double openingKp = Value("Kp_C_scl"), openingKpi = Internal("KPI"), openingLimit = Value("Imax_Prot");
  double tunedKp = 0.0;
  user_.Type(1303, "5").SelectTab(CTestCurrent::kTabs, 1);
  if (c.tuned) user_.Click(CTestCurrent::kTuneButton);
  user_.Do("note the gains", [&](ui::DialogDriver&) { tunedKp = Value("Kp_C_scl"); });
  if (c.history != History::never_run) {
    user_.Click(drivebase::kStartStopButton).WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"));
  }
  if (c.history == History::failure_after_success) {
    // A protection below the tuned step's peak of about 1.8 A.
    user_.SelectTab(CTestCurrent::kTabs, 0).Type(1303, "1.7").SelectTab(CTestCurrent::kTabs, 1);
    user_.Click(drivebase::kStartStopButton).WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test failed"));
  }
  user_.Close(IDCANCEL);
  if (c.answer != 0) user_.Answer(c.answer);
  if (c.answer == IDCANCEL) user_.Expect(ui::TopDialogIs("Current Controller Tuning Test")).Close(IDCANCEL).Answer(IDNO);
  EXPECT_EQ(RunTestAlone(&setup_, "current"), c.endCode);
  EXPECT_EQ(session_.MessageBoxes().Shown().size(), c.answer == 0 ? 0u : c.answer == IDCANCEL ? 2u : 1u);
  EXPECT_EQ(Value("Kp_C_scl"), c.keptGains ? tunedKp : openingKp);
  EXPECT_TRUE(c.keptGains || Internal("KPI") == openingKpi) << Internal("KPI");
  EXPECT_NEAR(Value("Imax_Prot"), c.keptGains ? 5.0 : openingLimit, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, SaveQuestion,
    ::testing::Values(QuestionCase{"success_changed_yes", History::success, true, IDYES, IDOK, true},
                      QuestionCase{"success_changed_no", History::success, true, IDNO, IDCANCEL, false},
                      QuestionCase{"success_changed_cancel", History::success, true, IDCANCEL, IDCANCEL, false},
                      QuestionCase{"success_unchanged", History::success, false, 0, IDCANCEL, false},
                      QuestionCase{"failure_after_success_changed", History::failure_after_success, true, 0, IDCANCEL, false},
                      QuestionCase{"never_run_changed", History::never_run, true, 0, IDCANCEL, false}),
    [](const auto& param) { return std::string(param.param.name); });

struct EndCase {
  const char* name;
  void (*interfere)(ui::TestAgent& user, drivesim::Drive& drive);
  const char* outcome;
  const char* error;
};

class RunEnd : public Bench, public ::testing::WithParamInterface<EndCase> {};

TEST_P(RunEnd, IsTheOneItsCauseGives) {
  ConnectSimulator();
  std::string error;
  user_.SelectTab(CTestCurrent::kTabs, 1).Click(drivebase::kStartStopButton);
  GetParam().interfere(user_, simulator_->SimulatedDrive());
  user_.WaitUntil(ui::ControlShows(drivebase::kOutcomeText, GetParam().outcome))
      .Do("note the error", [&](ui::DialogDriver&) { error = OpenTest().ErrorText(); })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "current");
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, RunEnd,
    ::testing::Values(
        EndCase{"stop_during_upload",
                [](ui::TestAgent& user, drivesim::Drive&) {
                  user.WaitUntil(ui::ControlShows(drivebase::kProgressText, "Uploading results"))
                      .Click(drivebase::kStartStopButton);
                },
                "Test failed", CMC_TestDlg::kStoppedText},
        EndCase{"enable_dropped_while_waiting",
                [](ui::TestAgent& user, drivesim::Drive& drive) {
                  user.Wait(Milliseconds(100)).Do("drop ENABLE", [&drive](ui::DialogDriver&) { drive.SetEnableInput(false); });
                },
                "Test failed", "Drive / Motor ENABLE input is in DISABLED state."},
        EndCase{"foreign_timer",
                [](ui::TestAgent& user, drivesim::Drive&) {
                  user.Do("start another timer of the dialog", [](ui::DialogDriver&) { OpenTest().SetTimer(7, 5); });
                },
                "Test passed", ""}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel::commissioning_test
