// The kestrel command line, run as a user runs it.
#include <algorithm>
#include <fstream>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"
#include "run_kestrel.h"

namespace kestrel {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using test_support::Outcome;
using test_support::ReadText;

class CommandLine : public ::testing::Test {
 protected:
  std::filesystem::path Path(const std::string& name) const { return scratch_.Path(name); }
  Outcome Run(const std::string& arguments) const { return scratch_.Run(arguments); }
  Outcome Succeeds(const std::string& arguments) const { return scratch_.Succeeds(arguments); }
  std::string CopyOfDefault(const std::string& name) const {
    return scratch_.Write(name, std::string(DefaultSetupText()));
  }

  test_support::ScratchDirectory scratch_{"kestrel-cli-test"};
};

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The whole default setup; names in any case, the drive variable as well as the parameter; the
// plug-in's conversions; internal values.
TEST_F(CommandLine, ShowListsWhatItIsAskedFor) {
  const std::pair<const char*, std::vector<const char*>> cases[] = {
      {"show", {"\nPWMPER ", "\nDRIVE VARIABLE ", "\nOPTION "}},
      {"show pwmper MAXFILTERS cadin",
       {"PWMPER  1000   -     1000      unsigned 16-bit  -inf  inf\n", "MaxFilters  4\n",
        "\nCADIN           0      -     0         signed 16-bit\n"}},
      {"show TestCurrent Temp_2",
       {"\nTestCurrent  1.6                A     5237.76             real  0.001  2.8800000000000003\n",
        "\nTemp_2       89.99999999999999  °C    27775.999999999996  real  -100   1000\n"}}};
  for (const auto& [arguments, parts] : cases) {
    const Outcome result = Succeeds(arguments);
    EXPECT_THAT(result.out, StartsWith("NAME ")) << arguments;
    for (const char* part : parts) EXPECT_THAT(result.out, HasSubstr(part)) << arguments;
    EXPECT_EQ(result.err, "");
  }
}

TEST_F(CommandLine, ShowJsonReadsBackExactly) {
  const Outcome result = Succeeds("show --json RINCTST Vdc DSP_freq ReferenceName");
  const nlohmann::json json = nlohmann::json::parse(result.out);
  const CMC_Setup setup = LoadDefaultSetup();
  const nlohmann::json& rinctst = json["parameters"]["RINCTST"];
  EXPECT_EQ(rinctst["value"].get<double>(), setup.GetParameterValueInBaseUnit("RINCTST"));
  EXPECT_EQ(rinctst["internal"].get<double>(), setup.GetParameterValueInInternalUnit("RINCTST"));
  EXPECT_EQ(rinctst["type"], 4);
  EXPECT_EQ(rinctst["min"], "-inf");
  EXPECT_EQ(json["parameters"]["Vdc"]["unit"], "V");
  EXPECT_EQ(json["parameters"]["Vdc"]["max"].get<double>(), 87.0);
  EXPECT_EQ(json["parameters"]["DSP_freq"]["value"].get<double>(), 40e6);
  EXPECT_EQ(json["options"]["ReferenceName"], "KSTA");
}

TEST_F(CommandLine, ShowInternalListsInternalValues) {
  const Outcome result = Succeeds("show --internal ACR");
  EXPECT_EQ(result.out, "NAME  INTERNAL  TYPE\nACR   34560     unsigned 16-bit\n");
}

TEST_F(CommandLine, SetWritesTheSetupAndShowsWhatTheModelKept) {
  const std::string file = CopyOfDefault("mine.json");
  const Outcome result = Succeeds("set --setup " + file + " Vdc=36 vdc=500 PWMPER=1000.6");
  EXPECT_EQ(result.out,
            "Vdc: 48 -> 36 V\n"
            "Vdc: 36 -> 87 V (asked for 500)\n"
            "PWMPER: 1000 -> 1001 (asked for 1000.6)\n");
  const CMC_Setup saved = drivebase::ReadSetupFile(file);
  EXPECT_EQ(saved.GetParameterValueInBaseUnit("Vdc"), 87.0);
  EXPECT_EQ(saved.GetParameterValueInBaseUnit("PWMPER"), 1001.0);
  EXPECT_EQ(Run("show --setup " + file + " vdc").status, 0);
}

// Halving the slow-loop period (SLPER 20 -> 10 on the default setup, Ts_S 1 ms -> 0.5 ms): every
// time keeps its value in seconds, every speed in rad/s; --raw leaves the samples as they are, so
// a time halves, a speed doubles and an acceleration quadruples.
TEST_F(CommandLine, SetOfTheSlowLoopDividerKeepsTimesUnlessRaw) {
  const auto values = [this](const std::string& setup) {
    return nlohmann::json::parse(Succeeds("show --json " + setup).out)["parameters"];
  };
  const std::string kept = Path("kept.json").string();
  const std::string raw = Path("raw.json").string();
  EXPECT_THAT(Succeeds("set --out " + kept + " SLPER=10").out, HasSubstr("rescaled 32 time-dependent values"));
  EXPECT_EQ(Succeeds("set --raw --out " + raw + " SLPER=10").out, "SLPER: 20 -> 10\n");
  const nlohmann::json before = values("");
  const nlohmann::json after = values("--setup " + kept);
  const nlohmann::json rawAfter = values("--setup " + raw);
  const std::pair<const char*, double> rawFactors[] = {
      {"time_ERR_pos", 0.5}, {"TaPP", 0.5},      {"time_AB", 0.5},         {"Ts_C_min", 0.5},
      {"TestSpeed", 2.0},    {"Limit_Speed", 2}, {"ErefMaxAcceleration", 4}, {"Ts_S", 0.5}};
  for (const auto& [name, factor] : rawFactors) {
    const double old = before[name]["value"];
    EXPECT_NEAR(after[name]["value"].get<double>(), std::string(name) == "Ts_S" ? 0.0005 : old, 1e-12 * old) << name;
    EXPECT_NEAR(rawAfter[name]["value"].get<double>(), old * factor, 1e-12 * old) << name;
  }
}

// The supply follows the drive: a drive that measures up to 400 V can be set to a 310 V supply.
TEST_F(CommandLine, SupplyRangeFollowsTheMeasurableVoltage) {
  EXPECT_EQ(Succeeds("set --out " + Path("hv.json").string() + " VdcMaxMeasurable=400 Vdc=310 VdcMaxMeasurable=200").out,
            "VdcMaxMeasurable: 87 -> 400 V\nVdc: 48 -> 310 V\nVdcMaxMeasurable: 400 -> 200 V\n");
  const CMC_Setup saved = drivebase::ReadSetupFile(Path("hv.json"));
  const CMC_Parameter* supply = saved.FindParameter("Vdc");
  EXPECT_EQ(supply->GetValueInBaseUnit(), 200.0);
  EXPECT_EQ(supply->GetMaxInBaseUnit(), 200.0);
}

TEST_F(CommandLine, SetWithOutLeavesTheSourceAlone) {
  const std::string source = CopyOfDefault("source.json");
  const Outcome result = Succeeds("set --setup " + source + " --out " + Path("out.json").string() + " In=3");
  EXPECT_EQ(ReadText(source), DefaultSetupText());
  EXPECT_EQ(drivebase::ReadSetupFile(Path("out.json")).GetParameterValueInBaseUnit("In"), 3.0);
}

TEST_F(CommandLine, SetOfAnUnknownNameFailsAndWritesNothing) {
  const std::string file = CopyOfDefault("mine.json");
  const Outcome result = Run("set --setup " + file + " Vdc=36 NoSuchThing=1");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "kestrel: no parameter named 'NoSuchThing' in " + file + "\n");
  EXPECT_EQ(ReadText(file), DefaultSetupText());
}

