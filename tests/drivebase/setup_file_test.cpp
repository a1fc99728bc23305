#include "drivebase/setup_file.h"

#include <unistd.h>

#include <bit>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <tuple>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/error_report.h"
#include "fake_scale.h"

namespace drivebase {
namespace {

using ::testing::HasSubstr;
using test_support::Spec;

constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint64_t Bits(double value) { return std::bit_cast<std::uint64_t>(value); }

// Everything a setup holds, doubles as their bits, for comparisons that must be exact.
auto Fields(const Quantity& q) {
  return std::make_tuple(q.GetName(), q.GetType(), q.GetUnitName(), q.IsDriveScaled(),
                         Bits(q.GetValueInInternalUnit()));
}
auto Fields(const CMC_Parameter& p) {
  return std::tuple_cat(Fields(static_cast<const Quantity&>(p)),
                        std::make_tuple(Bits(p.GetMinInBaseUnit()), Bits(p.GetMaxInBaseUnit()), p.GetPrecision()));
}
auto Fields(const Option& o) { return std::make_tuple(o.name, o.value); }
auto Fields(const IoPin& p) { return std::make_tuple(p.pin, p.port, p.brakeOutput, p.sourceOutput, p.inverted); }

template <typename List>
auto FieldsOf(const List& items) {
  std::vector<decltype(Fields(*items.front()))> fields;
  for (const auto& item : items) fields.push_back(Fields(*item));
  return fields;
}

void ExpectSetupsIdentical(const CMC_Setup& a, const CMC_Setup& b) {
  EXPECT_EQ(FieldsOf(a.Parameters()), FieldsOf(b.Parameters()));
  EXPECT_EQ(FieldsOf(a.Variables()), FieldsOf(b.Variables()));
  EXPECT_EQ(FieldsOf(a.Options()), FieldsOf(b.Options()));
  const auto drive = [](const CMC_Setup& s) {
    const DriveIdentity& x = s.Identity();
    const DriveFamilyData& f = s.DriveFamily();
    std::vector<decltype(Fields(IoPin{}))> pins;
    for (const IoPin& pin : f.ioPins) pins.push_back(Fields(pin));
    return std::make_tuple(x.firmwareId, x.productId, x.applicationId, x.description, x.e2romSize, f.adcFullScale,
                           f.generation, f.maxSensorType, f.sensorNames, s.GetDLSensorsArray(), f.ssiClocks.kHz,
                           f.ssiClocks.modes, f.bissClocks.kHz, f.bissClocks.modes, pins);
  };
  EXPECT_EQ(drive(a), drive(b));
}

// A setup that uses every feature of the format, with doubles that are hard to write exactly.
CMC_Setup AwkwardSetup() {
  CMC_Setup setup;
  setup.SetIdentity({"F514K", "KD4810", "app \"7\"", "line\nbreak, tab\t, unicode °", 32768});
  DriveFamilyData family;
  family.adcFullScale = 4294967295u;
  family.generation = 3;
  family.maxSensorType = 9;
  family.sensorNames = {"None", "Incremental encoder"};
  family.connectors = {{"Feedback #1", {1, 9}}, {"Feedback \"2\"", {}}};
  family.ssiClocks = {{250, 500}, {1, 0}};
  family.bissClocks = {{1000}, {}};  // unequal lengths are the drive family's business
  family.ioPins = {{25, 0, true, false, true}, {36, 2, false}};
  setup.SetDriveFamily(family);

  const double reals[] = {0.1, -0.0, 5e-324, 1.7976931348623157e308, -2.2250738585072014e-308,
                          9007199254740993.0, 123456789012345678.0, 1e22, 1.0 / 3.0, -4e18};
  int index = 0;
  for (const double value : reals) setup.AddParameter(Spec("Real" + std::to_string(index++), kReal, "", false, value));
  setup.AddParameter(Spec("Int16", kSigned16, "", false, -32768));
  setup.AddParameter(Spec("Uint32", kUnsigned32, "", false, 4294967295.0));
  setup.AddParameter(Spec("Flag", kFlag, "", false, 1));
  setup.AddParameter(Spec("Choice", kChoice, "", false, -1));
  ParameterSpec limited = Spec("Limited", kReal, "rot", true, 4000.0000000000005);
  limited.min = -0.0;
  limited.max = 1e-9;
  limited.precision = 17;
  setup.AddParameter(limited);
  ParameterSpec crossed = Spec("Crossed", kReal, "%", false, 50);
  crossed.min = kInf;
  crossed.max = -kInf;
  setup.AddParameter(crossed);
  setup.AddVariable(Spec("APOS_MT", kSigned32, "rot", true, -2147483648.0));
  setup.AddVariable(Spec("Jt", kReal, "kgm^2 E-7", false, 6.6e-5));
  setup.SetOption("MotorType", "Brushless, Rotary");
  setup.SetOption("Empty", "");
  setup.SetOption("Quoted", "\"\\ °");
  return setup;
}

TEST(SetupFile, SaveThenLoadGivesTheSameSetupBitForBit) {
  const CMC_Setup original = AwkwardSetup();
  const std::string text = SerializeSetup(original);
  const CMC_Setup loaded = ParseSetup(text, "memory");
  ExpectSetupsIdentical(original, loaded);
  EXPECT_EQ(SerializeSetup(loaded), text);
  EXPECT_TRUE(CheckSetupText(text).empty());
}

TEST(SetupFile, WritesOneParameterPerLineWithoutDefaults) {
  CMC_Setup setup;
  setup.AddParameter(Spec("PWMPER", kUnsigned16, "", false, 1000));
  setup.AddParameter(Spec("Vdc", kReal, "V", false, 48.5));
  const std::string text = SerializeSetup(setup);
  EXPECT_THAT(text, HasSubstr("\n    {\"name\": \"PWMPER\", \"type\": 1, \"value\": 1000},\n"));
  EXPECT_THAT(text, HasSubstr("\n    {\"name\": \"Vdc\", \"type\": 4, \"unit\": \"V\", \"value\": 48.5}\n"));
}

// A valid setup text with one parameter; cases below replace parts of it.
const std::string kValid = R"({
  "format": "kestrel-setup",
  "version": 1,
  "identity": {"firmware": "F514K", "e2romSize": 16384},
  "drive": {"adcFullScale": 65472, "maxSensorType": 9,
            "connectors": [{"name": "Feedback #1", "sensors": [1, 3]}],
            "ioPins": [{"pin": 25, "port": 0, "brake": true}]},
  "parameters": [
    {"name": "PWMPER", "type": 1, "value": 1000, "min": 1, "max": 65535}
  ],
  "variables": [{"name": "MER", "type": 1, "value": 0}],
  "options": [{"name": "MaxFilters", "value": "4"}]
})";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("test text lacks " + from);
  return text.replace(at, from.size(), to);
}

