// Motor Setup's buttons open the motor tests: each its own test, the resistance and inductance
// test with the sinusoidal voltage scale; a pole pairs count kept on Yes shows in Motor Setup.
#include "commissioning/detect_pole_pairs.h"
#include "commissioning/test_catalogue.h"
#include "dialogs/dialog_opener.h"
#include "dialogs/dialog_resources.h"
#include "motor_test_drive.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

struct ButtonCase {
  int button;
  const char* caption;
  int sinusoidal;  // g_bKufSinusoidalMode while the test is open
};

class MotorSetupButton : public Bench, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(MotorSetupButton, OpensItsTest) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  int flagWhileOpen = -1;
  user_.Click(GetParam().button)
      .Expect(ui::TopDialogIs(GetParam().caption))
      .Do("note the flag", [&](ui::DialogDriver&) { flagWhileOpen = g_bKufSinusoidalMode; })
      .Close(IDCANCEL)
      .Close(IDCANCEL);
  RunSetupDialogAlone(&setup_, "motor");
  EXPECT_EQ(flagWhileOpen, GetParam().sinusoidal);
  EXPECT_EQ(g_bKufSinusoidalMode, 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, MotorSetupButton,
                         ::testing::Values(ButtonCase{1175, "Motor Phase Connection Test", 0},
                                           ButtonCase{1176, "Motor Pole Pairs Detection Test", 0},
                                           ButtonCase{1177, "Total Resistance and Inductance Identification Test", 1}));

TEST_F(Bench, AKeptPolePairsCountShowsInMotorSetup) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  MotorTestDrive drive;
  CMC_Comm::SetActiveLink(&drive);
  std::string shown;
  user_.Click(1176).Click(drivebase::kStartStopButton);
  for (int move = 0; move < 3; ++move) PressWhenMoveOffered(user_);
  PressWhenMoveOffered(user_, drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
      .Close(IDCANCEL)
      .Answer(IDYES)
      .Expect(ui::TopDialogIs("Brushless Motor Setup"))
      .Do("read pp", [&](ui::DialogDriver& dialog) { shown = dialog.Text(1165); })
      .Close(IDOK);
  EXPECT_EQ(RunSetupDialogAlone(&setup_, "motor"), IDOK);
  EXPECT_EQ(shown, "3");
  EXPECT_EQ(Value("pp"), 3);
}

}  // namespace
}  // namespace kestrel::commissioning_test
