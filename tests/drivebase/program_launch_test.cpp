#include "drivebase/program_launch.h"

#include <unistd.h>

#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_scale.h"
#include "memory_drive.h"

namespace drivebase {
namespace {

using test_support::Connected;
using test_support::MemoryDrive;
using test_support::Spec;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(DriveRegisters, AreTheParametersNamedInCapitals) {
  for (const char* name : {"PWMPER", "KPI", "SFTKPI", "BQ1B0", "ERRMAXL", "UMAX_PROT", "T1ONA", "DIGIN_ACTIVE_LEVEL"}) {
    EXPECT_TRUE(IsDriveRegisterName(name)) << name;
  }
  for (const char* name : {"K", "R", "L", "M", "pp", "In", "ImaxPS", "Kp_C_scl", "DSP_freq", "PB_c", "_1", "12", ""}) {
    EXPECT_FALSE(IsDriveRegisterName(name)) << name;
  }
}

CMC_Setup SetupWithRegisters() {
  CMC_Setup setup;
  setup.AddParameter(Spec("PWMPER", kUnsigned16, "", false, 1000));
  setup.AddParameter(Spec("R", kReal, "", false, 0.9));
  setup.AddParameter(Spec("KPI", kSigned16, "", false, 24226));
  setup.AddParameter(Spec("TestCurrent", kReal, "", false, 4910));
  setup.AddParameter(Spec("ENC2THL", kSigned32, "", false, 2147484));
  return setup;
}

// A small program image in a file of its own.
class Launches : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() / ("kestrel-launch-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_);
    SetProgramDirectory(directory_);
    ProgramDescriptor descriptor{"IE_Initial_Positioning_Test", "Initial_Positioning_Test", "IE", false, 2, {}};
    descriptor.variables = {{"STARTED", ProgramVariableType::int16, ProgramVariableDirection::output, 0},
                            {"In1", ProgramVariableType::int16, ProgramVariableDirection::in_out, 0},
                            {"delta_time", ProgramVariableType::int32, ProgramVariableDirection::output, -1},
                            {"b0", ProgramVariableType::fixed16_16, ProgramVariableDirection::input, 0}};
    std::ofstream(ProgramImagePath(descriptor.name)) << SerializeProgramDescriptor(descriptor);
    ASSERT_TRUE(image_.ReadCoff(ProgramImagePath(descriptor.name).string())) << image_.GetLoadError();
  }
  void TearDown() override {
    SetProgramDirectory({});
    std::filesystem::remove_all(directory_);
  }

