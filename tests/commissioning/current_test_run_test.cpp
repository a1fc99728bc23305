// The current controller tuning test end to end on the simulated drive with the default setup.
#include <filesystem>

#include "commissioning/save_question.h"
#include "commissioning/test_catalogue.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;
using kestrel::StepMetrics;

class CurrentTestRun : public Bench {};

// The default motor with a passband of 2000 rad/s: a well damped loop, whose measured overshoot the
// prediction of the quantised gains matches within 3 percentage points.
TEST_F(CurrentTestRun, TuneThenStepWritesTheRegisterPairsLogsTheStepAndMatchesThePrediction) {
  setup_.SetParameterValueInBaseUnit("PB_C", 2000);
  ConnectSimulator();
  const double openingKp = Value("Kp_C_scl");
  const double openingKi = Value("Ki_C_scl");
  const std::filesystem::path plots = std::filesystem::path(::testing::TempDir()) / "current_plots";
  std::filesystem::create_directories(plots);
  drivebase::SetPlotDirectory(plots.string());
  double kpiInDrive = 0.0, sftkiiInDrive = 0.0;
  std::size_t points = 0;
  double finalReference_A = 0.0;
  StepMetrics measured{}, predicted{};
  std::string plotError;
  const auto warned = [](ui::DialogDriver& top) { return top.Text(CTestCurrent::kWarningText).starts_with("Warning: "); };
  user_.SelectTab(CTestCurrent::kTabs, 1)
      .Expect(ui::Holds("the shipped gains are warned of", warned))
      .Click(CTestCurrent::kTuneButton)
      .ExpectText(CTestCurrent::kWarningText, "")
      .Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"), Milliseconds(20000))
      .Do("look at the drive, the logger and the figures",
          [&](ui::DialogDriver&) {
            CTestCurrent& test = OpenTest();
            CMC_Comm::ReadValue("KPI", 1, kpiInDrive);
            CMC_Comm::ReadValue("SFTKII", 1, sftkiiInDrive);
            const CGraphDocument& logged = test.Logger()->GetGraphDocument();
            points = logged.RowCount();
            finalReference_A = points > 0 ? logged.Value(points - 1, 1) : 0.0;
            measured = test.MeasuredStep().value_or(measured);
            if (test.PredictedStepOfRun()) predicted = test.PredictedStepOfRun()->metrics;
            if (!test.SaveAllPlots(plotError)) ADD_FAILURE() << plotError;
          })
      .Close(IDCANCEL)
      .Answer(IDYES);
  EXPECT_EQ(RunTestAlone(&setup_, "current"), IDOK) << LastBox();
  EXPECT_EQ(LastBox(), "A different value than specified has been detected for the following parameter(s):\r\n\r\n"
                       "Kp:\tOld = " + FormatG(openingKp) + "\tNew = " + FormatG(Value("Kp_C_scl")) + "\r\n"
                       "Ki:\tOld = " + FormatG(openingKi) + "\tNew = " + FormatG(Value("Ki_C_scl")) + "\r\n"
                       "\r\nDo you want to save the new value(s)? (Recommended)");
  EXPECT_NE(Value("Kp_C_scl"), openingKp);
  EXPECT_EQ(kpiInDrive, Internal("KPI"));
  EXPECT_EQ(sftkiiInDrive, Internal("SFTKII"));
  EXPECT_EQ(points, 100u);
  EXPECT_NEAR(finalReference_A, Value("TestCurrent"), 1e-3);
  EXPECT_GT(measured.overshoot_pct, 5.0);
  EXPECT_NEAR(measured.overshoot_pct, predicted.overshoot_pct, 3.0);
  EXPECT_EQ(Value("Imax_Prot"), Value("TestProtectionCurrent"));
  EXPECT_TRUE(std::filesystem::exists(plots / "CurrentTuning.svg"));
  EXPECT_TRUE(std::filesystem::exists(plots / "CurrentTuning.csv"));
}

}  // namespace
}  // namespace kestrel::commissioning_test
