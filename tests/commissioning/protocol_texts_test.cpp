// What every test takes from the protocol without a drive: program names from the sensors and
// the transmission, the drive error texts through a mask, the save question's text, and a help page
// for every test.
#include <gtest/gtest.h>

#include "commissioning/drive_errors.h"
#include "commissioning/program_names.h"
#include "commissioning/save_question.h"
#include "commissioning/test_catalogue.h"
#include "drivebase/gui_resources.h"
#include "kestrel/default_setup.h"

namespace kestrel {
namespace {

struct NameCase {
  int motorSensor, loadSensor, transmission;
  const char* base;
  const char* expected;
};

class ProgramNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProgramNames, FollowSensorTransmissionAndTheProgramsThatExist) {
  const NameCase& c = GetParam();
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetParameterValueInBaseUnit("MotorSensorType", c.motorSensor);
  setup.SetParameterValueInBaseUnit("LoadSensorType", c.loadSensor);
  setup.SetParameterValueInBaseUnit("TransmissionType", c.transmission);
  EXPECT_EQ(TestProgramName(&setup, c.base), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgramNames,
    ::testing::Values(
        NameCase{9, 0, 1, "Current_Controller_Tuning_Test", "IE_Current_Controller_Tuning_Test"},  // motor side rotary
        NameCase{4, 0, 2, "Initial_Positioning_Test", "IE_Initial_Positioning_Test_LIN"},
        NameCase{3, 0, 3, "Current_Controller_Tuning_Test", "SC_Current_Controller_Tuning_Test_LIN"},
        NameCase{3, 0, 3, "Initial_Positioning_Test", "SC_Initial_Positioning_Test"},  // no SC _LIN variant
        NameCase{6, 0, 0, "Initial_Positioning_Test", "SSI_Initial_Positioning_Test"},
        NameCase{3, 0, 0, "Motor_Phase_Connection_Test", ""},  // the drive has no SC program
        NameCase{8, 1, 0, "Initial_Positioning_Test", ""},
        NameCase{0, 2, 0, "Initial_Positioning_Test", "LH_Initial_Positioning_Test"},
        NameCase{0, 5, 0, "Initial_Positioning_Test", ""}));  // an absolute encoder on the load only

struct ErrorCase {
  std::int32_t mer;
  std::uint16_t mask;
  const char* expected;  // null: no error
};

class DriveErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(DriveErrors, FirstMaskedBitInTableOrderDecides) {
  const auto text = DriveErrorText(GetParam().mer, GetParam().mask);
  if (GetParam().expected == nullptr) {
    EXPECT_FALSE(text.has_value()) << *text;
  } else {
    EXPECT_EQ(text.value_or("(none)"), GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriveErrors,
    ::testing::Values(ErrorCase{0x8002, 0x8002, "Drive / Motor shortcircuit protection triggered."},
                      ErrorCase{0x00A0, 0xFFDF, "Drive / Motor stopped due to negative limit switch input triggered."},
                      ErrorCase{0x0100, 0x8002, nullptr},  // over-current outside the mask
                      ErrorCase{0x0104, 0xFFFF, "Drive error (MER = 0x0104)."},
                      ErrorCase{-1, 0x1000, "Drive error (MER = 0x1000)."}));  // read as -1: every bit

TEST(SaveQuestion, ListsOnlyChangedValuesAsText) {
  const ComparedValue values[]{{"Kp", 5.118564409314249, 2.5}, {"Ki", 1.5, 1.5},
                               {"100% lines", 1000, 2000.7, true}, {"Phase resistance", 0.9, 1e-5},
                               // Printed with a format of their own, compared as printed.
                               {"Power supply", 47.9994, 47.99941, false, "%G"}, {"Bus", 48, 1e-5, false, "%G"}};
  EXPECT_EQ(SaveQuestionText(values),
            "A different value than specified has been detected for the following parameter(s):\r\n\r\n"
            "Kp:\tOld = 5.11856\tNew = 2.5\r\n"
            "100% lines:\tOld = 1000\tNew = 2000\r\n"
            "Phase resistance:\tOld = 0.9\tNew = 1e-05\r\n"
            "Bus:\tOld = 48\tNew = 1E-05\r\n"
            "\r\nDo you want to save the new value(s)? (Recommended)");
  EXPECT_EQ(SaveQuestionText(std::span(values).subspan(1, 1)), "");
  EXPECT_EQ(SaveQuestionText(std::span(values).subspan(4, 1)), "");
}

// Every test's Help button finds its page in the help index.
TEST(HelpPages, EveryTestHasOne) {
  RegisterTestTemplates();
  CMC_Setup setup = LoadDefaultSetup();
  const std::filesystem::path index = std::filesystem::path(KESTREL_SOURCE_DIR) / "docs/help/README.md";
  for (const CommissioningTest& test : CommissioningTests()) {
    const std::unique_ptr<CMyTestDlg> dialog = MakeCommissioningTest(&setup, test.name, nullptr);
    EXPECT_NO_THROW(drivebase::FindHelpPage(index, dialog->GetHelpContext())) << test.name;
  }
}

}  // namespace
}  // namespace kestrel
