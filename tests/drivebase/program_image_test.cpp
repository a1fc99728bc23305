#include "drivebase/program_image.h"

#include <unistd.h>

#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace drivebase {
namespace {

using ::testing::HasSubstr;

constexpr const char* kCurrentTest = R"({
  "kestrel_program": 1,
  "name": "IE_Current_Controller_Tuning_Test_LIN",
  "base": "Current_Controller_Tuning_Test",
  "prefix": "IE",
  "linear": true,
  "version": 3,
  "variables": [
    {"name": "STARTED", "type": "int16", "direction": "output", "initial": 0},
    {"name": "In1", "type": "int16", "direction": "input", "initial": 0},
    {"name": "TimeLimit", "type": "uint16", "direction": "input", "initial": 65535},
    {"name": "delta_time", "type": "int32", "direction": "output", "initial": -1},
    {"name": "b0", "type": "fixed16.16", "direction": "in_out", "initial": 0}
  ]
})";

class ProgramImages : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() / ("kestrel-images-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_);
    SetProgramDirectory(directory_);
  }
  void TearDown() override {
    SetProgramDirectory({});
    std::filesystem::remove_all(directory_);
  }
  std::string Write(const std::string& program, const std::string& text) const {
    const std::filesystem::path path = ProgramImagePath(program);
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  std::filesystem::path directory_;
};

TEST_F(ProgramImages, ADescriptorReadsBackAsItWasWritten) {
  const ProgramDescriptor descriptor = ParseProgramDescriptor(kCurrentTest, "test");
  EXPECT_EQ(descriptor.name, "IE_Current_Controller_Tuning_Test_LIN");
  EXPECT_TRUE(descriptor.linear);
  EXPECT_EQ(descriptor.version, 3);
  ASSERT_EQ(descriptor.variables.size(), 5u);
  EXPECT_EQ(descriptor.variables[4].type, ProgramVariableType::fixed16_16);
  EXPECT_EQ(descriptor.variables[4].direction, ProgramVariableDirection::in_out);
  EXPECT_EQ(descriptor.variables[3].initial, -1);
  const std::string text = SerializeProgramDescriptor(descriptor);
  EXPECT_EQ(SerializeProgramDescriptor(ParseProgramDescriptor(text, "again")), text);
  EXPECT_THAT(text, HasSubstr("\n    {\"name\":\"In1\",\"type\":\"int16\",\"direction\":\"input\",\"initial\":0},\n"));
}

TEST_F(ProgramImages, ImagesLiveBesideTheirNames) {
  EXPECT_EQ(ProgramImagePath("IE_VDC_Detection_Test"), directory_ / "IE_VDC_Detection_Test.out");
  SetProgramDirectory({});
  EXPECT_EQ(ProgramDirectory().filename(), "programs");
}

// User variables hold the words program memory will hold: rounded to nearest, ties away from
// zero, and saturated to their type.
TEST_F(ProgramImages, VariablesStoreTheirWordsAsTheirTypeHoldsThem) {
  CMC_CoffFormat image;
  image.SetFileName(Write("IE_Current_Controller_Tuning_Test_LIN", kCurrentTest));
  ASSERT_TRUE(image.ReadCoff()) << image.GetLoadError();
  double value = 0;
  ASSERT_TRUE(image.GetVariableValue("TimeLimit", value));
  EXPECT_EQ(value, 65535);
  const struct {
    const char* name;
    double written;
    double kept;
  } cases[] = {
      {"In1", 4910.5, 4911},        {"In1", -4910.5, -4911},  {"In1", 40000, 32767},
      {"In1", -40000, -32768},      {"TimeLimit", -3, 0},     {"TimeLimit", 70000, 65535},
      {"delta_time", 3e9, 2147483647}, {"b0", 98304.4, 98304},  // 1.5 in 16.16
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(image.SetVariableValue(c.name, c.written)) << c.name;
    ASSERT_TRUE(image.GetVariableValue(c.name, value));
    EXPECT_EQ(value, c.kept) << c.name << " = " << c.written;
  }
  EXPECT_FALSE(image.SetVariableValue("In1", std::nan("")));
  EXPECT_FALSE(image.SetVariableValue("in1", 1)) << "names are exact";
  EXPECT_FALSE(image.GetVariableValue("RefTest", value));
}

struct Fault {
  const char* label;
  std::string from;  // replaced in the reference text ...
  std::string to;    // ... by this
  const char* message;
};