std::string WithParameter(const std::string& entry) {
  return Replace(kValid, R"({"name": "PWMPER", "type": 1, "value": 1000, "min": 1, "max": 65535})", entry);
}

struct MalformedCase {
  std::string description, text;
  std::string fault;  // a part of the one fault expected
};

void PrintTo(const MalformedCase& c, std::ostream* out) { *out << c.description; }

class MalformedSetupTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedSetupTest, IsRejectedWithAMessageNamingTheEntry) {
  const MalformedCase& c = GetParam();
  const std::vector<std::string> faults = CheckSetupText(c.text);
  ASSERT_EQ(faults.size(), 1u) << ::testing::PrintToString(faults);
  EXPECT_THAT(faults.front(), HasSubstr(c.fault));
  try {
    ParseSetup(c.text, "bad.json");
    FAIL() << "accepted";
  } catch (const SetupFileError& error) {
    EXPECT_EQ(error.faults(), faults);
    EXPECT_THAT(error.what(), HasSubstr("bad.json: "));
  }
}

std::vector<MalformedCase> MalformedCases() {
  return {
      {"not JSON", "{\"format\": ", "not valid JSON"},
      {"not an object", "[1, 2]", "the file must hold one JSON object"},
      {"no format", Replace(kValid, "\"format\": \"kestrel-setup\",", ""), "top level: \"format\" is missing"},
      {"other format", Replace(kValid, "kestrel-setup", "other"), "expected \"kestrel-setup\""},
      {"newer version", Replace(kValid, "\"version\": 1", "\"version\": 2"), "version 2 is newer than this program reads (1)"},
      {"version as text", Replace(kValid, "\"version\": 1", "\"version\": \"1\""), "\"version\" must be a finite number"},
      {"unknown section", Replace(kValid, "\"options\"", "\"optoins\""), "unknown key \"optoins\""},
      {"repeated key", Replace(kValid, "\"type\": 1,", "\"type\": 1, \"type\": 2,"), "key \"type\" appears twice"},
      {"no name", WithParameter(R"({"type": 1, "value": 1})"), "parameters[0]: \"name\" is missing"},
      {"empty name", WithParameter(R"({"name": "", "type": 1, "value": 1})"), "\"name\" must not be empty"},
      {"unknown type", WithParameter(R"({"name": "X", "type": 7, "value": 1})"), "parameters[0] 'X': \"type\" must be a whole number from 0 to 6"},
      {"unknown unit", WithParameter(R"({"name": "X", "type": 4, "unit": "furlong", "value": 1})"), "'X': unknown unit \"furlong\""},
      {"flag with a unit", WithParameter(R"({"name": "X", "type": 5, "unit": "s", "value": 1})"), "a flag has no unit"},
      {"scaled mass", WithParameter(R"({"name": "X", "type": 4, "unit": "kg", "scaled": true, "value": 1})"), "unit \"kg\" is not one the drive scales"},
      {"value too large", WithParameter(R"({"name": "X", "type": 4, "value": 1e999})"), "number overflow parsing '1e999'"},
      {"fraction in an integer", WithParameter(R"({"name": "X", "type": 1, "value": 2.5})"), "value 2.5 does not fit type 1 (unsigned 16-bit)"},
      {"out of range", WithParameter(R"({"name": "X", "type": 0, "value": 32768})"), "value 32768 does not fit type 0 (signed 16-bit)"},
      {"value as text", WithParameter(R"({"name": "X", "type": 4, "value": "1"})"), "\"value\" must be a finite number, not \"1\""},
      {"no value", WithParameter(R"({"name": "X", "type": 4})"), "\"value\" is missing"},
      {"min above max", WithParameter(R"({"name": "X", "type": 4, "value": 1, "min": 5, "max": 2})"), "min 5 is above max 2"},
      {"crossed but not", WithParameter(R"({"name": "X", "type": 4, "value": 1, "min": 2, "max": 5, "crossed": true})"), "\"crossed\" is true, but min is not above max"},
      {"limit as text", WithParameter(R"({"name": "X", "type": 4, "value": 1, "max": "infinity"})"), "\"max\" must be a finite number or \"inf\", \"-inf\""},
      {"precision", WithParameter(R"({"name": "X", "type": 4, "value": 1, "precision": 0})"), "\"precision\" must be a whole number from 1 to 17"},
      {"unknown key", WithParameter(R"({"name": "X", "type": 4, "value": 1, "units": "s"})"), "'X': unknown key \"units\""},
      {"duplicate parameter", WithParameter(R"({"name": "Kp", "type": 4, "value": 1}, {"name": "KP", "type": 4, "value": 2})"),
       "parameters[1] 'KP': a parameter of this name (ignoring case) appears earlier"},
      {"duplicate variable", Replace(kValid, R"([{"name": "MER", "type": 1, "value": 0}])", R"([{"name": "MER", "type": 1, "value": 0}, {"name": "mer", "type": 1, "value": 0}])"),
       "variables[1] 'mer': a drive variable of this name (ignoring case) appears earlier"},
      {"variable with limits", Replace(kValid, R"({"name": "MER", "type": 1, "value": 0})", R"({"name": "MER", "type": 1, "value": 0, "min": 0})"),
       "variables[0] 'MER': unknown key \"min\""},
      {"duplicate option", Replace(kValid, R"({"name": "MaxFilters", "value": "4"})", R"({"name": "MaxFilters", "value": "4"}, {"name": "maxfilters", "value": "5"})"),
       "options[1] 'maxfilters': an option of this name (ignoring case) appears earlier"},
      {"option as number", Replace(kValid, R"("value": "4")", R"("value": 4)"), "options[0] 'MaxFilters': \"value\" must be a string, not 4"},
      {"no ADC full scale", Replace(kValid, "\"adcFullScale\": 65472, ", ""), "drive: \"adcFullScale\" is missing"},
      {"zero ADC full scale", Replace(kValid, "\"adcFullScale\": 65472", "\"adcFullScale\": 0"), "\"adcFullScale\" must be a whole number from 1 to 4294967295"},
      {"unknown sensor code", Replace(kValid, "[1, 3]", "[1, 12]"), "drive connector 0: \"sensors\"[1] must be a whole number from 0 to 9"},
      {"unnamed connector", Replace(kValid, "\"Feedback #1\"", "\"\""), "drive connector 0: \"name\" must not be empty"},
      {"pin twice", Replace(kValid, R"({"pin": 25, "port": 0, "brake": true})", R"({"pin": 25, "port": 0}, {"pin": 25, "port": 1})"),
       "drive I/O pin 1: pin 25 appears twice"},
      {"bad firmware id", Replace(kValid, "\"F514K\"", "\"F 514\""), "identity: firmware id \"F 514\" must be 1 to 15 letters and digits"},
      {"negative E2ROM size", Replace(kValid, "16384", "-1"), "identity: \"e2romSize\" must be a whole number from 0"},
      {"identity as a list", Replace(kValid, R"({"firmware": "F514K", "e2romSize": 16384})", "[1, [2], {}]"),
       "identity: must be an object, not an array of 3 items"},
      {"deep nesting", Replace(kValid, R"({"firmware": "F514K", "e2romSize": 16384})",
                               std::string(100000, '[') + std::string(100000, ']')),
       "values nest deeper than 64 levels"},
      {"parameters not an array",
       Replace(kValid, R"([
    {"name": "PWMPER", "type": 1, "value": 1000, "min": 1, "max": 65535}
  ])", "{}"),
       "\"parameters\" must be an array"},
  };
}

