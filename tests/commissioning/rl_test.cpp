// The resistance and inductance identification on a recording drive whose programs report the
// reference motor's worked example (or a fault): R, L and the failure texts.
#include <algorithm>

#include "commissioning/rl_identification.h"
#include "commissioning/test_catalogue.h"
#include "commissioning/test_rl.h"
#include "motor_test_drive.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

// The reference motor (0.9 Ω, 1.2 mH, 48 V bus, 3273.6 counts per ampere, Ts 100 µs): the bus
// reading gives 87 V × 36122 / 65472 = 47.9994 V, KU = 65534 / (1.1 × 47.9994) = 1241.19;
// R = (838 / 2455) / 1241.19 × 3273.6 = 0.9003 Ω; ω = 4096 × 2π / (1e-4 × 65535) = 3927.05 rad/s,
// L = 4893.6 × 9054 / (3927.05 × (4893.6² + 922.1²)) × 3273.6 / 1241.19 = 1.2000 mH. The logged
// means leave out each run's first point (0).
constexpr double kBusReading = 36122, kU1 = 3264, kU2 = 2426, kI1 = 4910, kI2 = 2455;
constexpr double kUa = 9054, kId = 4893.6, kIq = 922.1, kAngleIncrement = 4096;

struct RunCase {
  const char* name;
  int phaseConnection;  // 1: delta
  double u2, i2;        // what the second R run reports
  double ua, angle;     // what the L run reports
  bool noPoints;        // the L run's upload is empty
  double r_Ohm, l_H;    // expected; 0: the run fails
  const char* error;
  int answer = IDYES;  // to the question whether to keep R and L
};

class RlRun : public Bench, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RlRun, IdentifiesOrFailsWithItsText) {
  const RunCase& c = GetParam();
  MotorTestDrive drive;
  drive.outcome = [&c](const std::string& program, double in1) -> MotorTestDrive::Outcome {
    if (program.ends_with("Ident_R_or_Rs")) {
      const bool first = in1 == kI1;
      return {{{"var_i1", first ? kU1 : c.u2}, {"var_u2", kBusReading}}, SteadyPoints({first ? kI1 : c.i2})};
    }
    if (program.ends_with("Ident_L_or_Tau_el")) {
      return {{{"var_i1", c.ua}, {"TINCTST", c.angle}},
              c.noPoints ? std::vector<drivebase::LoggedPoint>{} : SteadyPoints({kIq, kId})};
    }
    return {};
  };
  CMC_Comm::SetActiveLink(&drive);
  setup_.SetParameterValueInBaseUnit("MotorPhaseConnectionType", c.phaseConnection);
  const double openingR = Value("R"), openingL = Value("L"), openingVdc = Value("Vdc");
  std::string error;
  double vdcDuringRun = 0.0, r_Ohm = 0.0, l_H = 0.0;
  user_
      .Type(1005, "1.5")  // 4910 counts
      .Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, c.r_Ohm != 0 ? "Test passed" : "Test failed"))
      .Do("note the outcome",
          [&](ui::DialogDriver&) {
            const CTestRL& test = TopTest<CTestRL>();
            error = test.ErrorText(), r_Ohm = test.Resistance_Ohm(), l_H = test.Inductance_H(), vdcDuringRun = Value("Vdc");
          })
      .Close(IDCANCEL);
  if (c.r_Ohm != 0) user_.Answer(c.answer);
  if (c.answer == IDCANCEL)
    user_.Expect(ui::TopDialogIs("Total Resistance and Inductance Identification Test")).Close(IDCANCEL).Answer(IDNO);
  const bool kept = c.r_Ohm != 0 && c.answer == IDYES;
  EXPECT_EQ(RunTestAlone(&setup_, "rl"), kept ? IDOK : IDCANCEL);
  EXPECT_EQ(error, c.error);
  if (c.r_Ohm != 0) {
    EXPECT_NEAR(r_Ohm, c.r_Ohm, 1e-4);
    EXPECT_NEAR(l_H, c.l_H, 1e-7);
    EXPECT_NEAR(vdcDuringRun, 47.9994, 1e-4);
  }
  EXPECT_EQ(Value("R"), kept ? r_Ohm : openingR);
  EXPECT_EQ(Value("L"), kept ? l_H : openingL);
  EXPECT_EQ(Value("Vdc"), openingVdc);  // the measured bus served the run only
  ASSERT_EQ(drive.launches.size(), c.u2 == kU2 && c.i2 == kI2 ? 5u : 4u);
  const auto& inputs = drive.launches[2].variables;  // of preliminary (2): In1 half the test current, truncated
  const auto in1 = std::ranges::find(inputs, std::string("In1"), &drivebase::DriveValue::name);
  ASSERT_NE(in1, inputs.end());
  EXPECT_EQ(in1->internal, 2455);
}

const char* const kInternal = CMC_TestDlg::msc_pszErrInternal;

INSTANTIATE_TEST_SUITE_P(
    Cases, RlRun,
    ::testing::Values(
        RunCase{"star", 0, kU2, kI2, kUa, kAngleIncrement, false, 0.9003, 1.2000e-3, ""},
        RunCase{"delta_triples_both_not_kept", 1, kU2, kI2, kUa, kAngleIncrement, false, 2.7009, 3.6000e-3, "", IDNO},
        RunCase{"star_question_cancelled", 0, kU2, kI2, kUa, kAngleIncrement, false, 0.9003, 1.2000e-3, "", IDCANCEL},
        RunCase{"equal_currents", 0, kU2, kI1, kUa, kAngleIncrement, false, 0, 0, kCurrentTooLowText},
        RunCase{"voltage_rising_with_less_current", 0, 3300, kI2, kUa, kAngleIncrement, false, 0, 0,
                kCurrentTooLowText},
        RunCase{"no_rotation", 0, kU2, kI2, kUa, 0, false, 0, 0, kCurrentTooLowText},
        RunCase{"inductance_below_50_uH", 0, kU2, kI2, 300, kAngleIncrement, false, 0, 0, kInductanceTooLowText},
        RunCase{"inductance_above_1_H", 0, kU2, kI2, kUa, 4, false, 0, 0, kInductanceTooHighText},
        RunCase{"no_point_uploaded", 0, kU2, kI2, kUa, kAngleIncrement, true, 0, 0, kInternal}),
    [](const auto& param) { return std::string(param.param.name); });

// 4 current-loop periods are 400 µs: 0.9 Ω with 0.35 mH is below, with 0.36 mH not.
TEST_F(Bench, RlWarnsOfAnElectricalTimeConstantTooShortForL) {
  for (const auto& [l_H, warned] : {std::pair{0.35e-3, true}, {0.36e-3, false}}) {
    setup_.SetParameterValueInBaseUnit("L", l_H);
    user_.ExpectText(CTestRL::kWarningText, warned ? CTestRL::kShortTimeConstantWarning : "").Close(IDCANCEL);
    RunTestAlone(&setup_, "rl");
  }
}

}  // namespace
}  // namespace kestrel::commissioning_test