struct UsageCase {
  std::string arguments;
  int status;
  std::string message;  // part of the one line on standard error
};

void PrintTo(const UsageCase& c, std::ostream* out) { *out << "kestrel " << c.arguments; }

class CommandLineErrors : public CommandLine, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CommandLineErrors, ExitWithOneClearLine) {
  const Outcome result = Run(GetParam().arguments);
  EXPECT_EQ(result.status, GetParam().status);
  EXPECT_THAT(result.err, StartsWith("kestrel: "));
  EXPECT_THAT(result.err, HasSubstr(GetParam().message));
  EXPECT_EQ(Lines(result.err), 1u) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineErrors,
    ::testing::Values(
        UsageCase{"", 2, "A subcommand is required"}, UsageCase{"show --colour", 2, "--colour"},
        UsageCase{"set Vdc=36", 2, "set on the default setup needs --out FILE"},
        UsageCase{"set --out /tmp/x.json Vdc", 2, "'Vdc' is not NAME=VALUE"},
        UsageCase{"set --out /tmp/x.json Vdc=abc", 2, "'Vdc=abc': the value must be a finite decimal number"},
        UsageCase{"set --out /tmp/x.json Vdc=inf", 2, "must be a finite decimal number"},
        UsageCase{"check", 2, "files is required"},
        UsageCase{"show NoSuchName", 1, "no parameter, drive variable or option named 'NoSuchName'"},
        UsageCase{"show --setup /nonexistent/setup.json", 1, "/nonexistent/setup.json: cannot be opened for reading"},
        UsageCase{"edit", 2, "edit needs --script FILE (kestrel gui edits the setup interactively)"}));

