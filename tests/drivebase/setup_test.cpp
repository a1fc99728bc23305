#include "drivebase/setup.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/config_line.h"
#include "drivebase/error_report.h"
#include "fake_scale.h"

namespace drivebase {
namespace {

using ::testing::ElementsAre;
using test_support::ScaledSetup;
using test_support::Spec;

// Collects what the host reports while the test runs.
class ReportedErrors {
 public:
  ReportedErrors() {
    SetErrorSink([this](const std::string& message) { messages.push_back(message); });
  }
  ~ReportedErrors() { SetErrorSink(nullptr); }
  std::vector<std::string> messages;
};

// Parameters, variables and options are separate tables, each found in any case, and a name that
// differs only in case is no new parameter.
TEST(SetupLookup, FindsNamesInAnyCaseInSeparateTables) {
  CMC_Setup setup;
  CMC_Parameter& halls = setup.AddParameter(Spec("isHallsensors", kFlag));
  EXPECT_EQ(setup.FindParameter("isHallSensors"), &halls);
  EXPECT_THROW(setup.AddParameter(Spec("ISHALLSENSORS", kFlag)), std::invalid_argument);
  setup.AddParameter(Spec("CADIN", kSigned16));
  setup.AddVariable(Spec("CADIN", kSigned16));
  setup.SetOption("CADIN", "1");
  EXPECT_NE(setup.FindParameter("cadin"), nullptr);
  EXPECT_NE(setup.FindVariable("cadin"), nullptr);
  EXPECT_NE(setup.FindOption("cadin"), nullptr);
}

TEST(SetupLookup, AMissingNameIsReportedOnlyWhileErrorsAreShown) {
  const ReportedErrors errors;
  CMC_Setup setup;
  EXPECT_EQ(setup.FindParameter("KPTHT"), nullptr);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("KPTHT"), 0.0);
  EXPECT_FALSE(setup.SetParameterValueInBaseUnit("KPTHT", 1.0));
  EXPECT_EQ(setup.FindVariable("MER"), nullptr);
  EXPECT_EQ(setup.FindVariable("APOS", 0), nullptr);
  EXPECT_EQ(setup.GetIntOption("MaxFilters"), 0);
  const std::string missing = "parameter 'KPTHT' does not exist in the setup";
  EXPECT_THAT(errors.messages,
              ElementsAre(missing, missing, missing, "drive variable 'MER' does not exist in the setup",
                          "option 'MaxFilters' does not exist in the setup"));
  g_bShowErrors = 7;
  {
    const ErrorReportingOff outer;
    {
      const ErrorReportingOff inner;
      EXPECT_EQ(setup.FindParameter("ERRMAXL"), nullptr);
    }
    EXPECT_FALSE(setup.HasDLMotorSensor(5, true));
    EXPECT_EQ(g_bShowErrors, 0);
  }
  EXPECT_EQ(g_bShowErrors, 7) << "the value before, restored";
  g_bShowErrors = 1;
  EXPECT_EQ(errors.messages.size(), 5u);
}

TEST(SetupLookup, RemovingAParameterKeepsTheOthersFindable) {
  CMC_Setup setup;
  for (const char* name : {"A1", "A2", "A3", "A4"}) setup.AddParameter(Spec(name, kReal));
  ASSERT_TRUE(setup.RemoveParameter("a2"));
  EXPECT_FALSE(setup.RemoveParameter("A2"));
  const ErrorReportingOff silent;
  EXPECT_EQ(setup.FindParameter("A2"), nullptr);
  for (const char* name : {"A1", "A3", "A4"}) {
    ASSERT_NE(setup.FindParameter(name), nullptr) << name;
    EXPECT_EQ(setup.FindParameter(name)->GetName(), name);
  }
  EXPECT_EQ(setup.Parameters()[1]->GetName(), "A3");
}

// An option set again in another case replaces the first, keeping its name; GetIntOption reads
// the leading integer, saturated.
TEST(SetupOptions, SetReplacesWithoutRegardToCaseAndReadsLeadingIntegers) {
  CMC_Setup setup;
  setup.SetOption("ReferenceName", "KSTA");
  setup.SetOption("referencename", "KSTB");
  ASSERT_EQ(setup.Options().size(), 1u);
  EXPECT_EQ(setup.Options().front()->name, "ReferenceName");
  EXPECT_EQ(setup.GetOptionNoError("REFERENCENAME"), "KSTB");
  setup.ClearOption("ReferenceName");
  EXPECT_TRUE(setup.Options().empty());
  for (const auto& [text, value] : {std::pair{"9", 9}, {"", 0}, {" 12", 12}, {"-1", -1}, {"1abc", 1}, {"yes", 0},
                                    {"99999999999", 2147483647}}) {
    setup.SetOption("MaxFilters", text);
    EXPECT_EQ(setup.GetIntOption("maxfilters"), value) << '"' << text << '"';
  }
}

DriveFamilyData TwoConnectorFamily() {
  DriveFamilyData family;
  family.adcFullScale = 4294967295u;
  family.sensorNames = {"None", "Incremental encoder", "Linear \"Hall\" sensors"};
  family.connectors = {{"Feedback #1", {1, 2}}, {"Feedback #2", {1}}};
  family.ssiClocks = {{1000, 2000}, {1, 0}};
  family.bissClocks = {{2500}, {6}};
  family.ioPins = {{25, 0, true}, {36, 2, false}, {26, 1, true}};
  return family;
}

// Each connector's line holds its name and its sensors as "code,name", escaped.
TEST(SetupDriveFamily, SensorTableReadsBackThroughConfigLines) {
  CMC_Setup setup;
  setup.SetDriveFamily(TwoConnectorFamily());
  const std::vector<std::string> lines = setup.GetDLSensorsArray();
  ASSERT_EQ(lines.size(), 2u);
  std::string_view line = lines[0];
  std::vector<std::string> texts;
  for (std::string text; ReadEscapedStringFromConfigLine(line, text);) texts.push_back(text);
  EXPECT_THAT(texts, ElementsAre("Feedback #1", "1,Incremental encoder", "2,Linear \"Hall\" sensors"));
  EXPECT_EQ(setup.GetDLMaxConnectorValue(), 1);
  EXPECT_EQ(setup.GetFeedbackName(1), "Feedback #2");
  EXPECT_EQ(setup.GetFeedbackName(2), "");
  EXPECT_EQ(setup.GetSensorName(9), "");
  EXPECT_EQ(setup.GetSensorName(-1), "");
}

TEST(SetupDriveFamily, PinsPortsClocksAndAdc) {
  CMC_Setup setup;
  setup.SetDriveFamily(TwoConnectorFamily());
  EXPECT_EQ(setup.GetIOPortFromPin(26), 1);
  EXPECT_EQ(setup.GetIOPinFromPort(2), 36);
  EXPECT_EQ(setup.GetIOPortFromPin(99), -1);
  EXPECT_EQ(setup.GetIOPinFromPort(7), -1);
  EXPECT_EQ(setup.GetNumberOfBrakeOutputs(), 2);
  std::vector<int> kHz;
  std::vector<int> modes;
  setup.GetBiSSFreqList(kHz, modes);
  EXPECT_THAT(kHz, ElementsAre(2500));
  EXPECT_THAT(modes, ElementsAre(6));
  setup.GetSSIFreqList(kHz, modes);
  EXPECT_THAT(kHz, ElementsAre(1000, 2000));
  EXPECT_EQ(Compute_ADCMaxValue(&setup), 4294967295u);
  EXPECT_EQ(Compute_ADCMaxValue(nullptr), 0u);
  setup.AddParameter(Spec("MotorSensorType", kChoice, "", false, 5));
  EXPECT_TRUE(setup.HasDLMotorSensor(5, false));
  EXPECT_FALSE(setup.HasDLMotorSensor(6, false));
  EXPECT_FALSE(setup.HasDLLoadSensor(0, false)) << "no LoadSensorType parameter";
}

TEST(SetupIdentity, RefusesAnInvalidFirmwareId) {
  CMC_Setup setup;
  EXPECT_TRUE(setup.SetFirmwareID("F514K"));
  for (const char* id : {"", "F514 K", "F5140000000000000K"}) EXPECT_FALSE(setup.SetFirmwareID(id)) << id;
  EXPECT_EQ(setup.GetFirmwareID(), "F514K");
}

// A copy or a moved setup converts through its own scale inputs, not the original's.
TEST(SetupCopy, CopiesConvertThroughTheirOwnScaleInputs) {
  CMC_Setup original = ScaledSetup();
  original.AddParameter(Spec("TestCurrent", kReal, "A", true, 2000));
  CMC_Setup copy = original;
  copy.SetParameterValueInBaseUnit("CountsPerAmp", 500);
  EXPECT_EQ(original.GetParameterValueInBaseUnit("TestCurrent"), 2.0);
  EXPECT_EQ(copy.GetParameterValueInBaseUnit("TestCurrent"), 4.0);
  EXPECT_EQ(copy.FindParameter("TestCurrent")->GetSetup(), &copy);
  CMC_Setup moved = std::move(copy);
  EXPECT_EQ(moved.FindParameter("TestCurrent")->GetSetup(), &moved);
  original = moved;
  EXPECT_EQ(original.GetParameterValueInBaseUnit("TestCurrent"), 4.0);
}

// A factor that reads a drive-scaled parameter of its own unit would convert without end.
double SelfReferringFactor(CMC_Setup* setup, const char*, const char*) {
  return 1.0 + setup->GetParameterValueInBaseUnit("Loop");
}

TEST(SetupScale, AScaleThatReadsItselfStopsAtAFixedDepthAndNoScaleIsFactorOne) {
  CMC_Setup setup;
  setup.AddParameter(Spec("Loop", kReal, "A", true, 1.0));
  CMC_Parameter& temperature = setup.AddParameter(Spec("T", kReal, "°C", true, 42.0));
  EXPECT_EQ(temperature.GetValueInBaseUnit(), 42.0) << "without scale functions: factor 1, offset 0";
  setup.SetScaleFunctions({&SelfReferringFactor, nullptr});
  const double value = setup.GetParameterValueInBaseUnit("Loop");
  EXPECT_TRUE(std::isfinite(value));
  EXPECT_GT(value, 1.0);
}

}  // namespace
}  // namespace drivebase
