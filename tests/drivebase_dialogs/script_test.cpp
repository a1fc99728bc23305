// Dialog scripts over the probe dialog (tests/drivebase_dialogs/scripts): what a user does, step
// by step, and what the setup holds afterwards.
#include "drivebase/gui_resources.h"
#include "drivebase/motor_database.h"
#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"
#include "probe_fixture.h"
#include "ui/script.h"

namespace editbase_test {
namespace {

using ::testing::Contains;

struct ScriptCase {
  const char* name;
  const char* script;
  std::function<CMC_Setup()> makeSetup;
  int endCode;
  std::function<void(const CMC_Setup& setup, const ProbeDlg& dialog, const std::vector<std::string>& boxes)> check;
};

class ScriptTest : public ProbeTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptTest, RunsToItsEnd) {
  const UserDataFolder userData;
  drivebase::ClearHelpRequests();
  CMC_Setup scripted = GetParam().makeSetup();
  ProbeDlg probe(&scripted);
  probe.InitializeMotorEditor();
  ui::ScriptAgent script(ui::Script::Load(TestData() / "scripts" / GetParam().script));
  EXPECT_EQ(ui::RunWithAgent(probe, script), GetParam().endCode);
  GetParam().check(scripted, probe, BoxTexts());
}

double Value(const CMC_Setup& setup, const char* name) { return setup.GetParameterValueInBaseUnit(name); }

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptTest,
    ::testing::Values(
        ScriptCase{"UnitsAndText", "units_and_text.script", ProbeSetup, IDOK,
                   [](const CMC_Setup& setup, const ProbeDlg&, const std::vector<std::string>&) {
                     EXPECT_DOUBLE_EQ(Value(setup, "IlimPS"), 0.75);
                     EXPECT_DOUBLE_EQ(Value(setup, "time_AB"), 0.02);
                     EXPECT_EQ(setup.FindParameter("time_AB")->GetUnitName(), "ms");
                     EXPECT_EQ(Value(setup, "pp"), 128.0);
                   }},
        ScriptCase{"CancelRestores", "cancel_restores.script", ProbeSetup, IDCANCEL,
                   [](const CMC_Setup& setup, const ProbeDlg& dialog, const std::vector<std::string>&) {
                     EXPECT_EQ(drivebase::SerializeSetup(setup), drivebase::SerializeSetup(ProbeSetup()));
                     EXPECT_EQ(dialog.log.size(), 7u) << "three values changed and refreshed, one unit";
                   }},
        ScriptCase{"Guideline", "guideline.script", ProbeSetup, IDOK,
                   [](const CMC_Setup&, const ProbeDlg& dialog, const std::vector<std::string>&) { EXPECT_EQ(dialog.GetGuidelineIndex(), 1); }},
        ScriptCase{"Can", "can.script", [] { return CanSetup(true, true); }, IDOK,
                   [](const CMC_Setup& setup, const ProbeDlg&, const std::vector<std::string>&) {
                     EXPECT_EQ(Value(setup, "CAN_baudrate"), 1000000.0);
                     EXPECT_DOUBLE_EQ(Value(setup, "CANopen_heartbeat_time"), 0.25);
                     EXPECT_EQ(setup.FindParameter("CANopen_heartbeat_time")->GetUnitName(), "ms");
                     EXPECT_EQ(Value(setup, "CANopen_life_time_factor"), 5.0);
                     ASSERT_EQ(drivebase::HelpRequests().size(), 1u);
                     EXPECT_EQ(drivebase::HelpRequests()[0].context, 262656u);
                     EXPECT_EQ(drivebase::HelpRequests()[0].page.filename(), "canopen-settings.md");
                   }},
        ScriptCase{"MotorDatabase", "motor_database.script", kestrel::LoadDefaultSetup, IDOK,
                   [](const CMC_Setup& setup, const ProbeDlg&, const std::vector<std::string>& boxes) {
                     EXPECT_DOUBLE_EQ(Value(setup, "In"), 1.6);
                     EXPECT_EQ(Value(setup, "No_encoder_lines"), 1000.0);
                     EXPECT_TRUE(drivebase::MotorDatabase::Load(drivebase::UserMotorDatabasePath(), false).Motors().empty());
                     EXPECT_THAT(boxes, Contains("The user database has a motor named \"Bench motor\" already. Replace it?"));
                     EXPECT_THAT(boxes, Contains("Delete the motor \"Bench motor\" from the user database?"));
                   }}),
    ByName());

}  // namespace
}  // namespace editbase_test