INSTANTIATE_TEST_SUITE_P(Faults, MalformedSetupTest, ::testing::ValuesIn(MalformedCases()),
                         [](const auto& test) {
                           std::string name = test.param.description;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(SetupFile, LongTextsInMessagesAreCutBetweenCharacters) {
  // "aaa...aaéé": the cut after 37 bytes would fall inside the first é.
  const std::string longText = std::string(35, 'a') + "\u00e9\u00e9";
  const std::vector<std::string> faults =
      CheckSetupText(Replace(kValid, "\"version\": 1", "\"version\": \"" + longText + "\""));
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_THAT(faults.front(), HasSubstr("not \"" + std::string(35, 'a') + "..."));
  EXPECT_EQ(faults.front().find('\xC3'), std::string::npos);
}

TEST(SetupFile, ReportsEveryFaultOfAFile) {
  const std::string text = Replace(
      WithParameter(R"({"name": "A", "type": 9, "value": 1}, {"name": "B", "type": 1, "value": -1})"),
      "\"F514K\"", "\"\"\"");
  EXPECT_EQ(CheckSetupText(text).size(), 1u) << "a JSON syntax error hides the rest";
  const std::vector<std::string> faults = CheckSetupText(Replace(
      WithParameter(R"({"name": "A", "type": 9, "value": 1}, {"name": "B", "type": 1, "value": -1})"),
      "\"version\": 1", "\"version\": 1, \"extra\": 0"));
  EXPECT_EQ(faults.size(), 3u) << ::testing::PrintToString(faults);
}

class SetupFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("kestrel-setup-file-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::filesystem::path Path(const std::string& name) const { return directory_ / name; }

  static std::string Contents(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

  std::size_t EntriesInDirectory() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory_),
                                                  std::filesystem::directory_iterator()));
  }

  std::filesystem::path directory_;
};

