// The motor wiring tests: the phase connection judged from the phase currents (the rule, and runs
// on the simulated motor, healthy and with an open phase); the pole pairs counted by moves on a
// recording drive, how a run ends, and the question whether to keep the count.
#include "commissioning/detect_pole_pairs.h"
#include "commissioning/save_question.h"
#include "commissioning/test_catalogue.h"
#include "commissioning/test_phase_connections.h"
#include "motor_test_drive.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

bool Ended(ui::DialogDriver&) { return !TopTest().IsRunning(); }

struct CurrentsCase {
  double ia_A, ib_A, itest_A;
  bool right;
};

class PhaseCurrents : public ::testing::TestWithParam<CurrentsCase> {};

TEST_P(PhaseCurrents, AreRightOnlyStrictlyWithinTheWindow) {
  const CurrentsCase& c = GetParam();
  EXPECT_EQ(PhaseCurrentsAreRight(c.ia_A, c.ib_A, c.itest_A), c.right) << c.ia_A << " " << c.ib_A;
}

INSTANTIATE_TEST_SUITE_P(Table, PhaseCurrents,
                         ::testing::Values(CurrentsCase{2.0, -1.0, 2.0, true}, CurrentsCase{2.0, 1.0, 2.0, false},
                                           CurrentsCase{2.0, 0.0, 2.0, false},     // no division by 0
                                           CurrentsCase{1.5, -1.0, 1.5, false},    // ratio exactly 1.5
                                           CurrentsCase{2.5, -1.0, 2.5, false},    // ratio exactly 2.5
                                           CurrentsCase{1.2, -0.6, 2.0, false},    // IA exactly 0.6 × Itest
                                           CurrentsCase{2.8, -1.4, 2.0, false},    // IA exactly 1.4 × Itest
                                           CurrentsCase{1.5, -0.625, 1.5, true},   // phase B 40 % high: 2.4
                                           CurrentsCase{-2.0, 1.0, 2.0, false}));  // phase A reversed

// The programs of both tests: linear Hall and sin/cos motors run the incremental encoder's linear
// phase program after their own preliminary; the pole pairs programs are always the rotary ones.
struct ProgramsCase {
  int motorSensor, loadSensor, transmission;
  const char* expected;  // phase: preliminary, program; pole pairs: preliminary, program
};

class MotorTestPrograms : public Bench, public ::testing::WithParamInterface<ProgramsCase> {};

TEST_P(MotorTestPrograms, FollowTheSensorAndTheMotorKind) {
  const ProgramsCase& c = GetParam();
  for (const auto& [name, value] : {std::pair{"MotorSensorType", c.motorSensor},
                                    {"LoadSensorType", c.loadSensor},
                                    {"TransmissionType", c.transmission}}) {
    setup_.SetParameterValueInBaseUnit(name, value);
  }
  const CTestPhaseConnections phase(&setup_, nullptr);
  const CDetectPolePairs polePairs(&setup_, nullptr);
  EXPECT_EQ(phase.PreliminaryProgram() + " " + phase.PhaseProgram() + "; " + polePairs.PreliminaryProgram() + " " +
                polePairs.PolePairsProgram(),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MotorTestPrograms,
    ::testing::Values(
        ProgramsCase{1, 0, 2,
                     "IE_Initial_Positioning_Test_LIN IE_Motor_Phase_Connection_Test_LIN; IE_Initial_Positioning_Test "
                     "IE_Motor_Pole_Pairs_Detection_Test"},
        ProgramsCase{2, 0, 0,
                     "LH_Initial_Positioning_Test IE_Motor_Phase_Connection_Test_LIN; LH_Initial_Positioning_Test "
                     "LH_Motor_Pole_Pairs_Detection_Test"},
        ProgramsCase{0, 3, 3,
                     "SC_Initial_Positioning_Test IE_Motor_Phase_Connection_Test_LIN; SC_Initial_Positioning_Test "
                     "SC_Motor_Pole_Pairs_Detection_Test"},
        ProgramsCase{6, 0, 1,
                     "SSI_Initial_Positioning_Test SSI_Motor_Phase_Connection_Test; SSI_Initial_Positioning_Test "
                     "SSI_Motor_Pole_Pairs_Detection_Test"},
        ProgramsCase{0, 5, 0, " ;  "}));  // an absolute encoder on the load alone: no program

struct PhaseRunCase {
  const char* name;
  const char* fault;  // injected into the simulated drive; null: none
  const char* shown;  // IA and IB; the bar of IA: its ends, value and repaints
  const char* error;
};

class PhaseRun : public Bench, public ::testing::WithParamInterface<PhaseRunCase> {};

TEST_P(PhaseRun, JudgesTheSimulatedMotor) {
  const PhaseRunCase& c = GetParam();
  ConnectSimulator();
  if (c.fault != nullptr) {
    ASSERT_TRUE(simulator_->SimulatedDrive().InjectFault(c.fault).ok());
  }
  std::string error, shown;
  user_.Click(drivebase::kStartStopButton)
      .RunUntil("the run ends", Ended)
      .Do("note the outcome",
          [&](ui::DialogDriver& dialog) {
            const CTestPhaseConnections& test = TopTest<CTestPhaseConnections>();
            const CBarGraph& bar = test.CurrentABar();
            error = test.ErrorText();
            shown = dialog.Text(CTestPhaseConnections::kCurrentAEdit) + " " +
                    dialog.Text(CTestPhaseConnections::kCurrentBEdit) + " | " + FormatG(bar.Lower()) + " " +
                    FormatG(bar.Upper()) + " " + FormatG(bar.Value()) + " x" + std::to_string(bar.Repaints());
          })
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "phase"), IDCANCEL);  // nothing to keep
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(shown, c.shown);
}

