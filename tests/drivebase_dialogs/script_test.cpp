// Dialog scripts over the probe dialog (tests/drivebase_dialogs/scripts): what a user does, step
// by step, and what the setup holds afterwards. The probe shows its callbacks in the static 2050;
// a case may give it a reaction to run on each change.
#include <utility>

#include "drivebase/gui_resources.h"
#include "drivebase/motor_database.h"
#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"
#include "probe_fixture.h"
#include "ui/script.h"
#include "ui/window_messages.h"

namespace editbase_test {
namespace {

using ::testing::Contains;

using Values = std::vector<std::pair<const char*, double>>;

struct ScriptCase {
  const char* name;
  const char* script;
  std::function<CMC_Setup()> makeSetup;
  int endCode;
  Values kept;  // base units, after the run
  std::function<void(ProbeDlg& dialog, const std::string& name)> reaction = nullptr;
  std::function<void(const CMC_Setup& setup, const std::vector<std::string>& boxes)> check = nullptr;
};

void PrintTo(const ScriptCase& c, std::ostream* out) { *out << c.script; }

class ScriptTest : public ProbeTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptTest, RunsToItsEnd) {
  const UserDataFolder userData;
  drivebase::ClearHelpRequests();
  CMC_Setup scripted = GetParam().makeSetup();
  ProbeDlg probe(&scripted);
  probe.reaction = GetParam().reaction;
  probe.InitializeMotorEditor();
  ui::ScriptAgent script(ui::Script::Load(TestData() / "scripts" / GetParam().script));
  EXPECT_EQ(ui::RunWithAgent(probe, script), GetParam().endCode);
  for (const auto& [name, value] : GetParam().kept) {
    EXPECT_DOUBLE_EQ(scripted.GetParameterValueInBaseUnit(name), value) << name;
  }
  if (GetParam().check) GetParam().check(scripted, BoxTexts());
}

// The reaction to IlimPS: finds the value stored, sets time_AB, and works other controls as a
// user would, which must neither recurse nor take their values while the change is handled.
void TouchOtherControls(ProbeDlg& probe, const std::string& name) {
  if (name != "IlimPS") return;
  EXPECT_DOUBLE_EQ(probe.GetSetup()->GetParameterValueInBaseUnit("IlimPS"), 4.5) << "stored before the callback";
  probe.GetSetup()->SetParameterValueInBaseUnit("time_AB", 2.0);
  probe.SetChildText(kPolePairsEdit, "9");
  EXPECT_TRUE(probe.UpdateData(true));
  static_cast<CComboBox*>(probe.GetDlgItem(kHallCaseCombo))->SetCurSel(0);
  probe.SendMessage(WM_COMMAND, MAKEWPARAM(kHallCaseCombo, CBN_SELCHANGE), 0);
  probe.SendMessage(WM_COMMAND, MAKEWPARAM(kTorqueRadio, BN_CLICKED), 0);
}

CMC_Setup BaudRateOnly() {
  CMC_Setup setup = CanSetup(true, false);
  setup.SetParameterValueInBaseUnit("CAN_baudrate", 300000);
  return setup;
}

CMC_Setup WithoutEntries() {
  CMC_Setup setup = ProbeSetup();
  setup.FindParameter("HALLCASE")->SetMinInBaseUnit(0);
  setup.SetParameterValueInBaseUnit("HALLCASE", 0);
  setup.FindParameter("ControlMode")->SetMaxInBaseUnit(5);
  setup.SetParameterValueInBaseUnit("ControlMode", 4);
  return setup;
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptTest,
    ::testing::Values(
        ScriptCase{"ShowsTheSetup", "shows_the_setup.script", ProbeSetup, IDOK,
                   {{"IlimPS", 10}, {"DBTPC", 75.5}, {"No_encoder_lines", 2000}}},
        ScriptCase{"TypedText", "typed_text.script", ProbeSetup, IDOK,
                   {{"IlimPS", 3.20001}, {"pp", 128}, {"time_AB", 0.01}}},
        ScriptCase{"Reaction", "reaction.script", ProbeSetup, IDOK,
                   {{"time_AB", 2}, {"pp", 4}, {"HALLCASE", 7}, {"ControlMode", 0}}, TouchOtherControls},
        ScriptCase{"NoEntry", "no_entry.script", WithoutEntries, IDOK, {{"HALLCASE", 0}, {"ControlMode", 4}}},
        ScriptCase{"UnitsAndText", "units_and_text.script", ProbeSetup, IDOK,
                   {{"IlimPS", 0.75}, {"time_AB", 0.02}, {"pp", 128}}, nullptr,
                   [](const CMC_Setup& setup, const std::vector<std::string>&) {
                     EXPECT_EQ(setup.FindParameter("time_AB")->GetUnitName(), "ms");
                   }},
        ScriptCase{"CancelRestores", "cancel_restores.script", ProbeSetup, IDCANCEL, {}, nullptr,
                   [](const CMC_Setup& setup, const std::vector<std::string>&) {
                     EXPECT_EQ(drivebase::SerializeSetup(setup), drivebase::SerializeSetup(ProbeSetup()));
                   }},
        ScriptCase{"Guideline", "guideline.script", ProbeSetup, IDOK, {}},
        ScriptCase{"BaudRateOnly", "can_baud_rate_only.script", BaudRateOnly, IDOK, {{"CAN_baudrate", 300000}}},
        ScriptCase{"CanopenOnly", "canopen_only.script", [] { return CanSetup(false, true); }, IDOK, {}},
        ScriptCase{"Can", "can.script", [] { return CanSetup(true, true); }, IDOK,
                   {{"CAN_baudrate", 1e6}, {"CANopen_heartbeat_time", 0.25}, {"CANopen_life_time_factor", 5}}, nullptr,
                   [](const CMC_Setup& setup, const std::vector<std::string>&) {
                     EXPECT_EQ(setup.FindParameter("CANopen_heartbeat_time")->GetUnitName(), "ms");
                     ASSERT_EQ(drivebase::HelpRequests().size(), 1u);
                     EXPECT_EQ(drivebase::HelpRequests()[0].context, 262656u);
                     EXPECT_EQ(drivebase::HelpRequests()[0].page.filename(), "canopen-settings.md");
                   }},
        ScriptCase{"MotorDatabase", "motor_database.script", kestrel::LoadDefaultSetup, IDOK,
                   {{"In", 1.6}, {"No_encoder_lines", 1000}}, nullptr,
                   [](const CMC_Setup&, const std::vector<std::string>& boxes) {
                     const auto user = drivebase::MotorDatabase::Load(drivebase::UserMotorDatabasePath(), false);
                     EXPECT_TRUE(user.Motors().empty());
                     EXPECT_THAT(boxes,
                                 Contains("The user database has a motor named \"Bench motor\" already. Replace it?"));
                     EXPECT_THAT(boxes, Contains("Delete the motor \"Bench motor\" from the user database?"));
                   }}),
    ByName());

}  // namespace
}  // namespace editbase_test