  std::filesystem::path directory_;
  CMC_CoffFormat image_;
  MemoryDrive drive_;
  Connected connected_{drive_};
  CMC_Setup setup_ = SetupWithRegisters();
  std::string error_;
};

// The registers the setup holds at the launch reach the drive with the launch, the image's
// variables with their words, and the logger with its settings.
TEST_F(Launches, SendTheSetupsRegistersAndTheImagesVariables) {
  ASSERT_TRUE(SetUserVariable(image_, "In1", 4910, error_)) << error_;
  setup_.SetParameterValueInInternalUnit("KPI", 12000);  // changed just before the launch
  LoggerSettings logger{100, 2, 1, {"Current_Reference", "Motor_Current"}};
  ASSERT_TRUE(ExecuteProgram(setup_, "IE_Initial_Positioning_Test", &image_, &logger));
  ASSERT_EQ(drive_.launches.size(), 1u);
  const ProgramLaunch& launch = drive_.launches.front();
  EXPECT_EQ(launch.program, "IE_Initial_Positioning_Test");
  EXPECT_EQ(launch.imageVersion, 2);
  std::vector<std::string> registers;
  for (const DriveValue& value : launch.registers) registers.push_back(value.name + "=" + std::to_string(value.internal) + "/" + std::to_string(value.sizeInWords));
  EXPECT_THAT(registers, ElementsAre("PWMPER=1000.000000/1", "KPI=12000.000000/1", "ENC2THL=2147484.000000/2"));
  ASSERT_EQ(launch.variables.size(), 4u);
  EXPECT_EQ(launch.variables[1].name, "In1");
  EXPECT_EQ(launch.variables[1].internal, 4910);
  EXPECT_EQ(launch.variables[2].internal, -1) << "the initial value of a variable not written";
  EXPECT_EQ(launch.variables[2].sizeInWords, 2);
  ASSERT_TRUE(launch.logger.has_value());
  EXPECT_THAT(launch.logger->variables, ElementsAre("Current_Reference", "Motor_Current"));
}

// Before the launch the image's values are read and written; from the launch on, the drive's
// program memory, until another launch replaces it.
TEST_F(Launches, UserVariablesFollowTheProgramOntoTheDrive) {
  double value = 0;
  ASSERT_TRUE(SetUserVariable(image_, "In1", 4910, error_));
  EXPECT_TRUE(drive_.memory.empty()) << "written to the image only";
  ASSERT_TRUE(ExecuteProgram(setup_, "IE_Initial_Positioning_Test", &image_, nullptr));
  drive_.memory["In1"] = 4000;  // the program changed it
  ASSERT_TRUE(GetUserVariable(image_, "In1", value, error_));
  EXPECT_EQ(value, 4000);
  ASSERT_TRUE(SetUserVariable(image_, "STARTED", 1, error_));
  EXPECT_EQ(drive_.memory["STARTED"], 1);
  drive_.memory["delta_time"] = kNoValue;
  ASSERT_TRUE(GetUserVariable(image_, "delta_time", value, error_));
  EXPECT_EQ(value, kNoValue) << "no value passes through untouched";

  ASSERT_TRUE(ExecuteProgram(setup_, "IE_VDC_Detection_Test", nullptr, nullptr));  // another program
  ASSERT_TRUE(GetUserVariable(image_, "In1", value, error_));
  EXPECT_EQ(value, 4910) << "the image again, once another program runs";
}

// A 16.16 variable is written and read as its value; the image and the drive hold its word.
TEST_F(Launches, FixedPointVariablesTravelAsTheirWords) {
  ASSERT_TRUE(SetUserVariable(image_, "b0", -1.5, error_)) << error_;
  ASSERT_TRUE(ExecuteProgram(setup_, "IE_Initial_Positioning_Test", &image_, nullptr));
  EXPECT_EQ(drive_.launches.front().variables[3].internal, -98304);
  drive_.memory["b0"] = 163840;
  double value = 0;
  ASSERT_TRUE(GetUserVariable(image_, "b0", value, error_));
  EXPECT_EQ(value, 2.5);
  drive_.memory["b0"] = kNoValue;
  ASSERT_TRUE(GetUserVariable(image_, "b0", value, error_));
  EXPECT_EQ(value, kNoValue);
}

TEST_F(Launches, UnknownVariablesAndUnusableImagesAreRefused) {
  double value = 0;
  EXPECT_FALSE(SetUserVariable(image_, "RefTest", 1, error_));
  EXPECT_EQ(error_, "The program 'IE_Initial_Positioning_Test' has no variable 'RefTest'");
  EXPECT_FALSE(GetUserVariable(image_, "in1", value, error_));

  CMC_CoffFormat missing;
  missing.SetFileName(ProgramImagePath("IE_Missing_Test").string());
  EXPECT_FALSE(missing.ReadCoff());
  EXPECT_FALSE(ExecuteProgram(setup_, "IE_Missing_Test", &missing, nullptr));
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("Cannot launch 'IE_Missing_Test': its program image is not loaded ("));
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("IE_Missing_Test.out: cannot be opened"));

  EXPECT_FALSE(ExecuteProgram(setup_, "IE_Other_Test", &image_, nullptr));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(),
               "Cannot launch 'IE_Other_Test' with the program image of 'IE_Initial_Positioning_Test'");
  EXPECT_FALSE(ExecuteProgram(setup_, "", nullptr, nullptr)) << "no program applies";
  EXPECT_TRUE(drive_.launches.empty());

  EXPECT_FALSE(ExecuteProgram(setup_, "Refused_Program", nullptr, nullptr));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "drive refused 'Refused_Program'");
  EXPECT_EQ(CMC_Comm::CurrentLaunch(), 0u);
}

}  // namespace
}  // namespace drivebase
