// The current test: a whole run on the simulated drive, the sliders' ranges, the refused tab, the
// currents handed to the step program, and Drive Setup's button that opens the test.
#include <filesystem>

#include "commissioning/save_question.h"
#include "commissioning/test_catalogue.h"
#include "compute/scale_functions.h"
#include "dialogs/dialog_resources.h"
#include "drivebase/gui_resources.h"
#include "dialogs/drive_setup_dlg.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

class CurrentTestControls : public Bench {};

// The default motor with a passband of 2000 rad/s: a well damped loop, whose measured overshoot the
// prediction of the quantised gains matches within 3 percentage points. The currents are shown in
// mA, and the predicted current is drawn in the same unit.
TEST_F(CurrentTestControls, TuneThenStepWritesTheRegisterPairsLogsTheStepAndMatchesThePrediction) {
  setup_.SetParameterValueInBaseUnit("PB_C", 2000);
  // Gains tuned once for 6000 rad/s ring on this motor: the test warns of them until Tune.
  setup_.SetParameterValueInBaseUnit("Kp_C_scl", 5.118564409314249);
  setup_.SetParameterValueInBaseUnit("Ki_C_scl", 1.6379284035767694);
  ConnectSimulator();
  for (const char* current : {"Current_Reference", "Motor_Current"}) setup_.FindVariable(current, 1)->ChangeUnitType("mA");
  const double openingKp = Value("Kp_C_scl"), openingKi = Value("Ki_C_scl");
  const std::filesystem::path plots = std::filesystem::path(::testing::TempDir()) / "current_plots";
  std::filesystem::create_directories(plots);
  drivebase::SetPlotDirectory(plots.string());
  double kpiInDrive = 0.0, sftkiiInDrive = 0.0, finalReference_mA = 0.0, finalMeasured_mA = 0.0, finalPredicted_mA = 0.0;
  std::size_t points = 0;
  StepMetrics measured{}, predicted{};
  std::string plotError;
  const auto warned = [](ui::DialogDriver& top) { return top.Text(CTestCurrent::kWarningText).starts_with("Warning: "); };
  user_.SelectTab(CTestCurrent::kTabs, 1)
      .Expect(ui::Holds("the ringing gains are warned of", warned))
      .Click(CTestCurrent::kTuneButton)
      .ExpectText(CTestCurrent::kWarningText, "")
      .Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"), ui::Milliseconds(20000))
      .Do("look at the drive, the logger and the figures",
          [&](ui::DialogDriver&) {
            CTestCurrent& test = OpenTest();
            CMC_Comm::ReadValue("KPI", 1, kpiInDrive);
            CMC_Comm::ReadValue("SFTKII", 1, sftkiiInDrive);
            const CGraphDocument& logged = test.Logger()->GetGraphDocument();
            points = logged.RowCount();
            finalReference_mA = points > 0 ? logged.Value(points - 1, 1) : 0.0;
            const CGraphDocument& shown = test.Graph().Filter()->Document();
            finalMeasured_mA = shown.Value(shown.RowCount() - 1, 2);
            finalPredicted_mA = shown.Value(shown.RowCount() - 1, 4);
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
  EXPECT_EQ(kpiInDrive, Internal("KPI"));
  EXPECT_EQ(sftkiiInDrive, Internal("SFTKII"));
  EXPECT_EQ(points, 100u);
  EXPECT_NEAR(finalReference_mA, 1000 * Value("TestCurrent"), 1);
  EXPECT_NEAR(finalPredicted_mA, finalReference_mA, 1);
  EXPECT_NEAR(finalMeasured_mA, finalReference_mA, 0.05 * finalReference_mA);
  EXPECT_GT(measured.overshoot_pct, 5.0);
  EXPECT_NEAR(measured.overshoot_pct, predicted.overshoot_pct, 3.0);
  EXPECT_EQ(Value("Imax_Prot"), Value("TestProtectionCurrent"));
  EXPECT_TRUE(std::filesystem::exists(plots / "CurrentTuning.svg") && std::filesystem::exists(plots / "CurrentTuning.csv"));
}

// Kp 10 is held as 20479·2^4/32767 = 9.99982: the slider spans half to one and a half of it.
TEST_F(CurrentTestControls, SliderSpansHalfToOneAndAHalfOfTheOpeningValue) {
  setup_.SetParameterValueInBaseUnit("Kp_C_scl", 10.0);
  double low = 0.0, high = 0.0;
  user_.SelectTab(CTestCurrent::kTabs, 1)
      .Slide(1337, 0)
      .Do("at the left end", [&](ui::DialogDriver&) { low = Value("Kp_C_scl"); })
      .Slide(1337, 100)
      .Do("at the right end", [&](ui::DialogDriver&) { high = Value("Kp_C_scl"); })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "current");
  EXPECT_NEAR(low, 0.5 * 20479.0 * 16.0 / 32767.0, 1e-9);
  EXPECT_NEAR(high, 1.5 * 20479.0 * 16.0 / 32767.0, 1e-9);
}

// While the preliminary program runs, a moved Kp slider reaches the drive before any new launch.
TEST_F(CurrentTestControls, GainMovedDuringARunGoesToTheDriveAtOnce) {
  ConnectSimulator();
  for (const char* current : {"Current_Reference", "Motor_Current"}) setup_.FindVariable(current, 1)->ChangeUnitType("mA");
  const double openingKpi = Internal("KPI");
  double kpiInDrive = 0.0, kpiInSetup = 0.0;
  user_.SelectTab(CTestCurrent::kTabs, 1)
      .Click(drivebase::kStartStopButton)
      .Wait(ui::Milliseconds(60))
      .Expect(ui::ControlEnabled(1337, true))
      .Expect(ui::ControlEnabled(IDOK, false))
      .Slide(1337, 100)
      .Do("read the drive's gain", [&](ui::DialogDriver&) {
        CMC_Comm::ReadValue("KPI", 1, kpiInDrive);
        kpiInSetup = Internal("KPI");
      })
      .Expect(ui::ControlShows(drivebase::kProgressText, "Waiting preliminary test to be finished"))
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
      .Close(IDCANCEL)
      .Answer(IDNO);
  RunTestAlone(&setup_, "current");
  EXPECT_NE(kpiInSetup, openingKpi);
  EXPECT_EQ(kpiInDrive, kpiInSetup);
}

TEST_F(CurrentTestControls, TestTabIsRefusedWhileTheTestCurrentExceedsTheProtectionAndHelpFindsItsPage) {
  user_.Type(1120, "2.5")
      .Type(1303, "2")
      .SelectTab(CTestCurrent::kTabs, 1)
      .Expect(ui::LastMessageBoxSays("Over current protection must be greater or equal to Test current."))
      .Expect(ui::ControlVisible(1120, true))
      .Expect(ui::ControlVisible(drivebase::kStartStopButton, false))
      .Type(1303, "2.5")
      .SelectTab(CTestCurrent::kTabs, 1)
      .Expect(ui::ControlVisible(drivebase::kStartStopButton, true))
      .Click(drivebase::kHelpButton)
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "current");
  EXPECT_EQ(session_.MessageBoxes().Shown().size(), 1u);  // the help page was found
  EXPECT_EQ(drivebase::HelpRequests().back().page.filename(), "current-tuning.md");
}

