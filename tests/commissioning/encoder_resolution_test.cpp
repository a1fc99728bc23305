// The encoder resolution and direction tests: the judgement of the final count worked by hand,
// and runs on the simulated drive that find the lines (the resolution of a linear encoder) exactly
// and tell a reversed encoder, for several line counts and interpolation levels; the save
// question, the counting direction the user chose and Motor Setup's refresh.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "commissioning/detect_encoder_resolution.h"
#include "commissioning/test_catalogue.h"
#include "commissioning/test_encoder_connections.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;

// The motor file of the setup's name with its sensor's key changed ("\"lines\": 500"), reversed
// or not, written where the test may write.
std::string MotorFile(const std::string& setupFile, const std::string& sensorKey, bool reversed) {
  std::ifstream in(std::string(KESTREL_MOTORS_DIR) + "/" + setupFile + ".json");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string key = sensorKey.substr(0, sensorKey.find(':'));
  text = std::regex_replace(text, std::regex(key + ": [0-9.e+-]+"), sensorKey);
  if (reversed)
    text = std::regex_replace(text, std::regex("\"motor_sensor\": \\{"), "\"motor_sensor\": { \"reversed\": true,");
  const auto path = std::filesystem::temp_directory_path() /
                    ("kestrel_motor_" + std::to_string(std::hash<std::string>{}(text)) + ".json");
  std::ofstream(path) << text;
  return path.string();
}

struct RunCase {
  const char* name;
  const char* setup;      // and its motor file
  const char* sensorKey;  // of the motor file
  bool reversed;
  int interpolationBits;  // SINCOS_fract of the setup; −1: as the setup has it
  const char* error;      // "" passes
  double found;           // lines (rotary) or resolution in m (linear); the setup's after Yes
};

class ResolutionRun : public Bench, public ::testing::WithParamInterface<RunCase> {};

