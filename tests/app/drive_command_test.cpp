// kestrel drive: drive programs launched and read as the commissioning tests do, on the
// simulated drive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "run_kestrel.h"

namespace kestrel {
namespace {

using test_support::Outcome;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

constexpr const char* kSimulator = "drive: simulator (motor: built-in default motor)\n";

class DriveCommand : public ::testing::Test {
 protected:
  // The value of the "NAME = VALUE" line of the output.
  static double Value(const Outcome& outcome, const std::string& name) {
    std::smatch match;
    const std::regex line("(^|\n)" + name + " = ([^\n]+)\n");
    if (!std::regex_search(outcome.out, match, line)) {
      ADD_FAILURE() << "no line for " << name << " in:\n" << outcome.out;
      return 0.0;
    }
    return std::stod(match[2]);
  }

  // The preliminary stage with the default setup's test current (1.6 A: 5237 counts), which must
  // succeed.
  Outcome Preliminary(const std::string& extra = "") const {
    return scratch_.Succeeds("drive run IE_Initial_Positioning_Test --set In1=5237 --read In1 --read REFTST_V "
                        "--read RINCTST_V " + extra);
  }

  test_support::ScratchDirectory scratch_{"kestrel-drive-test"};
};

TEST_F(DriveCommand, ProgramsListsTheCatalogueWithItsVariables) {
  const Outcome result = scratch_.Succeeds("drive programs");
  EXPECT_THAT(result.out, MatchesRegex("PROGRAM +INPUTS +OUTPUTS +BOTH\n(.|\n)*"));
  EXPECT_THAT(result.out, MatchesRegex(
      "(.|\n)*\nIE_Current_Controller_Tuning_Test_LIN +RefTest RIncTest In1 Imax_Prot_Test +STARTED test_flag +-\n(.|\n)*"));
  EXPECT_THAT(result.out, MatchesRegex("(.|\n)*\nSSI_Initial_Positioning_Test +- +STARTED +In1\n(.|\n)*"));
}

// The preliminary stage finds the voltage that drives the test current along phase A:
// 0.9 Ω · 1.6 A plus the dead-time loss, in the sinusoidal scale 65534/(1.1 · 48 V).
TEST_F(DriveCommand, RunLaunchesAProgramAndPrintsItsVariablesAndMer) {
  const Outcome result = Preliminary();
  EXPECT_EQ(result.err, kSimulator);
  EXPECT_THAT(result.out, MatchesRegex("In1 = 5237\nREFTST_V = [0-9]+\nRINCTST_V = [0-9]+\nMER = 0\n"));
  const double volts = Value(result, "REFTST_V") * 1.1 * 48.0 / 65534.0;
  EXPECT_GT(volts, 0.9 * 1.6);
  EXPECT_LT(volts, 0.9 * 1.6 + 2.0);
}

// The current tuning program run as the test runs it: the preliminary's voltage handed on, the
// step logged. The default setup's gains overshoot the 4910-count step by about 7 %, past a
// protection current of 5100 counts, which then ends the step with test_flag -1.
TEST_F(DriveCommand, RunsTheCurrentTuningProgramWithItsLogger) {
  const Outcome preliminary = Preliminary();
  const std::string common = "drive run IE_Current_Controller_Tuning_Test --set In1=4910 --set RefTest=" +
                             std::to_string(static_cast<int>(Value(preliminary, "REFTST_V"))) +
                             " --set RIncTest=" + std::to_string(static_cast<int>(Value(preliminary, "RINCTST_V"))) +
                             " --read test_flag --log Current_Reference,Motor_Current,Voltage_Reference ";
  const std::string csv = scratch_.Path("step.csv").string();
  const Outcome result = scratch_.Succeeds(common + "--set Imax_Prot_Test=32767 --csv " + csv);
  EXPECT_EQ(result.out, "test_flag = 1\nMER = 0\n");
  std::istringstream lines(test_support::ReadText(csv));
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "time_s,Current_Reference,Motor_Current,Voltage_Reference");
  std::vector<std::string> rows;
  while (std::getline(lines, line)) rows.push_back(line);
  ASSERT_EQ(rows.size(), 100u) << "100 fast points";
  EXPECT_THAT(rows[0], MatchesRegex("0,0,-?[0-9]+,-?[0-9]+"));
  EXPECT_THAT(rows[9], MatchesRegex("0.0009[0-9]*,0,.*"));
  EXPECT_THAT(rows[10], MatchesRegex("0.001,4910,.*")) << "the step after 10 of the 100 points";

  const Outcome protectedRun = scratch_.Succeeds(common + "--set Imax_Prot_Test=5100 --csv " + csv);
  EXPECT_EQ(protectedRun.out, "test_flag = -1\nMER = 0\n");
}

// A motor file with twice the resistance needs more voltage for the same current; a drive file
// whose power stage is 8 A where the setup says 10 A drives less current for the same counts.
TEST_F(DriveCommand, MotorAndDriveFilesChangeTheSimulatedDrive) {
  const double reference = Value(Preliminary(), "REFTST_V");
  const std::string motor = scratch_.Write("motor.json", R"({ "kestrel_motor": 1, "name": "1.8 ohm",
    "motor": { "kind": "rotary", "pole_pairs": 4, "resistance_ohm": 1.8, "inductance_H": 0.0012,
      "torque_constant_Nm_per_A": 0.12, "inertia_kgm2": 1e-4 },
    "motor_sensor": { "type": "incremental", "lines": 2000 } })");
  const Outcome resistive = Preliminary("--motor " + motor);
  EXPECT_EQ(resistive.err, "drive: simulator (motor: " + motor + ")\n");
  EXPECT_NEAR((Value(resistive, "REFTST_V") - reference) * 1.1 * 48.0 / 65534.0, 0.9 * 1.6, 0.15);

