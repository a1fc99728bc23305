// The total inertia and mass tests: the result's formula worked by hand, the judgement of the
// program's readings, the start's current check and the save question; and the motor-inertia
// questions with the check that asks them.
#include <cmath>

#include "commissioning/inertia_question.h"
#include "commissioning/test_catalogue.h"
#include "commissioning/total_inertia_test.h"
#include "compute/scale_functions.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;

// K = 0.1 N·m/A, I = 2 A (2000 at B = 1000 per A), delta_time × Ts = 500 × 1 ms = 0.5 s and a
// speed change of 100 rad/s (200 at S = 2 per rad/s): 0.1 × 2 × 0.5 / 100 = 0.001 kg·m².
TEST(TotalInertiaFormula, IsTorqueTimesTimeOverSpeedChange) {
  EXPECT_NEAR(TotalInertia(2.0, 1000.0, 1e-3, 0.1, 2000.0, {1.0, 500.0, 200.0}), 1e-3, 1e-18);
}

struct JudgementCase {
  const char* name;
  TotalInertiaReadings readings;
  const char* begins;  // the failure's text begins so; null: a result
  const char* ends = "";
  bool mass = false;  // the mass test's texts speak of force
};

class Judgement : public ::testing::TestWithParam<JudgementCase> {};

TEST_P(Judgement, GivesTheTextOfTheFirstFault) {
  const auto failure = TotalInertiaFailure(GetParam().mass ? MassTestKind() : InertiaTestKind(), GetParam().readings);
  if (GetParam().begins == nullptr) {
    EXPECT_FALSE(failure.has_value()) << *failure;
    return;
  }
  ASSERT_TRUE(failure.has_value());
  EXPECT_TRUE(failure->starts_with(GetParam().begins)) << *failure;
  EXPECT_TRUE(failure->ends_with(GetParam().ends)) << *failure;
}

constexpr const char* kNegative = "When a POSITIVE torque level is applied to the motor, the measured speed is NEGATIVE.";
constexpr const char* kZero = "When trying to apply POSITIVE torque to the motor, the measured speed is ZERO";
constexpr const char* kNotReached = "The motor does not reach the programmed speed level!";

INSTANTIATE_TEST_SUITE_P(
    Readings, Judgement,
    ::testing::Values(JudgementCase{"flag_zero_whatever_the_time", {0.0, -2.0, 10.0}, kNegative, "correctly set"},
                      JudgementCase{"time_minus_one", {1.0, -1.0, 10.0}, kNegative, "correctly set."},
                      JudgementCase{"time_minus_two", {1.0, -2.0, 10.0}, kZero},
                      JudgementCase{"time_zero", {1.0, 0.0, 10.0}, kNotReached},
                      JudgementCase{"time_minus_three", {1.0, -3.0, 10.0}, kNotReached},
                      JudgementCase{"speed_fell", {1.0, 40.0, -5.0}, kNegative, "correctly set."},
                      JudgementCase{"speed_unchanged", {1.0, 40.0, 0.0}, kZero},
                      JudgementCase{"a_result", {1.0, 40.0, 105.4}, nullptr},
                      JudgementCase{"mass_flag_zero", {0.0, 10.0, 5.0},
                                    "When a POSITIVE force level is applied to the motor, the measured speed is NEGATIVE.",
                                    "", true},
                      JudgementCase{"mass_time_minus_two", {1.0, -2.0, 5.0},
                                    "When trying to apply POSITIVE force to the motor, the measured speed is ZERO", "",
                                    true}),
    [](const auto& param) { return std::string(param.param.name); });

struct IdentificationCase {
  const char* name;
  const char* setupFile;
  const char* motorFile;          // in motors/, or in this folder's data/
  double motorTurnsPerLoadTurn;   // the setup's transmission; 0: as the setup has it
  const char* test;
  const char* result;
  const char* maxSpeed = nullptr;  // typed into the test; null: the setup's
};

class Identification : public Bench, public ::testing::WithParamInterface<IdentificationCase> {};