class DescriptorFaults : public ProgramImages, public ::testing::WithParamInterface<Fault> {};

// A descriptor that cannot be used fails to load naming the file and the fault, and leaves an
// image that was loaded before as it was.
TEST_P(DescriptorFaults, FailNamingTheFileAndTheFault) {
  const std::string program = "IE_Current_Controller_Tuning_Test_LIN";
  CMC_CoffFormat image;
  ASSERT_TRUE(image.ReadCoff(Write(program, kCurrentTest)));
  ASSERT_TRUE(image.SetVariableValue("In1", 4910));

  std::string text = kCurrentTest;
  const std::size_t at = text.find(GetParam().from);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, GetParam().from.size(), GetParam().to);
  const std::string path = Write("Broken_" + program, text);
  EXPECT_FALSE(image.ReadCoff(path));
  EXPECT_THAT(image.GetLoadError(), HasSubstr(path + ": "));
  EXPECT_THAT(image.GetLoadError(), HasSubstr(GetParam().message));
  double in1 = 0;
  ASSERT_TRUE(image.GetVariableValue("In1", in1));
  EXPECT_EQ(in1, 4910);
  EXPECT_EQ(image.Descriptor().name, program);
}

INSTANTIATE_TEST_SUITE_P(
    ProgramImages, DescriptorFaults,
    ::testing::Values(
        Fault{"NotJson", "\"version\": 3,", "\"version\": 3,,", "not valid JSON"},
        Fault{"TooDeep", "\"version\": 3,", "\"version\": 3, \"deep\": [[[[[[[[[[1]]]]]]]]]],", "values nest deeper than a program image can"},
        Fault{"UnknownKey", "\"version\"", "\"revision\": 1, \"version\"", "unknown key \"revision\""},
        Fault{"MissingVersion", "\"version\": 3,", "", "key \"version\" is missing"},
        Fault{"FormatVersion", "\"kestrel_program\": 1", "\"kestrel_program\": 2", "format version 2 is not 1"},
        Fault{"NameAndVariant", "\"linear\": true", "\"linear\": false",
              "disagrees with its prefix, base and variant (\"IE_Current_Controller_Tuning_Test\")"},
        Fault{"ZeroVersion", "\"version\": 3", "\"version\": 0", "version 0 is not a positive number"},
        Fault{"FractionalVersion", "\"version\": 3", "\"version\": 1.5", "\"version\" is not a whole number"},
        Fault{"UnknownType", "\"type\": \"uint16\"", "\"type\": \"int8\"",
              "variables[2] (\"TimeLimit\"): type \"int8\" is not one of int16, uint16, int32, fixed16.16"},
        Fault{"Direction", "\"direction\": \"input\", \"initial\": 65535", "\"direction\": \"in\", \"initial\": 65535",
              "direction \"in\" is not input, output or in_out"},
        Fault{"InitialOutOfRange", "\"initial\": 65535", "\"initial\": 65536",
              "initial value 65536 does not fit its type uint16"},
        Fault{"InitialFraction", "\"initial\": 65535", "\"initial\": 0.5", "\"initial\" is not a whole number"},
        Fault{"VariableKey", "\"initial\": 65535", "\"initial\": 65535, \"unit\": \"s\"",
              "variables[2]: unknown key \"unit\""},
        Fault{"Twice", "\"name\": \"In1\"", "\"name\": \"STARTED\"", "variable \"STARTED\" appears twice"},
        Fault{"NamelessVariable", "\"name\": \"In1\"", "\"name\": \"\"", "\"name\" is not a non-empty text"}),
    [](const ::testing::TestParamInfo<Fault>& param) { return std::string(param.param.label); });

TEST_F(ProgramImages, AMissingOrMisnamedFileIsNamed) {
  CMC_CoffFormat image;
  image.SetFileName(ProgramImagePath("IE_No_Such_Test").string());
  EXPECT_FALSE(image.ReadCoff());
  EXPECT_EQ(image.GetLoadError(), ProgramImagePath("IE_No_Such_Test").string() +
                                      ": cannot be opened (no such program image?)");
  EXPECT_FALSE(image.IsLoaded());

  const std::string copy = Write("IE_Other_Test", kCurrentTest);
  EXPECT_FALSE(image.ReadCoff(copy));
  EXPECT_EQ(image.GetLoadError(),
            copy + ": describes the program \"IE_Current_Controller_Tuning_Test_LIN\", not \"IE_Other_Test\"");
}

}  // namespace
}  // namespace drivebase
