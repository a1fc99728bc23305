// The encoder connection tests on the simulated drive: the user turns the shaft (or moves the linear
// motor) by hand and stops the test. Counters, index capture and Hall states as the motor gives
// them; no pulses when nobody turns or the encoder is dead; the program ended on both paths.
#include <cmath>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_encoder_connections.h"
#include "drivebase/numeric.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;

struct ConnectionCase {
  const char* name;
  const char* setup;  // and its motor file
  const char* test;
  double travel;      // of the hand: rad, or m for a linear motor; 0: nobody turns
  const char* fault;  // injected before Start; "" none
  const char* error;  // of the run; "" passes
  double counter;     // APOS_MT at the end (rotary: within 2 counts)
  const char* index;  // the index display at the end
};

class EncoderConnections : public Bench, public ::testing::WithParamInterface<ConnectionCase> {};

TEST_P(EncoderConnections, FollowTheHandAndJudgeThePulsesAtStop) {
  const ConnectionCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.setup);
  const std::string motorFile = std::string(KESTREL_MOTORS_DIR) + "/" + c.setup + ".json";
  simulator_ = drivesim::link::ConnectSimulator(setup_, {motorFile, std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  drivesim::Drive& drive = simulator_->SimulatedDrive();
  if (*c.fault != 0) {
    ASSERT_TRUE(drive.InjectFault(c.fault).ok());
  }
  std::string error, index;
  double programEnd = 0.0;
  user_.Click(drivebase::kStartStopButton).Wait(Milliseconds(100)).Do("turn the shaft", [&](ui::DialogDriver&) {
    drive.RunUntil(static_cast<double>(ui::CurrentEventLoop().Clock().Now().count()) / 1000.0);
    if (c.travel != 0.0) drive.HandTurn(c.travel, 2.0);
  });
  user_.Wait(Milliseconds(2500))
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the outcome",
          [&](ui::DialogDriver& dialog) {
            error = TopTest().ErrorText();
            index = dialog.Text(CTestEncoderConnections::kIndexEdit);
            programEnd = drive.ReadVariable("var_i2").value_or(0);
            const auto& test = TopTest<CTestEncoderConnections>();
            const auto counter = static_cast<long>(drive.ReadVariable("APOS_MT").value_or(0));
            const EncoderCounterView& motor = test.Encoder(0);
            if (std::string(c.test) == "encoder-load") {  // rotary motor and load: their dials only
              for (const int place : CTestEncoderLdConnections::kDiagramPlaces) {
                EXPECT_EQ(dialog.IsVisible(place), place == CTestEncoderConnections::kMotorDiagram ||
                                                       place == CTestEncoderLdConnections::kLoadDiagram)
                    << place;
              }
            }
            if (motor.GetLayout().linear) {
              // One pole pitch of 32 mm at 1 µm per count either side of the start.
              EXPECT_EQ(dialog.Text(CTestEncoderConnections::kPositionEdit), std::to_string(counter));
              EXPECT_EQ(motor.Linear().Position(), static_cast<double>(counter));
              EXPECT_EQ(motor.Linear().Upper(), 32000.0);
              EXPECT_NE(counter, 0);
              return;
            }
            // The rotary counter within one revolution, and its angle on the diagram.
            const long revolution = motor.GetLayout().countsPerRevolution;
            const double angle = static_cast<double>(counter) * M_PI / (static_cast<double>(revolution) / 4.0) * 0.5;
            EXPECT_EQ(dialog.Text(CTestEncoderConnections::kPositionEdit),
                      std::to_string(PositiveModulo(counter, revolution)));
            EXPECT_NEAR(std::remainder(motor.Rotary().Theta() - angle, 2 * M_PI), 0.0, 1e-9);
            EXPECT_NEAR(static_cast<double>(counter), c.counter, 2.0);
          })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, c.test);
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(index, c.index);
  EXPECT_EQ(programEnd, 1.0);  // the program was told to end on either path
}

// The default motor: 2000 lines, index at 123.4° (2742 counts from where it starts; turning back,
// the edge comes a count later, at −5259). The dual-loop load turns a tenth of the motor: its
// index at 0° is not passed.
INSTANTIATE_TEST_SUITE_P(
    Users, EncoderConnections,
    ::testing::Values(ConnectionCase{"one_turn", "default", "encoder", 2 * M_PI, "", "", 8000, "2742"},
                      ConnectionCase{"one_turn_backwards", "default", "encoder", -2 * M_PI, "", "", -8000, "-5259"},
                      ConnectionCase{"nobody_turns", "default", "encoder", 0.0, "",
                                     CTestEncoderConnections::kNoPulsesText, 0, "not detected"},
                      ConnectionCase{"dead_encoder", "default", "encoder", 2 * M_PI, "encoder_dead",
                                     CTestEncoderConnections::kNoPulsesText, 0, "not detected"},
                      ConnectionCase{"no_index", "default", "encoder", 2 * M_PI, "no_index", "", 8000, "not detected"},
                      ConnectionCase{"linear_motor", "linear", "encoder", 0.032, "", "", 0, "not detected"},
                      ConnectionCase{"dual_loop", "dual_loop", "encoder-load", 2 * M_PI, "", "", 8000, "not detected"}),
    [](const auto& param) { return std::string(param.param.name); });

// A drive that keeps the commands it is sent.
class CommandRecordingDrive : public ScriptedDrive {
 public:
  bool ExecuteString(std::string_view command) override {
    commands.emplace_back(command);
    return true;
  }
  std::vector<std::string> commands;
};

// The capture is armed at the first tick after pulses, and only once however long the shaft turns;
// until the index passes it shows "not detected".
TEST_F(Bench, IndexCaptureIsArmedOnceAfterTheFirstPulses) {
  CommandRecordingDrive drive;
  drive.values.insert({{"APOS_MT", {0, 2}}, {"CAPPOS", {0, 2}}, {"HALL", {5, 1}}, {"var_i2", {0, 1}}});
  CMC_Comm::SetActiveLink(&drive);
  const auto turn = [&drive](double counter, double captured) {
    return [&drive, counter, captured](ui::DialogDriver&) {
      drive.values["APOS_MT"].first = counter;
      drive.values["CAPPOS"].first = captured;
    };
  };
  user_.Click(drivebase::kStartStopButton)
      .Wait(Milliseconds(100))
      .Do("the shaft moves by two counts", turn(2, 0))
      .Wait(Milliseconds(100))
      .ExpectText(CTestEncoderConnections::kIndexEdit, "not detected")
      .Do("the shaft turns on", turn(3, 0))
      .Wait(Milliseconds(100))
      .Do("past the index", turn(9000, 2742))
      .Wait(Milliseconds(100))
      .ExpectText(CTestEncoderConnections::kIndexEdit, "2742")
      .ExpectText(CTestEncoderConnections::kPositionEdit, "1000")
      .ExpectText(CTestEncoderConnections::kHallStateEdit, "101")
      .Do("look at the commands",
          [&drive](ui::DialogDriver&) { EXPECT_EQ(drive.commands, std::vector<std::string>{"!CAP;ENCAPI1;"}); })
      .Click(drivebase::kStartStopButton)
      .ExpectText(drivebase::kOutcomeText, "Test passed")
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "encoder");
  EXPECT_EQ(drive.values["var_i2"].first, 1.0);
}

}  // namespace
}  // namespace kestrel::commissioning_test
