// Motor Setup's buttons open the motor tests: each its own test, the resistance and inductance
// test with the sinusoidal voltage scale; a pole pairs count kept on Yes shows in Motor Setup.
#include "commissioning/detect_encoder_resolution.h"
#include "commissioning/detect_pole_pairs.h"
#include "commissioning/test_catalogue.h"
#include "commissioning/test_linear_hall.h"
#include "dialogs/dialog_opener.h"
#include "dialogs/dialog_resources.h"
#include "motor_test_drive.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

TEST_F(Bench, MotorSetupsButtonsOpenTheirTests) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  std::string flags;  // g_bKufSinusoidalMode while each test is open
  for (const auto& [button, caption] : {std::pair{1175, "Motor Phase Connection Test"},
                                        {1176, "Motor Pole Pairs Detection Test"},
                                        {1177, "Total Resistance and Inductance Identification Test"},
                                        {1187, "Encoder Connection Test"},
                                        {1189, "Encoder Resolution and Direction Test"},
                                        {1188, "Hall Sensors Connection Test"},
                                        {1190, "Hall Configuration Detection Test"}}) {
    user_.Click(button).Expect(ui::TopDialogIs(caption)).Do("note the flag", [&](ui::DialogDriver&) {
      flags += std::to_string(g_bKufSinusoidalMode);
    });
    user_.Close(IDCANCEL);
  }
  user_.Close(IDCANCEL);
  RunSetupDialogAlone(&setup_, "motor");
  EXPECT_EQ(flags, "0010000");
  EXPECT_EQ(g_bKufSinusoidalMode, 0);
}

// The linear Hall buttons of either side open their test on that side, with the drive's linear
// variant of the gains program where the side moves linearly.
struct LinearHallButtonCase {
  const char* setup;
  int loadSensor, transmission;
  int button;
  const char* seen;  // caption, side, test program
};

class LinearHallButtons : public Bench, public ::testing::WithParamInterface<LinearHallButtonCase> {};

TEST_P(LinearHallButtons, OpenTheTestOfTheirSide) {
  const LinearHallButtonCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.setup);
  setup_.SetParameterValueInBaseUnit("LoadSensorType", c.loadSensor);
  setup_.SetParameterValueInBaseUnit("TransmissionType", c.transmission);
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  std::string seen;
  user_.Click(c.button)
      .Do("note the test",
          [&](ui::DialogDriver& dialog) {
            const auto& test = TopTest<CLinearHallTest>();
            seen = dialog.Caption() + ", " + (test.Side() == SensorSide::load ? "load" : "motor") + ", " +
                   test.TestProgram();
          })
      .Close(IDCANCEL)
      .Close(IDCANCEL);
  RunSetupDialogAlone(&setup_, "motor");
  EXPECT_EQ(seen, c.seen);
}

INSTANTIATE_TEST_SUITE_P(
    Sides, LinearHallButtons,
    ::testing::Values(
        LinearHallButtonCase{"linear_hall", 0, 3, 3409,
                             "Linear Hall Gains and Offsets Detection, motor, LH_Detect_Hall_Gain_Offset_Test_LIN"},
        LinearHallButtonCase{"linear_hall", 0, 0, 3410,
                             "Linear Hall Sensors Connection Test, motor, LH_Hall_Signals_Connection_Test"},
        LinearHallButtonCase{"default", 2, 2, 3414,
                             "Linear Hall Gains and Offsets Detection, load, LH_Detect_Hall_Gain_Offset_Test"},
        LinearHallButtonCase{"default", 2, 1, 3415,
                             "Linear Hall Sensors Connection Test, load, LH_Hall_Signals_Connection_Test"}));

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

// The resolution test's lines kept on Yes show in Motor Setup; a counting direction the user chose
// in a test left without a result stays in the setup all the same.
TEST_F(Bench, MotorSetupKeepsTheLinesFoundAndTheCountingDirectionChosen) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  ScriptedDrive drive;
  drive.outputs["H123"] = 5;
  drive.values["var_lf_long"] = {4000, 2};
  CMC_Comm::SetActiveLink(&drive);
  std::string shown;
  user_.Click(1189)
      .Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
      .Close(IDCANCEL)
      .Answer(IDYES)
      .Do("read the lines", [&](ui::DialogDriver& dialog) { shown = dialog.Text(1179); })
      .Click(1189)
      .Check(CDetectEncoderResolution::kReverseCountingCheck)
      .Close(IDCANCEL)
      .Expect(ui::TopDialogIs("Brushless Motor Setup"))
      .Close(IDOK);
  EXPECT_EQ(RunSetupDialogAlone(&setup_, "motor"), IDOK);
  EXPECT_EQ(shown, "1000");
  EXPECT_EQ(Value("No_encoder_lines"), 1000);
  EXPECT_EQ(Value("ReverseCounting_MT"), 1);
}

}  // namespace
}  // namespace kestrel::commissioning_test
