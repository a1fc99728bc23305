// The motor database: its files, and the database controls of a setup dialog.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "drivebase/motor_database.h"
#include "kestrel/default_setup.h"
#include "probe_fixture.h"

namespace editbase_test {
namespace {

using drivebase::MotorDatabase;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct FaultCase {
  const char* name;
  std::string text;
  const char* message;
};

std::string Motors(const std::string& list) {
  return "{\"format\": \"kestrel-motors\", \"version\": 1, \"motors\": [" + list + "]}";
}

std::string Rotary(const std::string& name, const std::string& values) {
  return "{\"name\": \"" + name + "\", \"motion\": \"rotary\", \"values\": {" + values + "}}";
}

class DatabaseFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(DatabaseFaultTest, NamesTheFileTheEntryAndTheFault) {
  try {
    MotorDatabase::Parse(GetParam().text, "motors.json");
    FAIL() << "no error";
  } catch (const drivebase::MotorDatabaseError& error) {
    EXPECT_THAT(error.what(), HasSubstr(GetParam().message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DatabaseFaultTest,
    ::testing::Values(
        FaultCase{"NotJson", "{", "motors.json: not JSON"},
        FaultCase{"OtherFormat", "{\"format\": \"kestrel-setup\"}", "motors.json: not a motor database"},
        FaultCase{"Version", "{\"format\": \"kestrel-motors\", \"version\": 2, \"motors\": []}", "unknown \"version\""},
        FaultCase{"UnknownKey", Motors("{\"name\": \"A\", \"motion\": \"rotary\", \"values\": {}, \"colour\": 1}"),
                  "motors.json: motor 1: unknown key \"colour\""},
        FaultCase{"NoName", Motors("{\"name\": \"\", \"motion\": \"rotary\", \"values\": {}}"),
                  "motor 1: \"name\" must be a text that is not empty"},
        FaultCase{"Motion", Motors("{\"name\": \"A\", \"motion\": \"round\", \"values\": {}}"),
                  "motor 1 \"A\": \"motion\" must be \"rotary\" or \"linear\""},
        FaultCase{"UnknownValue", Motors(Rotary("A", "\"In\": 1") + "," + Rotary("B", "\"Colour\": 1")),
                  "motors.json: motor 2 \"B\": \"Colour\" is not a motor value"},
        FaultCase{"LinearValueOfARotaryMotor", Motors(Rotary("A", "\"Kf\": 30")),
                  "motor 1 \"A\": \"Kf\" is not a value of a rotary motor"},
        FaultCase{"NotANumber", Motors(Rotary("A", "\"In\": \"4\"")), "motor 1 \"A\": \"In\" must be a finite number"},
        FaultCase{"TwoOfOneName", Motors(Rotary("A", "") + "," + Rotary("A", "")),
                  "motor 2: the name \"A\" appears twice"}),
    ByName());

TEST(MotorDatabaseFileTest, WritesAndReadsBackEveryValueExactly) {
  MotorDatabase database;
  database.Put({"Odd values", drivebase::MotorMotion::Linear, {{"In", 0.1 + 0.2}, {"PolePitch", 1.0 / 3.0}}});
  const MotorDatabase read = MotorDatabase::Parse(database.ToText(), "round trip");
  ASSERT_EQ(read.Motors().size(), 1u);
  EXPECT_EQ(read.Motors()[0].motion, drivebase::MotorMotion::Linear);
  EXPECT_EQ(read.Motors()[0].values, database.Motors()[0].values);
}

TEST(MotorDatabaseFileTest, EveryShippedMotorFitsTheDefaultSetup) {
  const MotorDatabase shipped = MotorDatabase::Load(drivebase::ShippedMotorDatabasePath(), false);
  EXPECT_GE(shipped.Motors().size(), 6u);
  for (const drivebase::MotorEntry& motor : shipped.Motors()) {
    CMC_Setup setup = kestrel::LoadDefaultSetup();
    drivebase::ApplyMotorToSetup(motor, setup);
    for (const auto& [name, value] : motor.values) {
      ASSERT_NE(setup.FindParameter(name), nullptr) << motor.name << ": " << name;
      EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit(name), value)
          << motor.name << ": " << name << " is outside the setup's limits";
    }
  }
}

// The probe dialog as a motor editor on the default setup, with the user database in a folder
// of its own.
class MotorEditorTest : public ProbeTest {
 protected:
  int RunEditor() {
    editor.InitializeMotorEditor();
    return ui::RunWithAgent(editor, user);
  }
  void WriteUserDatabase(const std::string& text) const {
    std::filesystem::create_directories(userFile.parent_path());
    std::ofstream(userFile) << text;
  }
  std::string UserDatabaseText() const {
    std::ifstream in(userFile);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static std::vector<std::string> Names(const ui::Window& combo) {
    std::vector<std::string> names;
    for (const ui::ListItem& item : combo.items) names.push_back(item.text);
    return names;
  }

  const UserDataFolder userData;
  const std::filesystem::path userFile = userData.path / "kestrel" / "motors.json";
  CMC_Setup motorSetup = kestrel::LoadDefaultSetup();
  ProbeDlg editor{&motorSetup};
};

constexpr const char* kSmallMotor = "KM-040-20 100 W, 1000 lines, Halls";

TEST_F(MotorEditorTest, ListsTheMotorsOfTheMotorsMotion) {
  user.Do("rotary motors",
          [](ui::DialogDriver& top) {
            EXPECT_THAT(Names(top.Control(10010)), ElementsAre("Kestrel", "USER"));
            EXPECT_EQ(top.Text(10010), "Kestrel");
            EXPECT_EQ(Names(top.Control(10011)).size(), 4u);
            EXPECT_EQ(top.Control(10011).selection, -1);
            EXPECT_FALSE(top.IsEnabled(10013));
          })
      .Do("a linear motor side", [this](ui::DialogDriver&) {
            motorSetup.SetParameterValueInBaseUnit("TransmissionType", 2);
            editor.FillMotorNameCombo();
          })
      .Do("linear motors", [](ui::DialogDriver& top) {
            EXPECT_THAT(Names(top.Control(10011)), ElementsAre("KL-3C ironless linear, 1 um encoder, Halls",
                                                               "KL-6C iron-core linear, 20 um sin/cos"));
          })
      .Select(10010, "USER")
      .Do("an empty user database", [](ui::DialogDriver& top) { EXPECT_TRUE(top.Control(10011).items.empty()); })
      .Close(IDCANCEL);
  RunEditor();
}

TEST_F(MotorEditorTest, ChoosingAMotorFillsItsDataAndCallsBackForEachChange) {
  user.Select(10011, kSmallMotor).Close(IDOK);
  EXPECT_EQ(RunEditor(), IDOK);
  EXPECT_DOUBLE_EQ(motorSetup.GetParameterValueInBaseUnit("In"), 1.6);
  EXPECT_DOUBLE_EQ(motorSetup.GetParameterValueInBaseUnit("K"), 0.064);
  EXPECT_DOUBLE_EQ(motorSetup.GetParameterValueInBaseUnit("Jm"), 4.5e-06);
  EXPECT_EQ(motorSetup.GetParameterValueInBaseUnit("No_encoder_lines"), 1000.0);
  std::vector<std::string> changed;
  for (const std::string& entry : editor.log) {
    if (entry.starts_with("changed ")) changed.push_back(entry.substr(8));
  }
  // pp 4, star connection, encoder with Halls and HALLCASE 7 are the default setup's already.
  EXPECT_THAT(changed, ElementsAre("In", "ImaxM", "K", "R", "L", "Jm", "isMotorTemperatureSensor", "No_encoder_lines"));
}

TEST_F(MotorEditorTest, AFaultyUserDatabaseIsReportedAndNeverOverwritten) {
  WriteUserDatabase(Motors(Rotary("Good", "\"In\": 2") + "," + Rotary("Bad", "\"Kf\": 3")));
  const std::string before = UserDatabaseText();
  user.Select(10010, "USER").Click(10012).Close(IDCANCEL);
  RunEditor();
  EXPECT_EQ(UserDatabaseText(), before);
  ASSERT_EQ(BoxTexts().size(), 2u);
  EXPECT_THAT(BoxTexts()[0], HasSubstr(userFile.string() + ": motor 2 \"Bad\": \"Kf\" is not a value of a rotary motor"));
  EXPECT_THAT(BoxTexts()[1], HasSubstr("cannot be read, so the motor is not saved"));
}

TEST_F(MotorEditorTest, AFailedSaveSaysWhyAndKeepsTheDatabase) {
  std::filesystem::remove_all(userData.path);
  std::ofstream(userData.path) << "a file where the data folder should be";
  user.Click(10012).Type(10121, "Bench motor").Close(IDOK).ExpectText(10010, "Kestrel").Close(IDCANCEL);
  RunEditor();
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_THAT(BoxTexts()[0], HasSubstr("motors.json: cannot be written"));
  EXPECT_TRUE(editor.UserMotors().Motors().empty());
}

}  // namespace
}  // namespace editbase_test
