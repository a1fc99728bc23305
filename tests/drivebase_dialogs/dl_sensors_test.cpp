// The sensor choice kept consistent with the connector table, the combos that show it, and the
// brake outputs.
#include "drivebase/dl_sensors.h"
#include "drivebase/setup_file.h"
#include "probe_fixture.h"

namespace editbase_test {
namespace {

using drivebase::DlSensorSelection;
using ::testing::ElementsAre;

// The drive family of the default setup: input 1 takes encoders, linear Halls, sin/cos,
// resolvers and serial encoders; input 2 encoders and serial encoders.
const std::vector<drivebase::FeedbackConnector> kConnectors = {{"Feedback #1", {1, 2, 3, 4, 5, 6, 9}},
                                                                {"Feedback #2", {1, 5, 6, 9}}};

struct CorrectionCase {
  const char* name;
  DlSensorSelection given;  // motor type, motor connector, load type, load connector
  const char* changed;
  DlSensorSelection kept;
};

class CorrectionTest : public ::testing::TestWithParam<CorrectionCase> {};

TEST_P(CorrectionTest, KeepsEachSensorOnAConnectorThatTakesIt) {
  DlSensorSelection selection = GetParam().given;
  const bool changed = drivebase::CorrectDlSensors(kConnectors, 9, GetParam().changed, selection);
  EXPECT_EQ(selection, GetParam().kept);
  EXPECT_EQ(changed, !(GetParam().given == GetParam().kept));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CorrectionTest,
    ::testing::Values(
        CorrectionCase{"SoundChoiceStays", {1, 0, 5, 1}, "", {1, 0, 5, 1}},
        CorrectionCase{"TypeMovesToAConnectorThatTakesIt", {3, 1, 0, 0}, "MotorSensorType", {3, 0, 0, 0}},
        CorrectionCase{"ChosenConnectorChangesTheType", {3, 1, 0, 0}, "MotorSensorConnector", {1, 1, 0, 0}},
        CorrectionCase{"TypeNoConnectorTakesIsNone", {8, 0, 0, 0}, "MotorSensorType", {0, 0, 0, 0}},
        CorrectionCase{"TypeAboveTheFamilysIsNone", {12, 0, 0, 0}, "", {0, 0, 0, 0}},
        CorrectionCase{"ConnectorOutOfRange", {0, 0, 5, 7}, "", {0, 0, 5, 0}},
        CorrectionCase{"NegativeConnectorWithoutSensor", {0, -1, 0, 0}, "", {0, 0, 0, 0}},
        CorrectionCase{"SharedConnectorMovesTheLoad", {1, 0, 1, 0}, "", {1, 0, 1, 1}},
        CorrectionCase{"SharedConnectorMovesTheSideNotChanged", {1, 0, 1, 0}, "LoadSensorConnector", {1, 1, 1, 0}},
        CorrectionCase{"NamesInAnyCase", {1, 0, 1, 0}, "loadsensortype", {1, 1, 1, 0}},
        CorrectionCase{"SideThatCannotMoveStaysAndTheOtherMoves", {2, 0, 1, 0}, "LoadSensorType", {2, 0, 1, 1}},
        CorrectionCase{"NeitherCanMoveTheSideNotChangedIsNone", {2, 0, 3, 0}, "LoadSensorType", {0, 0, 3, 0}}),
    ByName());

TEST(CorrectionTest, WithoutConnectorsNoSensorCanBeChosen) {
  DlSensorSelection selection{1, 0, 5, 1};
  EXPECT_TRUE(drivebase::CorrectDlSensors({}, 9, "", selection));
  EXPECT_EQ(selection, (DlSensorSelection{0, 0, 0, 0}));
}

CMC_Setup SetupWithFamily() {
  CMC_Setup setup = ProbeSetup();
  drivebase::DriveFamilyData family;
  family.sensorNames = {"None", "Incremental encoder", "Linear Hall sensors", "Sine/cosine encoder", "Resolver",
                        "SSI encoder", "BiSS encoder", "", "", "Incremental encoder (alternative code)"};
  family.connectors = kConnectors;
  family.ioPins = {{25, 0, true, true, false}, {26, 1, true, false, true}, {36, 2, false, true, false}};
  setup.SetDriveFamily(family);
  return setup;
}

std::vector<std::pair<std::string, std::uintptr_t>> Entries(const ui::Window& combo) {
  std::vector<std::pair<std::string, std::uintptr_t>> entries;
  for (const ui::ListItem& item : combo.items) entries.emplace_back(item.text, item.data);
  return entries;
}

using Entry = std::pair<std::string, std::uintptr_t>;

TEST(SensorCombosTest, ListEverySelectableSensorAndConnectorAndShowTheCorrectedChoice) {
  ui::HeadlessSession session;
  ui::TestAgent user;
  CMC_Setup setup = SetupWithFamily();
  ProbeDlg dialog(&setup);
  DlSensorSelection selection{3, 1, 1, 0};
  user.Do("the combos are filled",
          [&](ui::DialogDriver& top) {
            auto combo = [&](int id) { return static_cast<CComboBox*>(dialog.GetDlgItem(id)); };
            setup.FillDlSensorsCombos(combo(kMotorTypeCombo), combo(kMotorConnectorCombo), combo(kLoadTypeCombo),
                                      combo(kLoadConnectorCombo), selection, "MotorSensorType");
            EXPECT_THAT(Entries(top.Control(kMotorTypeCombo)),
                        ElementsAre(Entry{"None", 0}, Entry{"Incremental encoder", 1}, Entry{"Linear Hall sensors", 2},
                                    Entry{"Sine/cosine encoder", 3}, Entry{"Resolver", 4}, Entry{"SSI encoder", 5},
                                    Entry{"BiSS encoder", 6}, Entry{"Incremental encoder (alternative code)", 9}));
            EXPECT_THAT(Entries(top.Control(kLoadConnectorCombo)),
                        ElementsAre(Entry{"Feedback #1", 0}, Entry{"Feedback #2", 1}));
            EXPECT_EQ(top.Text(kMotorTypeCombo), "Sine/cosine encoder");
            EXPECT_EQ(top.Text(kMotorConnectorCombo), "Feedback #1");
            EXPECT_EQ(top.Text(kLoadTypeCombo), "Incremental encoder");
            EXPECT_EQ(top.Text(kLoadConnectorCombo), "Feedback #2");
          })
      .Close(IDCANCEL);
  ui::RunWithAgent(dialog, user);
  EXPECT_EQ(selection, (DlSensorSelection{3, 0, 1, 1})) << "the sin/cos encoder moved to input 1, the load to input 2";
}

TEST(BrakeTest, PortsReportTheirOutputStageAndInversion) {
  const CMC_Setup setup = SetupWithFamily();
  EXPECT_EQ(setup.IsBrakePortEnable(0), 0x11) << "a source output";
  EXPECT_EQ(setup.IsBrakePortEnable(1), 0x21) << "a sink output";
  EXPECT_EQ(setup.IsBrakePortEnable(2), 0) << "cannot drive a brake";
  EXPECT_EQ(setup.IsBrakePortEnable(9), 0) << "no such port";
  EXPECT_FALSE(setup.IsBrakePortInverted(0));
  EXPECT_TRUE(setup.IsBrakePortInverted(1));
  EXPECT_EQ(setup.GetNumberOfBrakeOutputs(), 2);
}

TEST(BrakeTest, TheBrakeComboListsTheBrakeOutputs) {
  ui::HeadlessSession session;
  ui::TestAgent user;
  CMC_Setup setup = SetupWithFamily();
  ProbeDlg dialog(&setup);
  user.Do("filled with output 1",
          [&](ui::DialogDriver& top) {
            auto* combo = static_cast<CComboBox*>(dialog.GetDlgItem(kBrakeCombo));
            setup.FillIOBrakeCombo(combo, 1);
            EXPECT_THAT(Entries(top.Control(kBrakeCombo)), ElementsAre(Entry{"OUT0 (pin 25)", 0}, Entry{"OUT1 (pin 26)", 1}));
            EXPECT_EQ(top.Text(kBrakeCombo), "OUT1 (pin 26)");
            setup.FillIOBrakeCombo(combo, 2);
            EXPECT_EQ(top.Control(kBrakeCombo).selection, -1) << "output 2 cannot drive a brake";
          })
      .Close(IDCANCEL);
  ui::RunWithAgent(dialog, user);
}

TEST(BrakeTest, SetupFilesKeepTheOutputStageAndInversion) {
  const CMC_Setup setup = SetupWithFamily();
  const CMC_Setup read = drivebase::ParseSetup(drivebase::SerializeSetup(setup), "round trip");
  EXPECT_EQ(read.IsBrakePortEnable(1), 0x21);
  EXPECT_TRUE(read.IsBrakePortInverted(1));
  std::string text = drivebase::SerializeSetup(setup);
  text.replace(text.find("\"stage\": \"sink\""), 15, "\"stage\": \"push\"");
  EXPECT_THAT(drivebase::CheckSetupText(text),
              ElementsAre(::testing::HasSubstr("\"stage\" must be \"source\" or \"sink\", not \"push\"")));
}

}  // namespace
}  // namespace editbase_test