TEST_P(ResolutionRun, FindsLinesAndDirectionOnTheSimulatedMotor) {
  const RunCase& c = GetParam();
  const bool linear = std::string_view(c.setup) == "linear", sinCos = std::string_view(c.setup) == "sincos";
  setup_ = test_support::ScaledSetupFile(c.setup);
  if (c.interpolationBits >= 0) setup_.SetParameterValueInBaseUnit("SINCOS_fract", c.interpolationBits);
  const char* kept = linear ? "Resolution" : "No_encoder_lines";
  const double opening = Value(kept);
  simulator_ =
      drivesim::link::ConnectSimulator(setup_, {MotorFile(c.setup, c.sensorKey, c.reversed), std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  std::string error, lines;
  user_.Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded(), Milliseconds(60'000))
      .Do("note the outcome",
          [&](ui::DialogDriver& dialog) {
            error = TopTest().ErrorText();
            if (!linear) lines = dialog.Text(CDetectEncoderResolution::kLinesEdit);
          })
      .Close(IDCANCEL);
  const bool passes = *c.error == 0;
  const bool asked = passes && (linear || c.found != opening);
  if (asked) user_.Answer(IDYES);
  // Without a question a rotary sine/cosine member closes as the host does, the others with OK.
  EXPECT_EQ(RunTestAlone(&setup_, "resolution"), asked || (passes && !sinCos) ? IDOK : IDCANCEL);
  EXPECT_EQ(error, c.error);
  const double expected = passes ? c.found : opening;
  if (!linear) {
    EXPECT_EQ(Value(kept), expected);
    EXPECT_EQ(lines, passes ? std::to_string(static_cast<int>(c.found)) : "");
    return;
  }
  // The rotor comes to the origin and to the end alike: the resolution kept is the pole pitch over
  // a whole count, the encoder's within one count.
  const double count = 0.032 / Value(kept);
  EXPECT_NEAR(count, std::round(count), 1e-6);
  EXPECT_NEAR(count, 0.032 / expected, 1.0);
}

constexpr const char* B = CDetectEncoderResolution::kReversedText;

// The default setup holds 2000 lines, the sine/cosine one 512 periods; linear: 32 mm pole pitch.
INSTANTIATE_TEST_SUITE_P(
    Motors, ResolutionRun,
    ::testing::Values(RunCase{"lines_500", "default", "\"lines\": 500", false, -1, "", 500},
                      RunCase{"lines_1024", "default", "\"lines\": 1024", false, -1, "", 1024},
                      RunCase{"lines_2000_as_set", "default", "\"lines\": 2000", false, -1, "", 2000},
                      RunCase{"lines_10000", "default", "\"lines\": 10000", false, -1, "", 10000},
                      RunCase{"lines_500_reversed", "default", "\"lines\": 500", true, -1, B, 0},
                      RunCase{"lines_10000_reversed", "default", "\"lines\": 10000", true, -1, B, 0},
                      RunCase{"sincos_512_by_4", "sincos", "\"lines\": 512", false, 2, "", 512},
                      RunCase{"sincos_1024_by_64", "sincos", "\"lines\": 1024", false, 6, "", 1024},
                      RunCase{"sincos_2048_by_1024", "sincos", "\"lines\": 2048", false, 10, "", 2048},
                      RunCase{"sincos_reversed", "sincos", "\"lines\": 512", true, 6,
                              CDetectEncoderResolution::kReversedSinCosText, 0},
                      RunCase{"linear_1_um", "linear", "\"resolution_m\": 1e-06", false, -1, "", 1e-6},
                      RunCase{"linear_5_um", "linear", "\"resolution_m\": 5e-06", false, -1, "", 5e-6},
                      RunCase{"linear_reversed", "linear", "\"resolution_m\": 1e-06", true, -1, B, 0}),
    [](const auto& param) { return std::string(param.param.name); });

// The final count judged, with the setup's 1000 lines: a count that is no larger than the smallest
// standard line count says the shaft did not turn, a negative one that it counted backwards (also
// a whole reversed revolution), a positive one gives the standard line count nearest its quarter.
struct JudgementCase {
  const char* name;
  double count;       // var_lf_long at the end
  const char* error;  // "" passes
  const char* lines;  // shown in 1021
};

class ResolutionJudgement : public Bench, public ::testing::WithParamInterface<JudgementCase> {};

TEST_P(ResolutionJudgement, FollowsTheFinalCount) {
  setup_.SetParameterValueInBaseUnit("No_encoder_lines", 1000);
  ScriptedDrive drive;
  drive.outputs["H123"] = 5;
  drive.values["var_lf_long"] = {GetParam().count, 2};
  CMC_Comm::SetActiveLink(&drive);
  std::string error, lines;
  user_.Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the outcome",
          [&](ui::DialogDriver& dialog) {
            error = TopTest().ErrorText();
            lines = dialog.Text(CDetectEncoderResolution::kLinesEdit);
          })
      .Close(IDCANCEL);
  RunTestAlone(&setup_, "resolution");
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(lines, GetParam().lines);
}

constexpr const char* A = CDetectEncoderResolution::kNotTurningText;

INSTANTIATE_TEST_SUITE_P(
    Counts, ResolutionJudgement,
    ::testing::Values(JudgementCase{"one_turn", 4000, "", "1000"}, JudgementCase{"short_by_friction", 3996, "", "1000"},
                      JudgementCase{"nothing", 0, A, ""}, JudgementCase{"a_few_counts_back", -3, A, ""},
                      JudgementCase{"below_the_smallest_standard", -99, A, ""},
                      JudgementCase{"at_the_smallest_standard_back", -100, CDetectEncoderResolution::kReversedText, ""},
                      JudgementCase{"one_turn_back", -4000, CDetectEncoderResolution::kReversedText, ""},
                      JudgementCase{"three_quarters_back", -3000, CDetectEncoderResolution::kReversedText, ""}),
    [](const auto& param) { return std::string(param.param.name); });

// A setup without encoder lines cannot have its count judged: Start fails at once.
TEST_F(Bench, ResolutionTestWithoutEncoderLinesFailsAtStart) {
  setup_.RemoveParameter("No_encoder_lines");
  setup_.AddParameter({{"No_encoder_lines", 3, "", false, 0.0}, 0, 1e9, 6});
  ScriptedDrive drive;
  CMC_Comm::SetActiveLink(&drive);
  std::string error;
  user_.Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL);
  // Built on the setup as it stands: bringing the layers to agree would derive the lines anew.
  MakeCommissioningTest(&setup_, "resolution", nullptr)->DoModal();
  EXPECT_EQ(error, CMC_TestDlg::msc_pszErrInternal);
  EXPECT_TRUE(drive.launches.empty());
}

// Each member runs its own sensor's programs whatever the sensor's prefix (type 7 has none); the
// connection tests always the incremental encoder's monitoring program.
TEST_F(Bench, EncoderTestsRunTheirMembersPrograms) {
  struct Row {
    int sensor, transmission;
    const char *preliminary, *resolution;
  };
  for (const Row& row : {Row{1, 0, "IE_Initial_Positioning_Test", "IE_Encoder_Resolution_And_Direction_Test"},
                         Row{1, 3, "IE_Initial_Positioning_Test_LIN", "IE_Encoder_Resolution_And_Direction_Test"},
                         Row{7, 0, "SC_Initial_Positioning_Test", "SC_Encoder_Resolution_And_Direction_Test"},
                         Row{3, 2, "SC_Initial_Positioning_Test", "SC_Encoder_Resolution_And_Direction_Test_LIN"}}) {
    setup_.SetParameterValueInBaseUnit("MotorSensorType", row.sensor);
    setup_.SetParameterValueInBaseUnit("TransmissionType", row.transmission);
    const auto resolution = MakeCommissioningTest(&setup_, "resolution", nullptr);
    const auto& test = dynamic_cast<const CDetectEncoderResolution&>(*resolution);
    EXPECT_EQ(test.PreliminaryProgram(), row.preliminary) << row.sensor << " " << row.transmission;
    EXPECT_EQ(test.ResolutionProgram(), row.resolution) << row.sensor << " " << row.transmission;
    const auto connection = MakeCommissioningTest(&setup_, "encoder", nullptr);
    EXPECT_EQ(dynamic_cast<const CTestEncoderConnections&>(*connection).Program(), "IE_Encoder_Connection_Test");
  }
}

}  // namespace
}  // namespace kestrel::commissioning_test
