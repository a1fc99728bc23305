// Dialog scripts over the probe dialog: what a user does, step by step, as the scripts in
// tests/drivebase_dialogs/scripts write it.
#include "probe_fixture.h"
#include "ui/script.h"

namespace editbase_test {
namespace {

struct ScriptCase {
  const char* name;
  const char* script;
  int endCode;
  std::function<void(const CMC_Setup& setup, const ProbeDlg& dialog)> check;
};

class ScriptTest : public ProbeTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptTest, RunsToItsEnd) {
  ui::ScriptAgent script(ui::Script::Load(TestData() / "scripts" / GetParam().script));
  EXPECT_EQ(ui::RunWithAgent(dialog, script), GetParam().endCode);
  GetParam().check(setup, dialog);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptTest,
    ::testing::Values(
        ScriptCase{"UnitsAndText", "units_and_text.script", IDOK,
                   [](const CMC_Setup& setup, const ProbeDlg&) {
                     EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("IlimPS"), 0.75);
                     EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("time_AB"), 0.02);
                     EXPECT_EQ(setup.FindParameter("time_AB")->GetUnitName(), "ms");
                     EXPECT_EQ(setup.GetParameterValueInBaseUnit("pp"), 128.0);
                   }},
        ScriptCase{"CancelRestores", "cancel_restores.script", IDCANCEL,
                   [](const CMC_Setup& setup, const ProbeDlg& dialog) {
                     EXPECT_EQ(setup.GetParameterValueInBaseUnit("ControlMode"), 0.0);
                     EXPECT_EQ(setup.GetParameterValueInBaseUnit("isOverCurrent"), 1.0);
                     EXPECT_EQ(setup.FindParameter("IlimPS")->GetUnitName(), "A");
                     EXPECT_EQ(dialog.log.size(), 7u) << "three values changed and refreshed, one unit";
                   }}),
    ByName());

}  // namespace
}  // namespace editbase_test
