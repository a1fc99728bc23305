// The resistance and inductance identification: its arithmetic on the reference motor's worked
// example, and runs on a recording drive whose programs report that example (or a fault).
#include <algorithm>

#include "commissioning/rl_identification.h"
#include "commissioning/test_catalogue.h"
#include "commissioning/test_rl.h"
#include "motor_test_drive.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

// The reference motor (0.9 Ω, 1.2 mH, 48 V bus, 3273.6 counts per ampere, Ts 100 µs).
constexpr double kBusReading = 36122, kU1 = 3264, kU2 = 2426, kI1 = 4910, kI2 = 2455;
constexpr double kUa = 9054, kId = 4893.6, kIq = 922.1, kAngleIncrement = 4096;

TEST(RlArithmetic, GivesTheReferenceMotorFromItsWorkedExample) {
  const double vdc_V = MeasuredBusVoltage_V(87, kBusReading, 65472);
  EXPECT_NEAR(vdc_V, 47.9994, 1e-4);
  const double ku = 65534 / (1.1 * vdc_V), ki = 3273.6;
  EXPECT_NEAR(PhaseResistance_Ohm(kU1, kU2, kI1, kI2, ku, ki), 0.9003, 1e-4);  // (838 / 2455) / 1241.19 × 3273.6
  EXPECT_NEAR(PhaseInductance_H(kId, kUa, kAngleIncrement, 1e-4, kId * kId + kIq * kIq, ki, ku), 1.2000e-3, 1e-7);
  LoggedMean mean;  // the first point only starts the mean
  for (const double x : {100.0, 1.0, 2.0, 6.0}) mean.Add(x);
  EXPECT_EQ(mean.Value(), 3.0);
}

struct RunCase {
  const char* name;
  int phaseConnection;  // 1: delta
  double u2, i2;        // what the second R run reports
  double ua, angle;     // what the L run reports
  bool noPoints;        // the L run's upload is empty
  double r_Ohm, l_H;    // expected; 0: the run fails
  const char* error;
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
      return {{{"var_i1", c.ua}, {"TINCTST", c.angle}}, c.noPoints ? std::vector<drivebase::LoggedPoint>{}
                                                                             : SteadyPoints({kIq, kId})};
    }
    return {};
  };
  CMC_Comm::SetActiveLink(&drive);
  setup_.SetParameterValueInBaseUnit("MotorPhaseConnectionType", c.phaseConnection);
  const double openingR = Value("R"), openingL = Value("L"), openingVdc = Value("Vdc");
  std::string error;
  double vdcDuringRun = 0.0;
  user_.Type(1005, "1.5")  // 4910 counts
      .Click(drivebase::kStartStopButton)
      .WaitUntil(ui::ControlShows(drivebase::kOutcomeText, c.r_Ohm != 0 ? "Test passed" : "Test failed"))
      .Do("note the outcome", [&](ui::DialogDriver&) {
        error = dynamic_cast<CMyTestDlg&>(*ui::CurrentEventLoop().TopDialog()).ErrorText();
        vdcDuringRun = Value("Vdc");
      })
      .Close(IDCANCEL);
  if (c.r_Ohm != 0) user_.Answer(IDYES);
  EXPECT_EQ(RunTestAlone(&setup_, "rl"), c.r_Ohm != 0 ? IDOK : IDCANCEL);
  EXPECT_EQ(error, c.error);
  EXPECT_NEAR(Value("R"), c.r_Ohm != 0 ? c.r_Ohm : openingR, 1e-4);
  EXPECT_NEAR(Value("L"), c.l_H != 0 ? c.l_H : openingL, 1e-7);
  EXPECT_EQ(Value("Vdc"), openingVdc);  // the measured bus served the run only
  ASSERT_EQ(drive.launches.size(), c.u2 == kU2 && c.i2 == kI2 ? 5u : 4u);
  const auto& inputs = drive.launches[2].variables;  // of preliminary (2): In1 half the test current, truncated
  const auto in1 = std::ranges::find(inputs, std::string("In1"), &drivebase::DriveValue::name);
  ASSERT_NE(in1, inputs.end());
  EXPECT_EQ(in1->internal, 2455);
  if (c.r_Ohm == 0) return;
  EXPECT_NEAR(vdcDuringRun, 47.9994, 1e-4);
}

const char* const kInternal = CMC_TestDlg::msc_pszErrInternal;

INSTANTIATE_TEST_SUITE_P(
    Cases, RlRun,
    ::testing::Values(RunCase{"star", 0, kU2, kI2, kUa, kAngleIncrement, false, 0.9003, 1.2000e-3, ""},
                      RunCase{"delta_triples_both", 1, kU2, kI2, kUa, kAngleIncrement, false, 2.7009, 3.6000e-3, ""},
                      RunCase{"equal_currents", 0, kU2, kI1, kUa, kAngleIncrement, false, 0, 0, kCurrentTooLowText},
                      RunCase{"voltage_rising_with_less_current", 0, 3300, kI2, kUa, kAngleIncrement, false, 0, 0,
                              kCurrentTooLowText},
                      RunCase{"no_rotation", 0, kU2, kI2, kUa, 0, false, 0, 0, kCurrentTooLowText},
                      RunCase{"inductance_below_50_uH", 0, kU2, kI2, 300, kAngleIncrement, false, 0, 0,
                              kInductanceTooLowText},
                      RunCase{"inductance_above_1_H", 0, kU2, kI2, kUa, 4, false, 0, 0, kInductanceTooHighText},
                      RunCase{"no_point_uploaded", 0, kU2, kI2, kUa, kAngleIncrement, true, 0, 0, kInternal}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel::commissioning_test