// The test current of 1.6 A (5237 counts) along phase A returns half through phase B; with B open
// none does (a few mA below 0, rounded), with C open all of it. The bars span ±1.5 × 5237 / 3273.6
// A, cleared at Start and showing the currents after a pass.
INSTANTIATE_TEST_SUITE_P(
    Motor, PhaseRun,
    ::testing::Values(PhaseRunCase{"healthy", nullptr, "1.6 -0.8 | -2.39965 2.39965 1.6 x2", ""},
                      PhaseRunCase{"phase_b_open", "open_phase B", "1.6 -0 | -2.39965 2.39965 0 x1",
                                   CTestPhaseConnections::kFailureText},
                      PhaseRunCase{"phase_c_open", "open_phase C", "1.6 -1.59 | -2.39965 2.39965 0 x1",
                                   CTestPhaseConnections::kFailureText}),
    [](const auto& param) { return std::string(param.param.name); });

// A user's way through the pole pairs test: Start, some moves, then something that ends the run.
struct PolePairsCase {
  const char* name;
  int moves;
  void (*arrange)(MotorTestDrive& drive);
  int stop;    // the user presses Stop: 0 never, 1 after the moves, 2 during the last (a drive that stops
               // at once has switched off before the host's poll comes: still the user's stop)
  int answer;  // to the question on closing; 0: none asked
  int endCode;
  double pp;          // the setup's pp after the dialog
  const char* error;  // of the run; "" when it passed
};

class PolePairsRun : public Bench, public ::testing::WithParamInterface<PolePairsCase> {};

