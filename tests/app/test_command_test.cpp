// kestrel test: a commissioning test run without a screen, as a user runs the command.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "drivebase/setup_file.h"
#include "run_kestrel.h"

namespace kestrel {
namespace {

using test_support::Outcome;
using test_support::ScratchDirectory;

class TestCommand : public ::testing::Test {
 protected:
  ScratchDirectory scratch_{"kestrel-test-command"};

  // The default setup asking for a passband of 2000 rad/s, so that Tune changes its gains.
  std::string SetupAt2000() {
    const std::string file = scratch_.Path("at2000.json").string();
    scratch_.Succeeds("set --out " + file + " PB_C=2000");
    return file;
  }
};

// Tuned at 2000 rad/s: Kp_C_scl = (2·2000·τ − 1)·G = 4.333 × 0.341232 = 1.47867, held as
// 24226 · 2^1 / 32767; Ki_C_scl = 2000²·τ·Tc·G = 0.18199, held as 5963 · 2^0 / 32767 (τ = 1.333 ms,
// Tc = 100 µs, G = 0.9 Ω · 1241.17 / 3273.6). The step's measured and predicted overshoots are printed.
TEST_F(TestCommand, TunesTheDefaultMotorSavesThePlotsAndKeepsTheRegisterPairs) {
  const std::string plots = scratch_.Path("plots").string();
  const std::string out = scratch_.Path("tuned.json").string();
  const Outcome result = scratch_.Succeeds("test current --setup " + SetupAt2000() + " --tune --plots " + plots + " --out " + out);
  EXPECT_EQ(result.err, "drive: simulator (motor: built-in default motor)\n");
  using namespace std::string_literals;
  for (const std::string& line : {"Test passed\n"s, "Kp_C_scl: 1.47868 (KPI = 24226, SFTKPI = 1)\n"s,
                                 "Ki_C_scl: 0.181982 (KII = 5963, SFTKII = 0)\n"s, "Kept: written to " + out + "\n"}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << " in\n" << result.out;
  }
  for (const char* figure : {"Overshoot \\(measured\\): -?[0-9.e+-]+ %", "Overshoot \\(predicted\\): -?[0-9.e+-]+ %"}) {
    EXPECT_TRUE(std::regex_search(result.out, std::regex(figure))) << figure << " in\n" << result.out;
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(plots + "/CurrentTuning.svg") && std::filesystem::is_regular_file(plots + "/CurrentTuning.csv"));

  const CMC_Setup tuned = drivebase::ReadSetupFile(out);
  for (const auto& [name, value] : {std::pair{"KPI", 24226.0}, {"SFTKPI", 1.0}, {"KII", 5963.0}, {"SFTKII", 0.0}}) {
    EXPECT_EQ(tuned.FindParameter(name)->GetValueInInternalUnit(), value) << name;
  }
}

// Each way the values are not kept: the answer No (3), or a failed run (1, its text on standard
// error); nothing is written either way, and a failed run saves no plot.
struct NotKeptCase {
  const char* what;
  std::string arguments;
  const char* script;  // null: no script
  int status;
  std::string error;   // the last line on standard error
};

void PrintTo(const NotKeptCase& c, std::ostream* out) { *out << c.what; }

class TestNotKept : public TestCommand, public ::testing::WithParamInterface<NotKeptCase> {};

TEST_P(TestNotKept, WritesNothing) {
  const NotKeptCase& c = GetParam();
  const std::string out = scratch_.Path("kept.json").string();
  std::string arguments = "test current --setup " + SetupAt2000() + " --out " + out + " --plots " + scratch_.Path("plots").string() + " " + c.arguments;
  if (c.script != nullptr) arguments += " --script " + scratch_.Write("user.script", c.script);
  const Outcome result = scratch_.Run(arguments);
  EXPECT_EQ(result.status, c.status) << result.err;
  EXPECT_TRUE(result.err.ends_with(c.error + "\n")) << result.err;
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(std::filesystem::exists(scratch_.Path("plots/CurrentTuning.csv")), c.status == 3);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, TestNotKept,
    ::testing::Values(NotKeptCase{"AnsweredNo", "--tune --answer no", nullptr, 3, "drive: simulator (motor: built-in default motor)"},
                      NotKeptCase{"OfflineDrive", "--tune --drive offline", nullptr, 1,
                                  "kestrel: Internal error: the drive did not answer as the test expects."},
                      NotKeptCase{"ShortedOutputs", "",
                                  "fault short A B\ntab 1300 1\nclick 10000\nwait-until 10002 \"Test failed\"\n"
                                  "close cancel\n",
                                  1, "kestrel: Drive / Motor shortcircuit protection triggered."}),
    [](const auto& param) { return std::string(param.param.what); });

// The speed and position tests tuned on the embedded default: the gains with their register
// pairs, the figures of the measured response, the data logger's plot with the predicted response.
struct TuningRun {
  const char* test;
  const char* plot;
  const char* gain;
  const char* plotted;  // a column of the saved points
};

class TuningTestCommand : public TestCommand, public ::testing::WithParamInterface<TuningRun> {};

TEST_P(TuningTestCommand, PrintsTheTunedGainsAndTheResponseAndSavesThePlot) {
  const TuningRun& run = GetParam();
  const std::string plots = scratch_.Path("plots").string();
  const Outcome result = scratch_.Succeeds(std::string("test ") + run.test + " --tune --plots " + plots);
  for (const std::string& line : {std::string("Test passed\n"), std::string(run.gain), std::string("Overshoot (measured): ")}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << " in\n" << result.out;
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(plots + "/" + run.plot + ".svg"));
  std::ifstream points(plots + "/" + run.plot + ".csv");
  std::string header;
  std::getline(points, header);
  EXPECT_NE(header.find(run.plotted), std::string::npos) << header;
}

INSTANTIATE_TEST_SUITE_P(
    Loops, TuningTestCommand,
    ::testing::Values(TuningRun{"speed", "SpeedTuning", "Kp_S_scl: 848.463 (KPS = 27150, SFTKPS = 10)\n",
                                "Predicted_Speed [rpm]"},
                      TuningRun{"position", "PositionTuning", "Kp_P_scl: 0.100009 (KPP = 3277, SFTKPP = 0)\n",
                                "Predicted_Position [rot]"}),
    [](const auto& param) { return std::string(param.param.test); });

TEST_F(TestCommand, ListsTheTestsAndRefusesWhatIsNoTestRun) {
  const Outcome list = scratch_.Succeeds("test --list");
  for (const char* line : {"current +Current Controller Tuning Test\n", "rl +Total Resistance and Inductance Identification Test\n",
                           "phase +Motor Phase Connection Test\n", "pole-pairs +Motor Pole Pairs Detection Test\n",
                           "speed +Speed Controller Tuning Test\n", "position +Position Controller Tuning Test\n",
                           "inertia +Total inertia test\n", "mass +Total mass test\n", "encoder +Encoder Connection Test\n",
                           "encoder-load +Motor and Load Encoder Connection Test\n",
                           "resolution +Encoder Resolution and Direction Test\n",
                           "ssi-connection +Encoder Connections Test\n", "ssi-offset +Detect Offset Test\n",
                           "angle +Electric Angle Controller Tuning Test\n", "vdc +VDC Detection Test\n",
                           "analogue +Analogue Reference Test\n", "resolver +Resolver Setup Test\n"}) {
    EXPECT_TRUE(std::regex_search(list.out, std::regex(line))) << line;
  }
  for (const std::string& usage : {std::string("test"), std::string("test nosuchtest"), std::string("test current --answer maybe"),
                                  "test current --tune --script " + scratch_.Write("empty.script", ""),
                                  std::string("test inertia --repeat 1"),
                                  "test inertia --repeat 3 --script " + scratch_.Write("empty.script", "")}) {
    const Outcome refused = scratch_.Run(usage);
    EXPECT_EQ(refused.status, 2) << usage;
    EXPECT_EQ(refused.out, "") << usage;
  }
}

// The motor tests on the default motor (0.9 Ω, 1.2 mH, 4 pole pairs, star): the phases pass, R and
// L come within 2 % and 3 % in each of five runs, and the pole pairs are counted by moves until the
// shaft is back at its mark.
TEST_F(TestCommand, IdentifiesTheDefaultMotor) {
  const Outcome phase = scratch_.Succeeds("test phase");
  EXPECT_NE(phase.out.find("Test passed\nIA: 1.6 A\nIB: -0.8 A\n"), std::string::npos) << phase.out;

  const Outcome rl = scratch_.Succeeds("test rl --repeat 5 --out " + scratch_.Path("rl.json").string());
  std::smatch run;
  std::string rest = rl.out;
  int runs = 0;
  const std::regex runLine("Run [1-5]: R = ([0-9.e+-]+) Ohm, L = ([0-9.e+-]+) H\n");
  for (; std::regex_search(rest, run, runLine); rest = run.suffix(), ++runs) {
    EXPECT_NEAR(std::stod(run[1]), 0.9, 0.018) << run[0];
    EXPECT_NEAR(std::stod(run[2]), 1.2e-3, 0.036e-3) << run[0];
  }
  EXPECT_EQ(runs, 5) << rl.out;
  const std::regex spread("R: mean [0-9.e+-]+ Ohm, spread [0-9.e+-]+ Ohm \\([0-9.e+-]+ %\\)\n");
  EXPECT_TRUE(std::regex_search(rl.out, spread)) << rl.out;

  const std::string threePairs = scratch_.Path("three_pairs.json").string();
  scratch_.Succeeds("set pp=3 --out " + threePairs);
  const Outcome pp = scratch_.Succeeds("test pole-pairs --setup " + threePairs);
  EXPECT_NE(pp.out.find("Test passed\npp: 4\nKept: written to " + threePairs), std::string::npos) << pp.out;
  EXPECT_EQ(drivebase::ReadSetupFile(threePairs).GetParameterValueInBaseUnit("pp"), 4);
  // A copy of the linear setup: a run that went wrong must not write into the shipped one.
  const std::string linear = scratch_.Path("linear.json").string();
  std::filesystem::copy_file(KESTREL_SETUPS_DIR "/linear.json", linear);
  for (const std::string& refused : {std::string("--drive offline"), "--setup " + linear}) {
    EXPECT_EQ(scratch_.Run("test pole-pairs " + refused).status, 2) << refused;
  }
  const Outcome scripted =
      scratch_.Succeeds("test pole-pairs --script " KESTREL_DOCS_DIR "/examples/pole_pairs.script");
  EXPECT_NE(scripted.out.find("Test passed\npp: 4\n"), std::string::npos) << scripted.out;
}

// The user without a script counts the pole pairs of motors of 1 to 20 pairs exactly: Move until
// the simulated shaft is back at its mark.
TEST_F(TestCommand, CountsThePolePairsOfEveryMotor) {
  std::ifstream file(std::string(KESTREL_SETUPS_DIR) + "/../motors/default.json");
  const std::string motor((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  for (int pairs = 1; pairs <= 20; ++pairs) {
    std::string changed = motor;
    changed.replace(changed.find("\"pole_pairs\": 4"), 15, "\"pole_pairs\": " + std::to_string(pairs));
    const std::string motorFile = scratch_.Write("motor" + std::to_string(pairs) + ".json", changed);
    const Outcome result = scratch_.Succeeds("test pole-pairs --motor " + motorFile);
    EXPECT_NE(result.out.find("Test passed\npp: " + std::to_string(pairs) + "\n"), std::string::npos) << result.out;
  }
}

// The user at the simulated drive turns the default motor's shaft once and stops the encoder
// connection test, which shows the index passed at 123.4° (2742 counts); the resolution test
// finds its 2000 lines turning it by itself.
TEST_F(TestCommand, TestsTheEncoderByHandAndFindsItsLines) {
  for (const char* name : {"encoder", "encoder-load"}) {
    const Outcome turned = scratch_.Succeeds(std::string("test ") + name);
    EXPECT_NE(turned.out.find("Test passed\n"), std::string::npos) << turned.out;
    EXPECT_NE(turned.out.find("Index position: 2742\n"), std::string::npos) << turned.out;
  }
  const Outcome lines = scratch_.Succeeds("test resolution");
  EXPECT_NE(lines.out.find("Test passed\nNo_encoder_lines: 2000\n"), std::string::npos) << lines.out;
}

// The SSI motor's encoder reading 37° at θ_m = 0, turned once by the user; its offset
// floor(65536 · 37/360) = 6735 kept in ZAOFF and SSI_Offset.
TEST_F(TestCommand, TestsTheSerialEncoderByHandAndKeepsItsOffset) {
  std::ifstream file(std::string(KESTREL_SETUPS_DIR) + "/../motors/ssi.json");
  std::string motor((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string ssi = std::string(" --setup ") + KESTREL_SETUPS_DIR + "/ssi.json --motor " +
                          scratch_.Write("ssi.json", motor.replace(motor.find("\"offset_deg\": 0.0"), 17,
                                                                   "\"offset_deg\": 37.0"));
  const std::string kept = scratch_.Path("offset.json").string();
  const Outcome offset = scratch_.Succeeds("test ssi-offset" + ssi + " --out " + kept);
  EXPECT_NE(offset.out.find("Test passed\nEncoder offset: 6735\nSSI_Offset: 6735\n"), std::string::npos) << offset.out;
  EXPECT_EQ(drivebase::ReadSetupFile(kept).FindParameter("ZAOFF")->GetValueInInternalUnit(), 6735);
  const Outcome turned = scratch_.Succeeds("test ssi-connection" + ssi);
  EXPECT_TRUE(std::regex_search(turned.out, std::regex("Test passed\nAPOS_MT: -?[0-9]+\nWithin one revolution: [1-9]")))
      << turned.out;
}

// The user without a screen turns the potentiometer over the ±10 V input in 3 s and stops at its
// top: the top of the default position span (4 rot).
TEST_F(TestCommand, FollowsThePotentiometer) {
  const Outcome analogue = scratch_.Succeeds("test analogue");
  EXPECT_NE(analogue.out.find("Test passed\nInput voltage: 10.00 V\nPosition command: 4.00 rot\n"), std::string::npos)
      << analogue.out;
}

// The shipped resolver motor, its resolver at the rotor's zero: ZAOFF 0, written to the file given.
TEST_F(TestCommand, SetsUpTheResolver) {
  const std::string kept = scratch_.Path("kept.json").string();
  const Outcome resolver = scratch_.Succeeds("test resolver --setup " KESTREL_SETUPS_DIR "/resolver.json --motor " +
                                             std::string(KESTREL_SETUPS_DIR) + "/../motors/resolver.json --out " + kept);
  EXPECT_NE(resolver.out.find("Test passed\nZAOFF: 0\nKept: written to " + kept), std::string::npos) << resolver.out;
}

// The default motor and its load, 3.3e-5 kg·m² each: three runs find Jt within 3 % of 6.6e-5,
// their mean and spread are printed, and the last run's value is the one kept (written to the
// setup file given).
TEST_F(TestCommand, IdentifiesTheDefaultMotorsTotalInertiaAndPrintsTheSpreadOfRepeatedRuns) {
  const std::string kept = scratch_.Path("kept.json").string();
  const Outcome result = scratch_.Succeeds("test inertia --out " + kept + " --repeat 3 --plots " +
                                           scratch_.Path("plots").string());
  std::smatch found;
  const std::regex runs("Run 3: Jt = ([0-9.e+-]+) kgm\\^2\nJt: mean ([0-9.e+-]+) kgm\\^2, spread [0-9.e+-]+ kgm\\^2 "
                        "\\([0-9.e+-]+ %\\)\n");
  ASSERT_TRUE(std::regex_search(result.out, found, runs)) << result.out;
  EXPECT_NEAR(std::stod(found[2]) / 6.6e-5, 1.0, 0.03) << result.out;
  const double jt = drivebase::ReadSetupFile(kept).FindParameter("Jt")->GetValueInBaseUnit();
  EXPECT_NEAR(jt / std::stod(found[1]), 1.0, 1e-5);
}

// The motionless start on the default motor: the gains with their register pairs, test_flag's
// meaning, theta_1 and the final angle printed, and the logged current and angle saved.
TEST_F(TestCommand, TunesTheElectricAngleControllerAndSavesItsPlot) {
  const std::string plots = scratch_.Path("plots").string();
  const Outcome run = scratch_.Succeeds("test angle --plots " + plots);
  EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(Test passed\nKp_T_scl: 2 \(KPTHT = 32767, SFTKPTHT = 1\)\n.*\n)"
                                                    R"(test_flag: 1 \(angle stabilized\)\ntheta_1: -1[0-9]{4}\n)"
                                                    R"(Final Electric_Angle: -1[0-9]{4}\n)")))
      << run.out;
  std::ifstream points(plots + "/ElectricAngleTuning.csv");
  std::string header;
  std::getline(points, header);
  EXPECT_EQ(header, "time [s],Motor_Current [A],Electric_Angle []");
}

}  // namespace
}  // namespace kestrel
