// The current test's controls: the sliders' ranges, the refused tab, the currents handed to the
// step program, and Drive Setup's button that opens the test.
#include "commissioning/test_catalogue.h"
#include "compute/scale_functions.h"
#include "dialogs/dialog_resources.h"
#include "drivebase/gui_resources.h"
#include "dialogs/drive_setup_dlg.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

class CurrentTestControls : public Bench {};

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