TEST_P(PolePairsRun, CountsMovesAndKeepsTheCountOnlyOnYes) {
  const PolePairsCase& c = GetParam();
  MotorTestDrive drive;
  if (c.arrange != nullptr) c.arrange(drive);
  CMC_Comm::SetActiveLink(&drive);
  std::string error, count;
  user_.Click(drivebase::kStartStopButton);
  for (int k = 0; k < c.moves; ++k) PressWhenMoveOffered(user_);
  if (c.stop == 1) PressWhenMoveOffered(user_, drivebase::kStartStopButton);
  if (c.stop == 2) user_.Click(drivebase::kStartStopButton);
  user_.RunUntil("the run ends", Ended)
      .Do("note the outcome", [&](ui::DialogDriver& dialog) {
        error = TopTest().ErrorText();
        count = dialog.Text(CDetectPolePairs::kCountEdit);
      });
  // Started again, Move waits for the program whatever the run before left.
  if (*c.error != 0) {
    user_.Click(drivebase::kStartStopButton).Expect(ui::ControlVisible(CDetectPolePairs::kMoveButton, false))
        .Click(drivebase::kStartStopButton).RunUntil("the run ends", Ended);
  }
  user_.Close(IDCANCEL);
  if (c.answer != 0) user_.Answer(c.answer);
  if (c.answer == IDCANCEL) user_.Close(IDCANCEL).Answer(IDNO);  // the test stayed open: closed again
  EXPECT_EQ(RunTestAlone(&setup_, "pole-pairs"), c.endCode);
  EXPECT_EQ(error, c.error);
  const int completed = c.stop == 2 ? c.moves - 1 : c.moves;
  EXPECT_EQ(count, completed > 0 && !drive.stuck ? std::to_string(completed) : "");
  EXPECT_EQ(Value("pp"), c.pp);
  if (c.answer != 0) {
    EXPECT_EQ(session_.MessageBoxes().Shown().front().text,
              "A different value than specified has been detected for the following parameter(s):\r\n\r\n"
              "Pole Pairs:\tOld = 4\tNew = 3\r\n\r\nDo you want to save the new value(s)? (Recommended)");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Users, PolePairsRun,
    ::testing::Values(PolePairsCase{"three_moves_yes", 3, nullptr, 1, IDYES, IDOK, 3, ""},
                      PolePairsCase{"three_moves_no", 3, nullptr, 1, IDNO, IDCANCEL, 4, ""},
                      PolePairsCase{"three_moves_cancel_then_no", 3, nullptr, 1, IDCANCEL, IDCANCEL, 4, ""},
                      PolePairsCase{"four_moves_as_before", 4, nullptr, 1, 0, IDCANCEL, 4, ""},
                      PolePairsCase{"stop_before_any_move", 0, nullptr, 1, 0, IDCANCEL, 4,
                                    CMC_TestDlg::kStoppedText},
                      PolePairsCase{"stop_during_a_move", 1, nullptr, 2, 0, IDCANCEL, 4, CMC_TestDlg::kStoppedText},
                      PolePairsCase{"count_not_handed_back", 2, [](MotorTestDrive& d) { d.handBackOffset = 1; }, 1,
                                    0, IDCANCEL, 4, CMC_TestDlg::msc_pszErrInternal},
                      PolePairsCase{"field_never_back", 1, [](MotorTestDrive& d) { d.stuck = true; }, 0, 0,
                                    IDCANCEL, 4, CMC_TestDlg::msc_pszErrInternal}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Bench, PolePairsOfAFractionalSetupValueAreRoundedForTheQuestion) {
  setup_.RemoveParameter("pp");
  setup_.AddParameter({{"pp", 4, "", false, 2.9999996}, 1, 128, 6});
  user_.Do("look", [](ui::DialogDriver&) { EXPECT_EQ(TopTest<CDetectPolePairs>().OpeningPolePairs(), 3); })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "pole-pairs");
}

// How a pole pairs run on the simulated motor ends when the drive interrupts it.
struct InterruptCase {
  const char* name;
  void (*interrupt)(ui::TestAgent& user, drivesim::Drive& drive);
  const char* error;
};

class PolePairsInterrupted : public Bench, public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(PolePairsInterrupted, EndsTheRunWithItsText) {
  ConnectSimulator();
  std::string error;
  user_.Click(drivebase::kStartStopButton);
  GetParam().interrupt(user_, simulator_->SimulatedDrive());
  user_.RunUntil("the run ends", Ended)
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "pole-pairs"), IDCANCEL);
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(Value("pp"), 4);
}

void DropEnable(ui::TestAgent&, drivesim::Drive& drive) { drive.SetEnableInput(false); }
// Phases A and B short 300 ms into a move (which takes a second).
void ShortDuringAMove(ui::TestAgent& user, drivesim::Drive& drive) {
  PressWhenMoveOffered(user).Wait(ui::Milliseconds(300)).Do("short A to B", [&drive](ui::DialogDriver&) {
    (void)drive.InjectFault("short A B");
  });
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PolePairsInterrupted,
    ::testing::Values(InterruptCase{"enable_never_given", DropEnable, "Drive / Motor ENABLE input is in DISABLED state."},
                      InterruptCase{"short_circuit_during_move", ShortDuringAMove,
                                    "Drive / Motor shortcircuit protection triggered."}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel::commissioning_test