// After the current loop's tuning: the motor plus its load reflected through the transmission,
// within 3 %. Behind the 10:1 gearbox 6.6e-3 kg·m² reflect as 6.6e-5 (the load's scale: a tenth).
TEST_P(Identification, FindsTheMotorPlusReflectedLoadOnTheSimulatedDrive) {
  const IdentificationCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.setupFile);
  if (c.motorTurnsPerLoadTurn != 0.0) {
    setup_.SetParameterValueInBaseUnit("Motor_transmission", c.motorTurnsPerLoadTurn * 2.0 * M_PI);
  }
  const std::string folder = std::string(c.motorFile).starts_with("data/") ? KESTREL_TEST_DATA_DIR : KESTREL_MOTORS_DIR;
  simulator_ = drivesim::link::ConnectSimulator(setup_, {folder + "/" + c.motorFile, std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  const double truth = simulator_->SimulatedDrive().Motor().TotalInertia();
  user_.SelectTab(CTestCurrent::kTabs, 1).Click(CTestCurrent::kTuneButton).Close(IDOK);
  ASSERT_EQ(RunTestAlone(&setup_, "current"), IDOK);
  std::string error;
  if (c.maxSpeed != nullptr) user_.Type(CTotalLoadTest::kMaxSpeedEdit, c.maxSpeed);
  user_.Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded(), Milliseconds(30'000))
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL)
      .Answer(IDYES);
  RunTestAlone(&setup_, c.test);
  EXPECT_EQ(error, "");
  EXPECT_NEAR(Value(c.result) / truth, 1.0, 0.03) << Value(c.result) << " against " << truth;
}

INSTANTIATE_TEST_SUITE_P(
    Motors, Identification,
    ::testing::Values(IdentificationCase{"direct", "default", "default.json", 0.0, "inertia", "Jt"},
                      IdentificationCase{"gearbox", "default", "data/geared_motor.json", 10.0, "inertia", "Jt"},
                      IdentificationCase{"linear_motor", "linear", "linear.json", 0.0, "mass", "Mt", "0.4"}),
    [](const auto& param) { return std::string(param.param.name); });

struct ClosingCase {
  const char* name;
  double deltaSpeed;  // the 16.16 word: 65536 × the speed change; 0: the one that gives Jt as stored
  int answer;         // 0: no question
  int endCode;
  bool kept;
};

class InertiaClosing : public Bench, public ::testing::WithParamInterface<ClosingCase> {};

// A drive whose identification program reports the readings given; Jt before the run 6.6e-5.
TEST_P(InertiaClosing, AsksOnlyWhenTheResultPrintsOtherwiseAndNoRestoresIt) {
  const ClosingCase& c = GetParam();
  const double opening = Value("Jt");
  // Jt = (S / B) × delta_time × Ts × K × I / delta_speed, solved for delta_speed.
  const double unchanged = GetMotorSpeedScale(&setup_) / GetCurrentScale(&setup_) * 40 * GetSpeedLoopPeriod(&setup_) *
                           Value("K") * std::trunc(Internal("TestCurrent")) / opening * 65536.0;
  ScriptedDrive drive;
  drive.outputs.insert({{"test_flag", 1}, {"delta_time", 40}, {"delta_speed", c.deltaSpeed != 0.0 ? c.deltaSpeed : unchanged}});
  const drivebase::test_support::Connected connected(drive);
  double identified = 0.0;
  user_.Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test passed"))
      .Do("note the result", [&](ui::DialogDriver&) { identified = Value("Jt"); })
      .Close(IDCANCEL);
  if (c.answer != 0) user_.Answer(c.answer);
  EXPECT_EQ(RunTestAlone(&setup_, "inertia"), c.endCode);
  EXPECT_EQ(Value("Jt"), c.kept ? identified : opening);
  ASSERT_EQ(session_.MessageBoxes().Shown().size(), c.answer == 0 ? 0u : 1u);
  if (c.answer != 0) {
    EXPECT_NE(session_.MessageBoxes().Shown().front().text.find("Total inertia:\tOld = 6.6e-05\tNew = "),
              std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InertiaClosing,
    ::testing::Values(ClosingCase{"unchanged_asks_nothing", 0.0, 0, IDCANCEL, false},
                      ClosingCase{"changed_yes", 9e6, IDYES, IDOK, true},
                      ClosingCase{"changed_no", 9e6, IDNO, IDCANCEL, false}),
    [](const auto& param) { return std::string(param.param.name); });

// OK then keeps the protection as the drive's over-current level.
TEST_F(Bench, InertiaTestStartsOnlyWithTheProtectionAtLeastTheTestCurrent) {
  ScriptedDrive drive;
  drive.outputs.insert({{"test_flag", 1}, {"delta_time", -2}, {"delta_speed", 0}});
  const drivebase::test_support::Connected connected(drive);
  user_.Type(CTotalLoadTest::kCurrentEdit, "2.5").Type(CTotalLoadTest::kProtectionEdit, "2.4")
      .Click(drivebase::kStartStopButton).Expect(ui::LastMessageBoxSays(CTotalLoadTest::kProtectionBelowCurrent))
      .Type(CTotalLoadTest::kProtectionEdit, "2.5").Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test failed"))
      .Close(IDOK);
  EXPECT_EQ(RunTestAlone(&setup_, "inertia"), IDOK);
  EXPECT_EQ(drive.launches.size(), 2u) << "the preliminary and the identification program";
  EXPECT_EQ(drive.launches.back().program, "IE_Total_Inertia_Identification_Test");
  EXPECT_NEAR(Value("Imax_Prot"), 2.5, 1e-3);
}

TEST_F(Bench, InertiaTestStoppedWhileTheMotorAlignsEndsAsStopped) {
  ConnectSimulator();
  std::string error;
  user_.Click(drivebase::kStartStopButton)
      .Wait(Milliseconds(30))
      .Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, "Test failed"))
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "inertia"), IDCANCEL);
  EXPECT_EQ(error, CMC_TestDlg::kStoppedText);
}

