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

TEST(SetupLookup, FindsNamesInAnyCase) {
  CMC_Setup setup;
  CMC_Parameter& frequency = setup.AddParameter(Spec("SSI_freq", kReal, "Hz"));
  CMC_Parameter& halls = setup.AddParameter(Spec("isHallsensors", kFlag));
  EXPECT_EQ(setup.FindParameter("SSI_Freq"), &frequency);
  EXPECT_EQ(setup.FindParameter("ssi_FREQ"), &frequency);
  EXPECT_EQ(setup.FindParameter("isHallSensors"), &halls);
  EXPECT_THROW(setup.AddParameter(Spec("ISHALLSENSORS", kFlag)), std::invalid_argument);
}

TEST(SetupLookup, ParametersVariablesAndOptionsAreSeparateNamespaces) {
  CMC_Setup setup;
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
  EXPECT_THAT(errors.messages,
              ElementsAre("parameter 'KPTHT' does not exist in the setup",
                          "parameter 'KPTHT' does not exist in the setup",
                          "parameter 'KPTHT' does not exist in the setup",
                          "drive variable 'MER' does not exist in the setup",
                          "option 'MaxFilters' does not exist in the setup"));
  {
    const ErrorReportingOff silent;
    EXPECT_EQ(g_bShowErrors, 0);
    EXPECT_EQ(setup.FindParameter("ERRMAXL"), nullptr);
    EXPECT_FALSE(setup.HasDLMotorSensor(5, true));
  }
  EXPECT_EQ(g_bShowErrors, 1);
  EXPECT_EQ(errors.messages.size(), 5u);
}

TEST(SetupLookup, ErrorReportingOffNestsAndRestores) {
  g_bShowErrors = 7;
  {
    const ErrorReportingOff outer;
    {
      const ErrorReportingOff inner;
      EXPECT_EQ(g_bShowErrors, 0);
    }
    EXPECT_EQ(g_bShowErrors, 0);
  }
  EXPECT_EQ(g_bShowErrors, 7);
  g_bShowErrors = 1;
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
  EXPECT_EQ(setup.Parameters().size(), 3u);
  EXPECT_EQ(setup.Parameters()[1]->GetName(), "A3");
}

struct IntOptionCase {
  const char* text;
  int value;
};

void PrintTo(const IntOptionCase& c, std::ostream* out) {
  *out << '"' << c.text << "\" reads " << c.value;
}

class IntOptionTest : public ::testing::TestWithParam<IntOptionCase> {};

