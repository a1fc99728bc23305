// The identification programs on the reference drive (dead time programmed, default noise), each
// after the preliminary that finds the voltage driving the test current along phase A: the phase
// currents of Motor_Phase_Connection_Test under the wiring faults.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "drivesim/catalogue.h"

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kIn1 = 4910;  // 1.5 A

struct Reference {
  std::int32_t voltage = 0, increment = 0;  // REFTST_V, RINCTST_V
};

// A drive with DBT 0x5050 (1 µs dead time) and the fault entry, if any.
Drive IdentificationDrive(MotorModel motor, const std::string& fault = "") {
  Drive drive = LoadedDrive(std::move(motor), {}, {{"DBT", 0x5050}});
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
                                {"RefTest", "RIncTest"}}));

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

}  // namespace
}  // namespace drivesim::testing
