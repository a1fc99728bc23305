// The identification programs on the reference drive (dead time programmed, default noise), each
// after the preliminary that finds the voltage driving the test current along phase A: the phase
// currents of Motor_Phase_Connection_Test under the wiring faults; the resistance that
// Ident_R_or_Rs gives, through the identification test's formula, on a matrix of motors.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "drivesim/catalogue.h"

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kIn1 = 4910;  // 1.5 A
constexpr std::uint64_t kSeeds = 8;
constexpr double kPi = 3.141592653589793;

struct Reference {
  std::int32_t voltage = 0, increment = 0;  // REFTST_V, RINCTST_V
};

// A drive with DBT 0x5050 (1 µs dead time) and the fault entry, if any.
Drive IdentificationDrive(MotorModel motor, const std::string& fault = "", std::uint64_t seed = 1) {
  Scenario scenario;
  scenario.seed = seed;
  Drive drive = LoadedDrive(std::move(motor), scenario, {{"DBT", 0x5050}});
  EXPECT_TRUE(fault.empty() || drive.InjectFault(fault).ok()) << fault;
  return drive;
}

Reference RunPreliminary(Drive& drive, std::int32_t in1) {
  LaunchPreliminary(drive, in1);
  RunProgram(drive, 8.0);
  return {drive.ReadVariable("REFTST_V").value_or(0), drive.ReadVariable("RINCTST_V").value_or(0)};
}

// Runs a program to its end and checks the end of the protocol: started, axis off, no error.
void RunToEnd(Drive& drive, double limit_s) {
  RunProgram(drive, limit_s);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_EQ(drive.Mer(), 0);
}

// base name, the full names the catalogue holds for it, the variable table after STARTED
using TableCase = std::tuple<const char*, std::vector<std::string>, std::vector<std::string>>;
class IdentificationCatalogue : public ::testing::TestWithParam<TableCase> {};

TEST_P(IdentificationCatalogue, ListsThePrefixesAndVariablesOfEachProgram) {
  const auto& [base, names, variables] = GetParam();
  std::vector<std::string> found;
  for (const ProgramDescriptor& d : ProgramCatalogue()) {
    if (d.base == base) found.push_back(d.name);
  }
  EXPECT_EQ(found, names);
  const ProgramDescriptor* program = FindProgram(names.front());
  ASSERT_NE(program, nullptr);
  std::vector<std::string> table;
  for (const ProgramVariable& v : program->variables) table.push_back(v.name);
  table.erase(table.begin());  // STARTED
  EXPECT_EQ(table, variables);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, IdentificationCatalogue,
    ::testing::Values(TableCase{"Motor_Phase_Connection_Test",
                                {"IE_Motor_Phase_Connection_Test", "IE_Motor_Phase_Connection_Test_LIN",
                                 "SSI_Motor_Phase_Connection_Test"},
                                {"RefTest", "RIncTest"}},
                      TableCase{"Ident_R_or_Rs",
                                {"IE_Ident_R_or_Rs", "IE_Ident_R_or_Rs_LIN", "SC_Ident_R_or_Rs", "LH_Ident_R_or_Rs",
                                 "SSI_Ident_R_or_Rs"},
                                {"RefTest", "RIncTest", "In1", "var_u2"}},
                      TableCase{"Ident_L_or_Tau_el",
                                {"IE_Ident_L_or_Tau_el", "IE_Ident_L_or_Tau_el_LIN", "SC_Ident_L_or_Tau_el",
                                 "LH_Ident_L_or_Tau_el", "SSI_Ident_L_or_Tau_el"},
                                {"In1"}},
                      TableCase{"Motor_Pole_Pairs_Detection_Test",
                                {"IE_Motor_Pole_Pairs_Detection_Test", "SC_Motor_Pole_Pairs_Detection_Test",
                                 "LH_Motor_Pole_Pairs_Detection_Test", "SSI_Motor_Pole_Pairs_Detection_Test"},
                                {"RefTest", "RIncTest", "poles_pairs"}}));