TEST_F(CommandLine, ALoadFailureNamesTheFileAndTheFirstFault) {
  std::ofstream(Path("bad.json")) << R"({"format": "kestrel-setup", "version": 1,
    "parameters": [{"name": "X", "type": 1, "value": 2.5}, {"name": "Y", "type": 8, "value": 0}]})";
  const Outcome result = Run("show --setup " + Path("bad.json").string());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "kestrel: " + Path("bad.json").string() +
                            ": parameters[0] 'X': value 2.5 does not fit type 1 (unsigned 16-bit) "
                            "(and 1 more; 'kestrel check' lists them all)\n");
}

TEST_F(CommandLine, CheckListsEveryFaultOfEveryFile) {
  const std::string good = CopyOfDefault("good.json");
  std::ofstream(Path("bad.json")) << R"({"format": "kestrel-setup", "version": 1, "colour": 1,
    "parameters": [{"name": "X", "type": 1, "value": 2.5}]})";
  const Outcome result = Run("check " + good + " " + Path("bad.json").string());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, good + ": OK\n" + Path("bad.json").string() +
                            ": top level: unknown key \"colour\"\n" + Path("bad.json").string() +
                            ": parameters[0] 'X': value 2.5 does not fit type 1 (unsigned 16-bit)\n");
  EXPECT_EQ(result.err, "kestrel: 1 of 2 setup files have faults\n");
}

TEST_F(CommandLine, ScalePrintsFactorAndOffset) {
  EXPECT_EQ(Run("scale A TestCurrent").out, "0.00030547409579667644 0\n");
  EXPECT_EQ(Run("scale '°C' Temp_2").out, "0.0050403225806451612 -9920\n");
  EXPECT_EQ(Run("scale 'V ' UMAX_PROT").out, "0.0013288123167155424 0\n");
  EXPECT_EQ(Run("scale V AnalogueInputsRange").out, "1 0\n");
  EXPECT_EQ(Run("scale furlong X").out, "1 0\n");
}

TEST_F(CommandLine, ValuesThatAreNotFiniteShowPlainly) {
  const std::string file = CopyOfDefault("broken.json");
  ASSERT_EQ(Run("set --setup " + file + " MECRESL=0").status, 0);  // no counts per turn
  const Outcome text = Succeeds("show --setup " + file + " ERR_position APOS");
  EXPECT_THAT(text.out, HasSubstr("\nERR_position  inf "));
  EXPECT_THAT(text.out, HasSubstr("\nAPOS            nan "));
  const Outcome json = Run("show --json --setup " + file + " ERR_position");
  EXPECT_EQ(nlohmann::json::parse(json.out)["parameters"]["ERR_position"]["value"], "inf");
}

TEST_F(CommandLine, OptionsRunsThePlugInAndListsTheOptions) {
  const std::string file = CopyOfDefault("mine.json");
  // The derivation reads the sensor from SCR: 0xA182 has the sine/cosine code 2 in bits 0-2.
  ASSERT_EQ(Run("set --setup " + file + " SCR=41346 TransmissionType=2").status, 0);
  const Outcome result = Succeeds("options --setup " + file + " --out " + Path("out.json").string());
  // Names padded to the longest, "DisableExternalDigitalReference" (31 characters), and two.
  const auto row = [](const std::string& name, const std::string& rest) {
    return "\n" + name + std::string(33 - name.size(), ' ') + rest + "\n";
  };
  EXPECT_THAT(result.out, HasSubstr(row("ReferenceName", "\"KSTB\"  (was \"KSTA\")")));
  EXPECT_THAT(result.out, HasSubstr(row("MotorType", "\"Brushless, Linear\"  (was \"Brushless, Rotary\")")));
  EXPECT_THAT(result.out, HasSubstr(row("IsClosedSpeed", "\"1\"")));
  const CMC_Setup saved = drivebase::ReadSetupFile(Path("out.json"));
  EXPECT_EQ(saved.GetOptionNoError("MotorPosition"), "Sine/cosine encoder on Feedback #1");
  EXPECT_EQ(ReadText(file).find("KSTB"), std::string::npos) << "the source stays as it was";
  EXPECT_EQ(Run("options").status, 2) << "nowhere to write the default setup";
}

