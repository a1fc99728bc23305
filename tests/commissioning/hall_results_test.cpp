// What the Hall tests make of the drive's answers, on a drive that answers as told: the Hall
// configuration codes accepted and the question on closing; the linear Hall calibration copied
// whole or not at all, with the texts of its failures; the analogue signals judged on Stop.
#include "commissioning/test_catalogue.h"
#include "commissioning/test_hall_configuration.h"
#include "commissioning/test_linear_hall.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using drivebase::test_support::Connected;

// The setup's Hall configuration is 7 with no shift; the drive reports `code` with shift 1820.
struct ConfigurationCase {
  const char* name;
  double code;
  int answer;  // to the question on closing; 0: none asked
  int endCode;
  const char* error;
  double hallCase, hall30;  // in the setup after closing
};

class ConfigurationOutcome : public Bench, public ::testing::WithParamInterface<ConfigurationCase> {};

TEST_P(ConfigurationOutcome, AcceptsTwoToThirteenAndAsksToKeepBoth) {
  const ConfigurationCase& c = GetParam();
  ScriptedDrive drive;
  drive.outputs.insert({{"H123", 5}, {"delta_el_pos", c.code == 7 ? 0 : 1820}});
  drive.values.insert({{"POSINC", {8001, 2}}, {"THTST", {-16383, 1}}, {"HALLCASE", {c.code, 1}}});
  Connected connected(drive);
  std::string error, shown;
  user_.Click(drivebase::kStartStopButton).WaitUntil(RunEnded()).Do("note", [&](ui::DialogDriver& dialog) {
    error = TopTest().ErrorText();
    shown = dialog.Text(CTestHallConfiguration::kCodeEdit) + " " + dialog.Text(HallTestDisplays::kPositionEdit);
  });
  user_.Close(IDCANCEL);
  if (c.answer != 0) user_.Answer(c.answer);
  EXPECT_EQ(RunTestAlone(&setup_, "hall-config"), c.endCode);
  EXPECT_EQ(error, c.error);
  // 8001 counts of a 2000-line encoder: one count into the next revolution.
  EXPECT_EQ(shown, FormatG(c.code) + " 1");
  EXPECT_EQ(Value("HALLCASE"), c.hallCase);
  EXPECT_EQ(Value("HALL30"), c.hall30);
  if (c.answer != 0) {
    EXPECT_EQ(LastBox(),
              "A different value than specified has been detected for the following parameter(s):\r\n\r\n"
              "Hall configuration:\tOld = 7\tNew = " + FormatG(c.code) + "\r\nHall sensors shift:\tOld = 0\tNew = "
              "1820\r\n\r\nDo you want to save the new value(s)? (Recommended)");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ConfigurationOutcome,
    ::testing::Values(
        ConfigurationCase{"code_1_rejected", 1, 0, IDCANCEL, CTestHallConfiguration::kNoValidCombinationText, 7, 0},
        ConfigurationCase{"code_14_rejected", 14, 0, IDCANCEL, CTestHallConfiguration::kNoValidCombinationText, 7, 0},
        ConfigurationCase{"code_2_kept", 2, IDYES, IDOK, "", 2, 1820},
        ConfigurationCase{"code_13_not_kept", 13, IDNO, IDCANCEL, "", 7, 0},
        ConfigurationCase{"as_stored_no_question", 7, 0, IDCANCEL, "", 7, 0}),
    [](const auto& param) { return std::string(param.param.name); });

// The calibration status and the eight results the drive reports: ALPHA … ZAOFF.
struct CalibrationCase {
  const char* name;
  double status;
  const char* unreadable;  // a result the drive does not answer; null: none
  const char* error;
  bool copied;
};

class CalibrationCopy : public Bench, public ::testing::WithParamInterface<CalibrationCase> {};

TEST_P(CalibrationCopy, CopiesAllEightOrNone) {
  const CalibrationCase& c = GetParam();
  ScriptedDrive drive;
  drive.values.insert({{"AD6", {32736, 1}}, {"AD3", {19642, 1}}, {"AD8", {45830, 1}}, {"AD9", {45830, 1}},
                       {"HALLCASE", {c.status, 1}}});
  double result = 21845;
  for (const auto& copy : CDetectHallGainOffset::kCalibration) drive.values[copy.variable] = {result++, 1};
  if (c.unreadable != nullptr) drive.values.erase(c.unreadable);
  Connected connected(drive);
  std::string error;
  user_.Click(drivebase::kStartStopButton).WaitUntil(RunEnded()).Do("note", [&](ui::DialogDriver&) {
    error = TopTest().ErrorText();
  });
  user_.Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "linear-hall-gains"), IDOK);  // closing always keeps the setup
  EXPECT_EQ(error, c.error);
  result = 21845;
  for (const auto& copy : CDetectHallGainOffset::kCalibration) {
    if (c.copied) {
      EXPECT_EQ(Value(copy.parameter), result) << copy.parameter;
    } else {
      EXPECT_NE(Value(copy.parameter), result) << copy.parameter;
    }
    ++result;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, CalibrationCopy,
    ::testing::Values(CalibrationCase{"done", 1, nullptr, "", true},
                      CalibrationCase{"signal_missing", -1, nullptr, CDetectHallGainOffset::kSignalMissingText, false},
                      CalibrationCase{"wrong_sequence", -2, nullptr, CDetectHallGainOffset::kWrongSequenceText, false},
                      CalibrationCase{"last_result_unanswered", 1, "ZAOFF", "drive has no 'ZAOFF'", false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(HallVoltage, ChangesOnlyByMoreThanOneVolt) {
  EXPECT_FALSE(HallVoltageChanged(3.5, 2.5));
  EXPECT_FALSE(HallVoltageChanged(1.5, 2.5));
  EXPECT_TRUE(HallVoltageChanged(3.5000001, 2.5));
  EXPECT_TRUE(HallVoltageChanged(1.4999999, 2.5));
}

// Signals that stand still all run: each is "HALL BAD" after Stop; the voltages are shown from
// the ADC's full scale (65472 counts for 5 V).
TEST_F(Bench, LinearHallSignalsThatStandStillAreBad) {
  ScriptedDrive drive;
  drive.values.insert({{"AD6", {32736, 1}}, {"AD3", {19642, 1}}, {"AD8", {45830, 1}}, {"AD9", {45830, 1}}});
  Connected connected(drive);
  std::string error, shown;
  user_.Click(drivebase::kStartStopButton)
      .Wait(ui::Milliseconds(500))
      .Do("note the voltages",
          [&](ui::DialogDriver& dialog) {
            for (const int edit : CLinearHallTest::kVoltageEdits) shown += dialog.Text(edit) + " ";
          })
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the outcome", [&](ui::DialogDriver& dialog) {
        error = TopTest().ErrorText();
        for (const int edit : CLinearHallTest::kVoltageEdits) shown += dialog.Text(edit) + " ";
      });
  user_.Close(IDCANCEL);
  RunTestAlone(&setup_, "linear-hall-signals");
  EXPECT_EQ(error, CTestLHHallSignals::kUnchangedText);
  EXPECT_EQ(shown, "2.5 1.5 3.5 HALL BAD HALL BAD HALL BAD ");
}

}  // namespace
}  // namespace kestrel::commissioning_test
