// The digital Hall signals test: each signal's flag from the states seen (worked bit by bit), and
// runs on the simulated motor (Hall order [3, 1, 2], inverted; four pole pairs) with the user's
// hand: a slow turn, none, a stroboscope (a turn of four electrical revolutions between two of
// the test's looks: it sees one state while the drive counts all six), and Hall 2 unconnected
// (it reads 1: never low, and the drive sees code 7).
#include <numbers>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_hall_signals.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

struct FlagsCase {
  std::vector<int> states;
  HallSignalFlags flags;
};

class HallFlags : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(HallFlags, OrTheLevelsSeen) {
  HallSignalFlags flags{};
  for (const int state : GetParam().states) MarkHallSignals(flags, state);
  EXPECT_EQ(flags, GetParam().flags);
}

// 1 = 001, 3 = 011, 2 = 010: Hall 1 never high; a full turn toggles all three; 7 and 0 mark all
// three high or low.
INSTANTIATE_TEST_SUITE_P(Table, HallFlags,
                         ::testing::Values(FlagsCase{{1, 3, 2}, {1, 3, 3}}, FlagsCase{{5, 4, 6, 2, 3, 1}, {3, 3, 3}},
                                           FlagsCase{{4}, {2, 1, 1}}, FlagsCase{{7, 0}, {3, 3, 3}},
                                           FlagsCase{{}, {0, 0, 0}}));

struct SignalsRunCase {
  const char* name;
  double turn_rev, turn_s;  // the hand's turn after Start (0: none)
  const char* fault;        // injected before Start; null: none
  const char* results;      // Hall 1, 2, 3
  const char* error;
};

class HallSignalsRun : public Bench, public ::testing::WithParamInterface<SignalsRunCase> {};

TEST_P(HallSignalsRun, JudgesTheSignalsOnStop) {
  const SignalsRunCase& c = GetParam();
  ConnectSimulator();
  drivesim::Drive& drive = simulator_->SimulatedDrive();
  if (c.fault != nullptr) {
    ASSERT_TRUE(drive.InjectFault(c.fault).ok());
  }
  std::string results, error, slices;
  user_.Click(drivebase::kStartStopButton)
      .Do("turn the shaft",
          [&](ui::DialogDriver&) {
            if (c.turn_rev == 0.0) return;
            drive.RunUntil(static_cast<double>(ui::CurrentEventLoop().Clock().Now().count()) / 1000.0);
            drive.HandTurn(c.turn_rev * 2.0 * std::numbers::pi, c.turn_s);
          })
      .Wait(ui::Milliseconds(5000))
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the outcome",
          [&](ui::DialogDriver& dialog) {
            const auto& test = TopTest<CTestHallSignals>();
            for (const int edit : CTestHallSignals::kResultEdits) results += dialog.Text(edit) + " ";
            error = test.ErrorText();
            for (const auto status : test.Displays().Halls().Statuses()) slices += std::to_string(status);
          })
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "hall-signals"), IDCANCEL);
  EXPECT_EQ(results, c.results);
  EXPECT_EQ(error, c.error);
  if (c.error[0] == '\0') {
    EXPECT_EQ(slices.find('0'), std::string::npos) << slices;  // every slice seen
  }
  // The monitoring program was told to end (var_i2 = 1) whatever the outcome: it has, a moment
  // later.
  EXPECT_EQ(drive.ReadVariable("var_i2"), 1);
  drive.RunUntil(drive.Now_s() + 0.001);
  EXPECT_FALSE(drive.ProgramRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Motor, HallSignalsRun,
    ::testing::Values(SignalsRunCase{"slow_turn", 1.0, 4.0, nullptr, "OK OK OK ", ""},
                      SignalsRunCase{"no_turn", 0.0, 0.0, nullptr, "Bad Bad Bad ", CTestHallSignals::kNoTransitionsText},
                      SignalsRunCase{"stroboscope", 1.0, 0.020, nullptr, "Bad Bad Bad ",
                                     CTestHallSignals::kNotAllTransitionsText},
                      SignalsRunCase{"hall_2_missing", 1.0, 4.0, "hall_missing 2", "OK Bad OK ",
                                     CTestHallSignals::kNoTransitionsText}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel::commissioning_test