// A save replaces the old file through a temporary file, keeping the old file's mode.
TEST_F(SetupFileOnDisk, SavesAndLoadsAFile) {
  const CMC_Setup original = AwkwardSetup();
  const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                    std::filesystem::perms::group_read;
  std::ofstream(Path("a.json")) << "old contents";
  std::filesystem::permissions(Path("a.json"), mode);
  SaveSetupFile(original, Path("a.json"));
  EXPECT_EQ(Contents(Path("a.json")), SerializeSetup(original));
  EXPECT_EQ(std::filesystem::status(Path("a.json")).permissions(), mode);
  ExpectSetupsIdentical(original, ReadSetupFile(Path("a.json")));
  EXPECT_EQ(EntriesInDirectory(), 1u) << "no temporary file stays behind";
}

TEST_F(SetupFileOnDisk, AFailedLoadNamesTheFileAndLeavesTheSetupUntouched) {
  CMC_Setup setup = test_support::ScaledSetup();
  setup.AddParameter(Spec("TestCurrent", kReal, "A", true, 1600));
  const std::string before = SerializeSetup(setup);
  std::ofstream(Path("bad.json")) << WithParameter(R"({"name": "X", "type": 1, "value": 2.5})");
  EXPECT_THROW(LoadSetupFile(Path("bad.json"), setup), SetupFileError);
  try {
    LoadSetupFile(Path("missing.json"), setup);
    FAIL();
  } catch (const SetupFileError& error) {
    EXPECT_EQ(error.source(), Path("missing.json").string());
    EXPECT_THAT(error.faults(), ::testing::ElementsAre("cannot be opened for reading"));
  }
  EXPECT_EQ(SerializeSetup(setup), before);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("TestCurrent"), 1.6);
}