  const std::string drive = scratch_.Write("drive.json", R"({ "kestrel_drive": 1, "imax_ps_A": 8 })");
  const Outcome smaller = Preliminary("--drive-file " + drive);
  EXPECT_EQ(smaller.err, "drive: simulator (motor: built-in default motor, drive: " + drive + ")\n");
  EXPECT_NEAR((reference - Value(smaller, "REFTST_V")) * 1.1 * 48.0 / 65534.0, 0.9 * 1.6 * 0.2, 0.1);
}

// With the wire of phase C open the preliminary drives A → B: 2R instead of 1.5R along phase A,
// so more voltage for the same current.
TEST_F(DriveCommand, FaultsActFromTheStartOfTheRun) {
  const double reference = Value(Preliminary(), "REFTST_V");
  EXPECT_GT(Value(Preliminary("--fault 'open_phase C'"), "REFTST_V"), 1.1 * reference);
}

TEST_F(DriveCommand, ForEndsTheRunAfterTheSimulatedTime) {
  const Outcome result =
      scratch_.Succeeds("drive run IE_Initial_Positioning_Test --set In1=5237 --for 0.05 --read STARTED");
  EXPECT_EQ(result.out, "STARTED = 1\nMER = 0\n") << "still running after 50 ms";
}

struct Failure {
  const char* label;
  const char* arguments;
  int status;
  const char* error;  // the one line on standard error, after "kestrel: "
};

class DriveCommandFailures : public DriveCommand, public ::testing::WithParamInterface<Failure> {};

TEST_P(DriveCommandFailures, ExitWithOneClearLine) {
  std::string arguments = GetParam().arguments;
  const std::string motor = scratch_.Write("bad-motor.json", R"({ "kestrel_motor": 1, "name": "x", "colour": 1 })");
  const std::string drive = scratch_.Write("fast-link.json", R"({ "kestrel_drive": 1, "link_latency_s": 0.0001 })");
  arguments = std::regex_replace(arguments, std::regex("BAD_MOTOR"), motor);
  arguments = std::regex_replace(arguments, std::regex("FAST_LINK"), drive);
  const Outcome result = scratch_.Run(arguments);
  EXPECT_EQ(result.status, GetParam().status) << result.err;
  EXPECT_EQ(result.out, "");
  const std::string lastLine = result.err.substr(result.err.rfind('\n', result.err.size() - 2) + 1);
  EXPECT_THAT(lastLine, MatchesRegex(std::string("kestrel: ") + GetParam().error + "\n"));
}

INSTANTIATE_TEST_SUITE_P(
    DriveCommand, DriveCommandFailures,
    ::testing::Values(
        Failure{"Offline", "drive run IE_Initial_Positioning_Test --drive offline", 1,
                "No drive is connected: cannot launch the program 'IE_Initial_Positioning_Test'"},
        Failure{"UnknownProgram", "drive run IE_Nothing", 1,
                "cannot load the program IE_Nothing: .*/programs/IE_Nothing.out: cannot be opened .*"},
        Failure{"UnknownVariable", "drive run IE_Initial_Positioning_Test --set RefTest=1", 2,
                "--set RefTest=1: IE_Initial_Positioning_Test has no variable RefTest"},
        Failure{"NotANumber", "drive run IE_Initial_Positioning_Test --set In1=lots", 2,
                "--set In1=lots: the value is not a number"},
        Failure{"NoEquals", "drive run IE_Initial_Positioning_Test --set In1", 2, "--set In1: expected NAME=VALUE"},
        Failure{"UnknownRead", "drive run IE_Initial_Positioning_Test --read Nothing", 2,
                "--read Nothing: neither a variable of IE_Initial_Positioning_Test nor a drive variable or register "
                "of the setup"},
        Failure{"LogWithoutCsv", "drive run IE_Initial_Positioning_Test --log IQ", 2, "--log and --csv go together"},
        Failure{"MotorOffline", "drive run IE_Initial_Positioning_Test --drive offline --motor m.json", 2,
                "--motor and --drive-file describe the simulated drive; they need --drive simulator"},
        Failure{"BadMotor", "drive run IE_Initial_Positioning_Test --motor BAD_MOTOR", 1,
                ".*bad-motor.json: motor: missing required key"},
        Failure{"FastLink", "drive run IE_Initial_Positioning_Test --drive-file FAST_LINK", 1,
                "The drive refused to launch 'IE_Initial_Positioning_Test': link latency .* is shorter than two "
                "current-loop periods .*"},
        Failure{"BadFault", "drive run IE_Initial_Positioning_Test --fault 'open_phase D'", 2,
                "--fault open_phase D: fault entry \"open_phase D\": \"D\" is not one of ABC"},
        Failure{"NoSubcommand", "drive", 2, ".*"}),
    [](const ::testing::TestParamInfo<Failure>& param) { return std::string(param.param.label); });

}  // namespace
}  // namespace kestrel