struct QuestionCase {
  const char* name;
  int transmission;
  double total;       // Jt (Mt): the motor's own is 3.3e-5 (the linear motor's mass 0.6 kg)
  int unknown;        // isMotorInertiaUnknown before
  int choose;         // 0: not asked; radio to click, or IDCANCEL
  bool answered;
  double totalAfter;  // 0: unchanged
  int unknownAfter;
};

class MotorInertiaQuestion : public Bench, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(MotorInertiaQuestion, RaisesTheTotalOrMarksTheMotorUnknown) {
  const QuestionCase& c = GetParam();
  const bool linear = c.transmission >= 2;
  setup_ = test_support::ScaledSetupFile(linear ? "linear" : "default");
  const char* total = linear ? "Mt" : "Jt";
  setup_.SetParameterValueInBaseUnit(total, c.total);
  setup_.SetParameterValueInBaseUnit("isMotorInertiaUnknown", c.unknown);
  const double motor = Value(linear ? "M" : "Jm");
  if (c.choose == CMotorInertiaQuestion::kDisregardRadio) user_.Click(c.choose);
  if (c.choose != 0)
    user_.Expect(ui::TopDialogIs(linear ? "Motor mass" : "Motor inertia")).Close(c.choose == IDCANCEL ? IDCANCEL : IDOK);
  EXPECT_EQ(AskMotorInertiaIfBelowMotor(&setup_, nullptr), c.answered);
  user_.CheckFinished(session_.Loop());
  EXPECT_DOUBLE_EQ(Value(total), c.totalAfter != 0.0 ? c.totalAfter * motor : c.total);
  EXPECT_EQ(Value("isMotorInertiaUnknown"), c.unknownAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MotorInertiaQuestion,
    ::testing::Values(QuestionCase{"below_raise", 0, 2e-5, 0, CMotorInertiaQuestion::kIncreaseRadio, true, 1.01, 0},
                      QuestionCase{"below_disregard", 0, 2e-5, 0, CMotorInertiaQuestion::kDisregardRadio, true, 0, 1},
                      QuestionCase{"below_cancel", 0, 2e-5, 0, IDCANCEL, false, 0, 0},
                      QuestionCase{"below_but_already_unknown", 0, 2e-5, 1, 0, true, 0, 1},
                      QuestionCase{"equal_is_not_below", 0, 3.3e-5, 0, 0, true, 0, 0},
                      QuestionCase{"linear_mass_below", 3, 0.3, 0, CMotorInertiaQuestion::kIncreaseRadio, true, 1.01, 0}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel::commissioning_test
