// The DC voltage detection on the simulated drive: the supply found within the drive's accuracy
// for the ADC full scale of the drive family, kept on Yes, the voltage of the opening written back
// on No.
#include "commissioning/test_catalogue.h"
#include "commissioning/test_vdc_detection.h"
#include "dialogs/drive_setup_dlg.h"
#include "dialogs/dialog_resources.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

struct SupplyCase {
  const char* name;
  std::uint32_t adcFullScale;  // of the drive family
  double supply_V;
  int answer;       // to the question whether to keep it
  double kept_V;    // Vdc after the dialog closed
};

class SupplyVoltage : public Bench, public ::testing::WithParamInterface<SupplyCase> {};

TEST_P(SupplyVoltage, IsFoundAndKeptOrPutBack) {
  const SupplyCase& c = GetParam();
  drivebase::DriveFamilyData family = setup_.DriveFamily();
  family.adcFullScale = c.adcFullScale;
  setup_.SetDriveFamily(family);
  ConnectSimulator();
  ASSERT_TRUE(simulator_->SimulatedDrive().SetSupply_V(c.supply_V).ok());
  double found = 0.0;
  std::string shown, lines;
  user_.Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the result",
          [&](ui::DialogDriver& dialog) {
            EXPECT_EQ(TopTest().ErrorText(), "");
            found = Value("Vdc");
            shown = dialog.Text(CTestVdcDetection::kVdcEdit);
            lines = TopTest<CTestVdcDetection>().ResultLines().front().value;
          })
      .Close(IDCANCEL)
      .Answer(c.answer);
  const int end = RunTestAlone(&setup_, "vdc");
  // The drive measures within ±0.05 %; the commissioning engineer needs 1 %.
  EXPECT_NEAR(found, c.supply_V, c.supply_V * 0.0005);
  EXPECT_EQ(shown, FormatG(found));
  EXPECT_EQ(lines, FormatNumber("%G", found) + " V");
  EXPECT_EQ(end, c.answer == IDYES ? IDOK : IDCANCEL);
  EXPECT_NEAR(Value("Vdc"), c.kept_V, c.kept_V * 0.0005);
  EXPECT_EQ(LastBox(), "A different value than specified has been detected for the following parameter(s):\r\n\r\n"
                       "Power supply:\tOld = 48\tNew = " + FormatNumber("%G", found) +
                           "\r\n\r\nDo you want to save the new value(s)? (Recommended)");
}

INSTANTIATE_TEST_SUITE_P(Supplies, SupplyVoltage,
                         ::testing::Values(SupplyCase{"Kept", 65472, 36.0, IDYES, 36.0},
                                           SupplyCase{"SixteenBitAdcPutBack", 65535, 30.0, IDNO, 48.0}),
                         [](const auto& supply) { return std::string(supply.param.name); });

// Drive Setup's Detect opens the test; the voltage kept shows in Drive Setup's supply field.
TEST_F(Bench, DriveSetupsDetectShowsTheVoltageKept) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  ScriptedDrive drive;
  drive.values["var_u2"] = {27092, 2};  // 36.0010 V
  CMC_Comm::SetActiveLink(&drive);
  std::string shown;
  user_.WaitUntil(ui::TopDialogIs("Brushless Motor Setup"))
      .Close(IDCANCEL)
      .Click(3171)
      .Expect(ui::TopDialogIs("VDC Detection Test"))
      .Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
      .Close(IDCANCEL)
      .Answer(IDYES)
      .Expect(ui::TopDialogIs("Drive Setup"))
      .Do("read the supply", [&](ui::DialogDriver& dialog) { shown = dialog.Text(3163); })
      .Close(IDCANCEL);
  CDriveSetupDlg dialog(&setup_, nullptr);
  dialog.DoModal();
  EXPECT_EQ(shown, FormatG(27092.0 * 87.0 / 65472.0));
}

}  // namespace
}  // namespace kestrel::commissioning_test
