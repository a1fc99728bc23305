// Motor_Pole_Pairs_Detection_Test with the commissioning test's user: the shaft marked while the
// program waits, Move (var_i2 = 0) and THTST read once per link latency until it is back at
// −16383, as often as it takes the shaft to come back to its mark, then finish (var_i2 = 1).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kRest = -16383;
constexpr double kTurn = 2 * std::numbers::pi, kDegree = kTurn / 360.0;

// Preliminary, then the program, until it waits for the user with the axis on.
Drive WaitingDrive(int polePairs) {
  MotorModel motor = ReferenceMotor();
  motor.pole_pairs = polePairs;
  Drive drive = LoadedDrive(motor, {}, {{"DBT", 0x5050}});
  LaunchPreliminary(drive);
  RunProgram(drive, 8.0);
  LaunchProgram(drive, "IE_Motor_Pole_Pairs_Detection_Test",
                {{"RefTest", drive.ReadVariable("REFTST_V").value_or(0)},
                 {"RIncTest", drive.ReadVariable("RINCTST_V").value_or(0)}});
  drive.RunUntil(drive.Now_s() + 1.0);
  EXPECT_TRUE(drive.ReadVariable("STARTED") == 1 && drive.AxisOn());
  EXPECT_TRUE(drive.ReadVariable("var_i2") == -1 && drive.ReadVariable("poles_pairs") == 0);
  return drive;
}

// One Move as the test waits for it: the first read already differs from the rest angle, the count
// goes up exactly when THTST is back, one second later.
void Move(Drive& drive) {
  const double start_s = drive.Now_s();
  const std::int32_t before = drive.ReadVariable("poles_pairs").value_or(-1);
  EXPECT_TRUE(drive.WriteVariable("var_i2", 0));
  std::int32_t angle = 0;
  for (int reads = 0; angle != kRest && reads < 2000; ++reads) {
    drive.RunUntil(drive.Now_s() + drive.LinkLatency_s());
    angle = drive.ReadVariable("THTST").value_or(0);
    EXPECT_TRUE(reads > 0 || angle != kRest) << "the first read came before the sweep";
    EXPECT_EQ(drive.ReadVariable("poles_pairs"), angle == kRest ? before + 1 : before);
  }
  EXPECT_NEAR(drive.Now_s() - start_s, 1.0, 0.002);
}

class PolePairsProgram : public ::testing::TestWithParam<int> {};

// The shaft is back at its mark (±2°, a second after the move) after exactly p moves, never
// before; finish hands the count over in var_i2.
TEST_P(PolePairsProgram, CountsTheMovesUntilTheShaftIsBackAtItsMark) {
  const int p = GetParam();
  Drive drive = WaitingDrive(p);
  drive.MarkShaft();
  int moves = 0;
  for (bool back = false; !back && moves < 25;) {
    Move(drive);
    drive.RunUntil(drive.Now_s() + 1.0);
    back = std::abs(drive.ShaftTurnedSinceMark() - kTurn) < 2 * kDegree;
    EXPECT_NEAR(drive.ShaftTurnedSinceMark(), kTurn * ++moves / p, 2 * kDegree) << "move " << moves;
  }
  EXPECT_EQ(moves, p);
  ASSERT_TRUE(drive.WriteVariable("var_i2", 1));
  RunProgram(drive, 2.0);
  EXPECT_TRUE(!drive.ProgramRunning() && !drive.AxisOn() && drive.Mer() == 0);
  EXPECT_EQ(drive.ReadVariable("var_i2"), p);
}

INSTANTIATE_TEST_SUITE_P(PolePairs, PolePairsProgram, ::testing::Values(1, 2, 4, 7, 12, 20));

// Half way through a Move: a finish is taken when the turn is complete, with the move counted; the
// host's stop ramps down within 20 ms and leaves THTST where it stood and var_i2 idle.
TEST(PolePairsInterrupted, FinishWaitsForTheTurnAndHostStopEndsAtOnce) {
  for (const bool finish : {true, false}) {
    Drive drive = WaitingDrive(4);
    ASSERT_TRUE(drive.WriteVariable("var_i2", 0));
    drive.RunUntil(drive.Now_s() + 0.5);
    if (finish) {
      ASSERT_TRUE(drive.WriteVariable("var_i2", 1));
    } else {
      drive.StopProgram();
    }
    drive.RunUntil(drive.Now_s() + (finish ? 1.0 : 0.025));
    EXPECT_TRUE(!drive.ProgramRunning() && !drive.AxisOn() && drive.Mer() == 0) << finish;
    EXPECT_EQ(drive.ReadVariable("var_i2"), finish ? 1 : -1);
    EXPECT_EQ(drive.ReadVariable("poles_pairs"), finish ? 1 : 0);
    EXPECT_EQ(drive.ReadVariable("THTST") == kRest, finish);
  }
}

}  // namespace
}  // namespace drivesim::testing