// fault, IA / In1, IB / In1 (tolerance 2 % of In1). A healthy star motor returns half the current
// through each of B and C: |IA/IB| = (R_B + R_C)/R_C, 2.4 with phase B 40 % high; open B leaves
// IB 0, open C returns all of it through B. Open A: the preliminary ends at its voltage limit
// without current, and the phase test sees none either.
using PhaseCase = std::tuple<const char*, double, double>;
class PhaseConnectionProgram : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(PhaseConnectionProgram, ReportsTheMeanCurrentsOfPhasesAAndB) {
  const auto [fault, ia, ib] = GetParam();
  Drive drive = IdentificationDrive(ReferenceMotor(), fault);
  const Reference reference = RunPreliminary(drive, kIn1);
  LaunchProgram(drive, "IE_Motor_Phase_Connection_Test",
                {{"RefTest", reference.voltage}, {"RIncTest", reference.increment}});
  RunToEnd(drive, 3.0);
  EXPECT_NEAR(drive.ReadVariable("var_i1").value_or(-1) / double(kIn1), ia, 0.02);
  EXPECT_NEAR(drive.ReadVariable("var_i2").value_or(-1) / double(kIn1), ib, 0.02);
}

INSTANTIATE_TEST_SUITE_P(Wiring, PhaseConnectionProgram,
                         ::testing::Values(PhaseCase{"", 1.0, -0.5}, PhaseCase{"phase_resistance B 1.4", 1.0, -1.0 / 2.4},
                                           PhaseCase{"open_phase B", 1.0, 0.0}, PhaseCase{"open_phase C", 1.0, -1.0},
                                           PhaseCase{"open_phase A", 0.0, 0.0}));

// The mean of a logged column as the identification test takes it: over every point but the first.
double MeanAfterFirst(const std::vector<LogPoint>& log, std::size_t column) {
  double sum = 0.0;
  for (std::size_t k = 1; k < log.size(); ++k) sum += log[k].values[column];
  return log.size() > 1 ? sum / double(log.size() - 1) : (log.empty() ? 0.0 : log[0].values[column]);
}

struct RunResult {
  std::int32_t var_i1 = 0;
  std::vector<LogPoint> log;
};

RunResult RunResistance(Drive& drive, std::int32_t in1, int logType) {
  const Reference reference = RunPreliminary(drive, in1);
  LaunchProgram(drive, "IE_Ident_R_or_Rs", {{"RefTest", reference.voltage}, {"RIncTest", reference.increment}, {"In1", in1}},
                LoggerSettings{400, logType, 1, {"IQ"}});
  RunToEnd(drive, 5.0);

  return {drive.ReadVariable("var_i1").value_or(0), drive.UploadLog()};
}

struct Identified {
  double r_ohm = 0.0, l_H = 0.0;
};

// R and L as the identification test computes them: two resistance runs (In1, then In1/2), then
// the inductance run; the star equivalents times 3 for a delta winding.
Identified IdentifyRL(Drive& drive, std::int32_t in1) {
  const RunResult first = RunResistance(drive, in1, 1);
  const RunResult second = RunResistance(drive, in1 / 2, 2);
  EXPECT_EQ(first.log.size(), 400u);
  EXPECT_EQ(second.log.size(), 400u);
  const double vdc_V = drive.Hardware().vdc_max_measurable_V * drive.ReadVariable("var_u2").value_or(0) / 65472.0;
  const double ku = 65534.0 / (1.1 * vdc_V);
  const double r = (first.var_i1 - second.var_i1) / (MeanAfterFirst(first.log, 0) - MeanAfterFirst(second.log, 0)) / ku *
                   kCurrentScale;
  LaunchProgram(drive, "IE_Ident_L_or_Tau_el", {{"In1", in1}}, LoggerSettings{400, 2, 1, {"IQ", "ID"}});
  RunToEnd(drive, 3.0);
  std::vector<LogPoint> log = drive.UploadLog();
  EXPECT_EQ(log.size(), 400u);
  for (LogPoint& point : log) point.values.push_back(point.values[0] * point.values[0] + point.values[1] * point.values[1]);
  const double omega = drive.ReadVariable("TINCTST").value_or(0) * 2.0 * kPi / (100e-6 * 65535.0);
  const double l = MeanAfterFirst(log, 1) * drive.ReadVariable("var_i1").value_or(0) / (omega * MeanAfterFirst(log, 2)) *
                   kCurrentScale / ku;
  const double star = drive.Motor().connection == PhaseConnection::delta ? 3.0 : 1.0;
  return {star * r, star * l};
}