TEST_F(SetupFileOnDisk, ALoadKeepsTheHostsScaleFunctions) {
  std::ofstream(Path("good.json")) << kValid;
  CMC_Setup setup = test_support::ScaledSetup();
  LoadSetupFile(Path("good.json"), setup);
  EXPECT_EQ(setup.GetScaleFunctions().factor, test_support::kFakeScale.factor);
  const ErrorReportingOff silent;
  EXPECT_NE(setup.FindParameter("PWMPER"), nullptr);
  EXPECT_EQ(setup.FindParameter("CountsPerAmp"), nullptr);
}

// Renaming over a non-empty directory fails after the temporary file was written; a missing
// directory fails at once. Both name the file and leave nothing behind.
TEST_F(SetupFileOnDisk, AFailedSaveNamesTheFileAndLeavesTheExistingOneAndNoTemporaryFile) {
  std::filesystem::create_directories(Path("target.json") / "inside");
  EXPECT_THROW(SaveSetupFile(AwkwardSetup(), Path("target.json")), std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_directory(Path("target.json") / "inside"));
  EXPECT_EQ(EntriesInDirectory(), 1u);
  try {
    SaveSetupFile(AwkwardSetup(), Path("no/such/dir.json"));
    FAIL();
  } catch (const std::runtime_error& error) {
    EXPECT_THAT(error.what(), HasSubstr("cannot save '" + Path("no/such/dir.json").string() + "'"));
  }
}

}  // namespace
}  // namespace drivebase