TEST_P(IntOptionTest, ReadsTheLeadingInteger) {
  CMC_Setup setup;
  setup.SetOption("MaxFilters", GetParam().text);
  EXPECT_EQ(setup.GetIntOption("maxfilters"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, IntOptionTest,
                         testing::Values(IntOptionCase{"9", 9}, IntOptionCase{"", 0},
                                         IntOptionCase{" 12", 12}, IntOptionCase{"-1", -1},
                                         IntOptionCase{"1abc", 1}, IntOptionCase{"yes", 0},
                                         IntOptionCase{"99999999999", 2147483647}));

TEST(SetupOptions, SetReplacesWithoutRegardToCaseAndClearRemoves) {
  CMC_Setup setup;
  setup.SetOption("ReferenceName", "KSTA");
  setup.SetOption("referencename", "KSTB");
  ASSERT_EQ(setup.Options().size(), 1u);
  EXPECT_EQ(setup.Options().front()->name, "ReferenceName");
  EXPECT_EQ(setup.GetOptionNoError("REFERENCENAME"), "KSTB");
  setup.ClearOption("ReferenceName");
  EXPECT_EQ(setup.GetOptionNoError("ReferenceName"), "");
  EXPECT_TRUE(setup.Options().empty());
}

DriveFamilyData TwoConnectorFamily() {
  DriveFamilyData family;
  family.sensorNames = {"None", "Incremental encoder", "Linear \"Hall\" sensors"};
  family.connectors = {{"Feedback #1", {1, 2}}, {"Feedback #2", {1}}};
  family.ssiClocks = {{1000, 2000}, {1, 0}};
  family.bissClocks = {{2500}, {6}};
  family.ioPins = {{25, 0, true}, {36, 2, false}, {26, 1, true}};
  return family;
}

TEST(SetupDriveFamily, SensorTableReadsBackThroughConfigLines) {
  CMC_Setup setup;
  setup.SetDriveFamily(TwoConnectorFamily());
  const std::vector<std::string> lines = setup.GetDLSensorsArray();
  ASSERT_EQ(lines.size(), 2u);
  std::string_view line = lines[0];
  std::string name;
  std::string sensor;
  ASSERT_TRUE(ReadEscapedStringFromConfigLine(line, name));
  EXPECT_EQ(name, "Feedback #1");
  ASSERT_TRUE(ReadEscapedStringFromConfigLine(line, sensor));
  EXPECT_EQ(sensor, "1,Incremental encoder");
  ASSERT_TRUE(ReadEscapedStringFromConfigLine(line, sensor));
  EXPECT_EQ(sensor, "2,Linear \"Hall\" sensors");
  EXPECT_FALSE(ReadEscapedStringFromConfigLine(line, sensor));
  EXPECT_EQ(setup.GetDLMaxConnectorValue(), 1);
  EXPECT_EQ(setup.GetFeedbackName(1), "Feedback #2");
  EXPECT_EQ(setup.GetFeedbackName(2), "");
  EXPECT_EQ(setup.GetSensorName(9), "");
  EXPECT_EQ(setup.GetSensorName(-1), "");
}

TEST(SetupDriveFamily, PinsPortsClocksAndAdc) {
  CMC_Setup setup;
  DriveFamilyData family = TwoConnectorFamily();
  family.adcFullScale = 4294967295u;
  setup.SetDriveFamily(family);
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
}

TEST(SetupDriveFamily, SensorTypeQueriesTruncate) {
  CMC_Setup setup;
  setup.AddParameter(Spec("MotorSensorType", kChoice, "", false, 5));
  EXPECT_TRUE(setup.HasDLMotorSensor(5, false));
  EXPECT_FALSE(setup.HasDLMotorSensor(6, false));
  EXPECT_FALSE(setup.HasDLLoadSensor(0, false)) << "no LoadSensorType parameter";
}

TEST(SetupIdentity, RefusesAnInvalidFirmwareId) {
  CMC_Setup setup;
  EXPECT_TRUE(setup.SetFirmwareID("F514K"));
  EXPECT_FALSE(setup.SetFirmwareID(""));
  EXPECT_FALSE(setup.SetFirmwareID("F514 K"));
  EXPECT_FALSE(setup.SetFirmwareID("F5140000000000000K"));
  EXPECT_EQ(setup.GetFirmwareID(), "F514K");
  setup.SetE2ROMSize(16384);
  setup.SetDescription("QZ drive");
  EXPECT_EQ(setup.GetE2ROMSize(), 16384);
  EXPECT_EQ(setup.GetDescription(), "QZ drive");
}

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
  EXPECT_EQ(moved.GetParameterValueInBaseUnit("TestCurrent"), 4.0);
  original = moved;
  EXPECT_EQ(original.GetParameterValueInBaseUnit("TestCurrent"), 4.0);
}

// A factor that reads a drive-scaled parameter of its own unit would convert without end.
double SelfReferringFactor(CMC_Setup* setup, const char*, const char*) {
  return 1.0 + setup->GetParameterValueInBaseUnit("Loop");
}

TEST(SetupScale, AScaleThatReadsItselfStopsAtAFixedDepth) {
  CMC_Setup setup;
  setup.AddParameter(Spec("Loop", kReal, "A", true, 1.0));
  setup.SetScaleFunctions({&SelfReferringFactor, nullptr});
  const double value = setup.GetParameterValueInBaseUnit("Loop");
  EXPECT_TRUE(std::isfinite(value));
  EXPECT_GT(value, 1.0);
}

TEST(SetupScale, WithoutScaleFunctionsFactorIsOneAndOffsetZero) {
  CMC_Setup setup;
  CMC_Parameter& temperature = setup.AddParameter(Spec("T", kReal, "°C", true, 42.0));
  EXPECT_EQ(temperature.ScaleFactor(), 1.0);
  EXPECT_EQ(temperature.ScaleOffset(), 0.0);
  EXPECT_EQ(temperature.GetValueInBaseUnit(), 42.0);
}

}  // namespace
}  // namespace drivebase