// The motor files shipped, a delta winding and the two corners of the drive's range (τ ≥ 4·Ts_C),
// under the default noise, eight seeds each: every R within 2 % and L within 3 % of the winding's
// values, their means within 0.5 % and 1 % (no bias, such as a dead-time loss left in the knee of
// a low-inductance winding, or the staircase of the held voltage).
struct MotorCase {
  const char* name;
  MotorModel motor;
};
class RlIdentification : public ::testing::TestWithParam<MotorCase> {};

TEST_P(RlIdentification, RecoversTheWindingsResistanceAndInductance) {
  Identified sum;
  for (std::uint64_t seed = 1; seed <= kSeeds; ++seed) {
    Drive drive = IdentificationDrive(GetParam().motor, "", seed);
    const Identified rl = IdentifyRL(drive, kIn1);
    const double r = rl.r_ohm / drive.Motor().resistance_ohm, l = rl.l_H / drive.Motor().inductance_H;
    EXPECT_NEAR(r, 1.0, 0.02) << "seed " << seed;
    EXPECT_NEAR(l, 1.0, 0.03) << "seed " << seed;
    sum.r_ohm += r / kSeeds;
    sum.l_H += l / kSeeds;
  }
  EXPECT_NEAR(sum.r_ohm, 1.0, 0.005);
  EXPECT_NEAR(sum.l_H, 1.0, 0.01);
}

MotorCase File(const char* name) {
  return {name, LoadMotorFile(std::string(KESTREL_MOTORS_DIR) + "/" + name + ".json")};
}
MotorCase Winding(const char* name, double r_ohm, double l_H, PhaseConnection connection = PhaseConnection::star) {
  MotorModel motor = ReferenceMotor();
  motor.resistance_ohm = r_ohm;
  motor.inductance_H = l_H;
  motor.connection = connection;
  return {name, motor};
}

INSTANTIATE_TEST_SUITE_P(Motors, RlIdentification,
                         ::testing::Values(File("reference"), File("linear"),
                                           Winding("delta", 0.9, 0.0012, PhaseConnection::delta),
                                           Winding("low", 0.2, 0.0003), Winding("high", 5.0, 0.01),
                                           Winding("slow", 5.0, 0.02)),
                         [](const auto& param) { return std::string(param.param.name); });

// Ideal converters and a locked rotor leave only the sampled-data effects: L within 0.1 % with and
// without dead time (left uncorrected, the held voltage's staircase would take 0.6 % off L and the
// dead time, lagging the current by the held half period, 3.5 %). A winding whose impedance keeps
// the current below In1/4 at the voltage limit is measured at a lower frequency.
using ExactCase = std::tuple<double, double, RegisterValues, std::int32_t>;  // R, L, registers, TINCTST
class InductanceSampledData : public ::testing::TestWithParam<ExactCase> {};

TEST_P(InductanceSampledData, GivesTheWindingsInductance) {
  const auto& [r_ohm, l_H, registers, increment] = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.resistance_ohm = r_ohm;
  motor.inductance_H = l_H;
  Scenario scenario;
  scenario.ideal_converters = true;
  scenario.rotor_locked = true;
  Drive drive = LoadedDrive(motor, scenario, registers);
  const Identified rl = IdentifyRL(drive, kIn1);
  EXPECT_EQ(drive.ReadVariable("TINCTST"), increment);
  EXPECT_NEAR(rl.l_H / l_H, 1.0, 0.001);
  EXPECT_NEAR(rl.r_ohm / r_ohm, 1.0, 0.002);
}

INSTANTIATE_TEST_SUITE_P(Windings, InductanceSampledData,
                         ::testing::Values(ExactCase{0.9, 0.0012, {}, 4096}, ExactCase{0.9, 0.0012, {{"DBT", 0x5050}}, 4096},
                                           ExactCase{5.0, 0.02, {{"DBT", 0x5050}}, 2048}));

}  // namespace
}  // namespace drivesim::testing