// The speed (102) and position (103) tests clear the absolute start's minimum move; others keep it.
TEST_F(CurrentTestControls, OnlySpeedAndPositionTestsClearTheAbsoluteStartMove) {
  for (const unsigned templateId : {101u, 102u, 103u}) {
    setup_.SetParameterValueInInternalUnit("ABSTART_MINMOVE", 100);
    const CMyTestDlg test(&setup_, templateId, 1, nullptr);
    EXPECT_EQ(Internal("ABSTART_MINMOVE"), templateId == 101 ? 100 : 0) << templateId;
  }
}

// The step program's currents are int16: beyond its range they saturate instead of wrapping.
TEST(CurrentTestCurrents, SaturateToSixteenBits) {
  const std::pair<double, int> cases[]{{1234.9, 1234}, {-1.5, -1}, {32767.9, 32767}, {40000.0, 32767},
                                       {65536.0 + 100.0, 32767}, {-32768.5, -32768}, {-1e9, -32768}};
  for (const auto& [internal, handed] : cases) EXPECT_EQ(CTestCurrent::SaturatedCurrent(internal), handed) << internal;
}

TEST_F(CurrentTestControls, DriveSetupOpensTheTestWithTheSinusoidalVoltageScale) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  int flagWhileOpen = -1;
  user_.WaitUntil(ui::TopDialogIs("Brushless Motor Setup"))
      .Close(IDCANCEL)
      .Click(3137)
      .Expect(ui::TopDialogIs("Current Controller Tuning Test"))
      .Do("note the flag", [&](ui::DialogDriver&) { flagWhileOpen = g_bKufSinusoidalMode; })
      .Close(IDCANCEL)
      .Close(IDCANCEL);
  CDriveSetupDlg driveSetup(&setup_, nullptr);
  ui::RunWithAgent(driveSetup, user_);
  EXPECT_EQ(flagWhileOpen, 1);
  EXPECT_EQ(g_bKufSinusoidalMode, 0);
}

}  // namespace
}  // namespace kestrel::commissioning_test