TEST_F(CommandLine, PlugInOptionChoosesTheLibrary) {
  Outcome result = Run("--plugin /nonexistent/libkestrel.so show Vdc");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, StartsWith("kestrel: cannot load the plug-in: /nonexistent/libkestrel.so"));
  const std::string drivebase = (std::filesystem::path(KESTREL_BINARY).parent_path() / "libdrivebase.so").string();
  result = Run("show Vdc --plugin " + drivebase);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "kestrel: plug-in " + drivebase + " does not export 'EditSetup'\n");
  EXPECT_EQ(Run("check --plugin /nonexistent.so " + CopyOfDefault("a.json")).status, 0)
      << "checking files needs no plug-in";
}

TEST_F(CommandLine, ComputeListsWhatChangedAndWritesTheSetup) {
  const std::string file = CopyOfDefault("mine.json");
  ASSERT_EQ(Run("set --setup " + file + " UMAX_PROT=50").status, 0);
  const Outcome result = Succeeds("compute --diff --setup " + file);
  // 50 V at 65472 / 87 counts per volt: 37627.6 counts, truncated; read back as 49.9992 V.
  EXPECT_EQ(result.out, "NAME       OLD                NEW                UNIT\n"
                        "UMAX_PROT  50.00000000000001  49.99922104105571  V \n"
                        "UMAXPROT   45152              37627              -\n" +
                            file + ": 2 values changed, written to " + file + "\n");
  EXPECT_EQ(drivebase::ReadSetupFile(file).GetParameterValueInBaseUnit("UMAXPROT"), 37627.0);
  EXPECT_EQ(Run("compute --setup " + file).out, file + ": 0 values changed, written to " + file + "\n");
  EXPECT_EQ(Run("compute").out, "the default setup: 0 values changed\n") << "nothing to write";
}

TEST_F(CommandLine, TuneShowsOldAndNewGainsAndPairs) {
  const std::string file = CopyOfDefault("mine.json");
  ASSERT_EQ(Run("set --setup " + file + " PB_C=3000").status, 0);
  const Outcome result = Succeeds("tune current --setup " + file);
  // 3000 rad/s: Kp = (2 * 3000 * 1.333 ms - 1) G = 7 G = 2.3886; 2.3886 * 32767 / 4 = 19567
  EXPECT_THAT(result.out, StartsWith("GAIN      OLD                    NEW                    OLD PAIR         NEW PAIR\n"));
  EXPECT_THAT(result.out, HasSubstr("\nKp_C_scl  1.2966704306161687     2.3886"));
  EXPECT_THAT(result.out, HasSubstr("21244 << 1       19567 << 2\n"));
  const CMC_Setup saved = drivebase::ReadSetupFile(file);
  EXPECT_EQ(saved.GetParameterValueInBaseUnit("KPI"), 19567.0);
  EXPECT_EQ(saved.GetParameterValueInBaseUnit("SFTKPI"), 2.0);
  EXPECT_EQ(Run("tune torque").status, 2);
  EXPECT_EQ(Run("tune position").status, 0) << "the default setup: shown, not written";
}

TEST_F(CommandLine, FiltersShowSlotsCoefficientsAndResponse) {
  const Outcome result = Succeeds("filters");
  EXPECT_THAT(result.out, StartsWith("Filter 1 in slot 1: Speed Controller Output, Notch, f1 300 Hz, Q 2\n"
                                     "  B0 1734970013  B1 1072270438  B2 1734970014  A1 1072270438  A2 1322456379  SF 1\n"));
  // 31 frequencies from a thousandth of the 500 Hz Nyquist frequency up to it.
  EXPECT_THAT(result.out, HasSubstr("\n           0.5 "));
  EXPECT_THAT(result.out, HasSubstr("\n           500 "));
  const Outcome csv = Run("filters --csv");
  EXPECT_THAT(csv.out, StartsWith("filter,slot,frequency_Hz,gain_dB,phase_deg\n1,1,0.5,"));
  EXPECT_EQ(Lines(csv.out), 32u);
}

