// Motor_Pole_Pairs_Detection_Test with the user of the commissioning test: the shaft marked when
// the program waits, Move (var_i2 = 0) and THTST read once per link latency until it is back at
// −16383, as often as it takes the shaft to come back to its mark, then finish (var_i2 = 1).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kRest = -16383;
constexpr double kDegree = std::numbers::pi / 180.0;

// Preliminary, then the program, run until it waits for the user with the axis on.
Drive WaitingDrive(MotorModel motor) {
  Drive drive = LoadedDrive(std::move(motor), {}, {{"DBT", 0x5050}});
  LaunchPreliminary(drive);
  RunProgram(drive, 8.0);
  const std::int32_t reference = drive.ReadVariable("REFTST_V").value_or(0);
  LaunchProgram(drive, "IE_Motor_Pole_Pairs_Detection_Test",
                {{"RefTest", reference}, {"RIncTest", drive.ReadVariable("RINCTST_V").value_or(0)}});
  drive.RunUntil(drive.Now_s() + 1.0);
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_TRUE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("var_i2"), -1);
  EXPECT_EQ(drive.ReadVariable("poles_pairs"), 0);
  return drive;
}

// One Move as the test's wait sees it: THTST read every link latency; the first read already
// differs from the rest angle, and the count goes up when THTST is back. Returns its duration.
double Move(Drive& drive) {
  const double start_s = drive.Now_s();
  const std::int32_t before = drive.ReadVariable("poles_pairs").value_or(-1);
  EXPECT_TRUE(drive.WriteVariable("var_i2", 0));
  int reads = 0;
  std::int32_t angle = 0;
  do {
    drive.RunUntil(drive.Now_s() + drive.LinkLatency_s());
    angle = drive.ReadVariable("THTST").value_or(0);
    EXPECT_TRUE(reads > 0 || angle != kRest) << "the first read came before the sweep";
    EXPECT_EQ(drive.ReadVariable("poles_pairs"), angle == kRest ? before + 1 : before);
  } while (angle != kRest && ++reads < 2000);
  return drive.Now_s() - start_s;
}

class PolePairsProgram : public ::testing::TestWithParam<int> {};

// Each Move is one electrical turn in 1 s (about a thousand reads), so the shaft is back at its mark
// (within 2°, after the user's second of reaction) after exactly p moves and never before; the
// count reaches var_i2 on finish.
TEST_P(PolePairsProgram, CountsTheMovesUntilTheShaftIsBackAtItsMark) {
  MotorModel motor = ReferenceMotor();
  motor.pole_pairs = GetParam();
  Drive drive = WaitingDrive(motor);
  drive.MarkShaft();
  int moves = 0;
  bool back = false;
  while (!back && moves < 25) {
    EXPECT_NEAR(Move(drive), 1.0, 0.002);
    ++moves;
    drive.RunUntil(drive.Now_s() + 1.0);
    const double turned = drive.ShaftTurnedSinceMark();
    back = std::abs(turned - 2 * std::numbers::pi) < 2 * kDegree;
    EXPECT_NEAR(turned, 2 * std::numbers::pi * moves / GetParam(), 2 * kDegree) << "move " << moves;
  }
  EXPECT_EQ(moves, GetParam());
  ASSERT_TRUE(drive.WriteVariable("var_i2", 1));
  RunProgram(drive, 2.0);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("var_i2"), GetParam());
  EXPECT_EQ(drive.Mer(), 0);
}

INSTANTIATE_TEST_SUITE_P(PolePairs, PolePairsProgram, ::testing::Values(1, 2, 4, 7, 12, 20));

// What the user or the drive does half way through a Move, and how the program ends: the host's
// stop ramps down within 20 ms and leaves THTST where it stood and var_i2 idle; ENABLE dropped
// switches the axis off at once (MER 0x8000); a finish written during the sweep is taken when
// the turn is complete, with the move counted.
struct InterruptCase {
  const char* name;
  void (*action)(Drive&);
  double end_s;             // the program has ended this long after the action
  std::int32_t var_i2, poles_pairs;
  bool backAtRest;
  std::uint16_t mer;
};
class PolePairsInterrupted : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(PolePairsInterrupted, EndsTheProgram) {
  const InterruptCase& c = GetParam();
  Drive drive = WaitingDrive(ReferenceMotor());
  ASSERT_TRUE(drive.WriteVariable("var_i2", 0));
  drive.RunUntil(drive.Now_s() + 0.5);
  c.action(drive);
  drive.RunUntil(drive.Now_s() + c.end_s);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("var_i2"), c.var_i2);
  EXPECT_EQ(drive.ReadVariable("poles_pairs"), c.poles_pairs);
  EXPECT_EQ(drive.ReadVariable("THTST") == kRest, c.backAtRest);
  EXPECT_EQ(drive.Mer(), c.mer);
}

INSTANTIATE_TEST_SUITE_P(
    DuringAMove, PolePairsInterrupted,
    ::testing::Values(InterruptCase{"HostStop", [](Drive& d) { d.StopProgram(); }, 0.025, -1, 0, false, 0},
                      InterruptCase{"EnableDropped", [](Drive& d) { d.SetEnableInput(false); }, 0.001, -1, 0, false,
                                    mer::kEnableInactive},
                      InterruptCase{"Finish", [](Drive& d) { EXPECT_TRUE(d.WriteVariable("var_i2", 1)); }, 1.0, 1, 1, true, 0}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::testing