TEST_F(CommandLine, FiltersBeyondTheSlotsAreAFailure) {
  const std::string file = CopyOfDefault("many.json");
  ASSERT_EQ(Run("set --setup " + file + " BQFilter2=1 BQFilter3=1 BQFilter4=1 BQFilter5=1").status, 0);
  const Outcome result = Run("filters --setup " + file);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "kestrel: Error: Filters disabled! Current firmware does not support this many "
                        "filters. Please disable some filters.\n");
}

TEST_F(CommandLine, EveryCommandHasHelp) {
  for (const char* command : {"", "show", "set", "check", "scale", "options", "tune", "filters"}) {
    const Outcome result = Run(std::string(command) + " --help");
    EXPECT_EQ(result.status, 0) << command;
    EXPECT_THAT(result.out, HasSubstr("Usage: kestrel")) << command;
  }
}

// kestrel edit: the README's example, then each way a run ends.
TEST_F(CommandLine, EditRunsTheReadmeExampleAndWritesTheResult) {
  const Outcome result =
      Run("edit --trace --script " KESTREL_DOCS_DIR "/examples/speed_mode.script --out " + Path("edited.json").string());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "dialog \"Drive Setup\" opened\ndialog \"Brushless Motor Setup\" opened\n"
            "dialog \"Brushless Motor Setup\" closed: OK\ndialog \"Drive Setup\" closed: OK\n"
            "OK: written to " + Path("edited.json").string() + "\n");
  const CMC_Setup edited = drivebase::ReadSetupFile(Path("edited.json"));
  EXPECT_EQ(edited.GetParameterValueInBaseUnit("ControlMode"), 1.0);
  EXPECT_EQ(edited.GetParameterValueInBaseUnit("In"), 3.5);
}

struct EditEnd {
  const char* name;
  const char* script;
  int status;
  const char* out;  // what standard output holds
  const char* err;  // what standard error holds
};

class EditEnds : public CommandLine, public ::testing::WithParamInterface<EditEnd> {};

TEST_P(EditEnds, WithTheirStatusWritingOnlyAfterOk) {
  const std::string setup = CopyOfDefault("setup.json");
  std::ofstream(Path("user.script")) << GetParam().script;
  const Outcome result = Run("edit --trace --setup " + setup + " --script " + Path("user.script").string());
  EXPECT_EQ(result.status, GetParam().status) << result.err;
  EXPECT_THAT(result.out, HasSubstr(GetParam().out));
  const std::string drive = "drive: simulator (motor: built-in default motor)\n";
  EXPECT_EQ(result.err, std::string(GetParam().err).empty() ? drive
                                                            : drive + "kestrel: " + Path("user.script").string() + GetParam().err);
  if (GetParam().status != 0) {
    EXPECT_EQ(ReadText(setup), DefaultSetupText()) << "nothing written";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, EditEnds,
    ::testing::Values(
        EditEnd{"Cancel", "wait-until dialog \"Brushless Motor Setup\"\nclose ok\nclick 1061\nclose cancel\n", 3,
                "dialog \"Drive Setup\" closed: Cancel\nCancelled: nothing written\n", ""},
        EditEnd{"StepFails", "wait-until dialog \"Brushless Motor Setup\"\nclose ok\nexpect 3173 \"9\"\n", 1, "",
                ":3: expect 3173 shows \"9\": it shows \"1.29667\"\n"},
        EditEnd{"ScriptEndsTooSoon", "wait 10\n", 1, "",
                ": the script ended too soon: the user agent has no more actions for the open dialog \"Drive Setup\"\n"},
        EditEnd{"MessageBoxTraced",
                "wait-until dialog \"Brushless Motor Setup\"\nclose ok\nselect 3136 \"200\"\nclose ok\n", 0,
                "Any value over 127 will set the drive as non-configured and further CANopen communication will be "
                "disabled until a valid Axis ID will be set in the drive. Leave the drive with a non-configured axis "
                "ID only if you intend to set the Axis ID later via a CANopen master using CiA305 LSS protocol.\": "
                "OK\ndialog \"Drive Setup\" closed: OK\nOK: written to ",
                ""}),
    [](const ::testing::TestParamInfo<EditEnd>& end) { return std::string(end.param.name); });

}  // namespace
}  // namespace kestrel
