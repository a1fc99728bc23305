// Every dialog script under scripts/ drives Drive Setup (or Motor Setup alone) on a shipped
// setup, headless; the script checks what the dialogs show and the message boxes, its leading
// comments what the setup holds afterwards (script_case.h).
#include <cmath>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "compute/registers.h"
#include "dialogs/dialog_opener.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/drive_setup_dlg.h"
#include "dialogs/filters_dialog.h"
#include "dialogs/motor_setup_dialog.h"
#include "drivebase/error_report.h"
#include "drivebase/setup_file.h"
#include "script_case.h"
#include "ui/script.h"
#include "ui/event_loop.h"
#include "ui/session.h"

namespace kestrel::dialogs_test {
namespace {

// A value, or a limit for a name ending in ".min" or ".max", in the base unit: read and written.
double Read(const CMC_Setup& setup, const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return setup.GetParameterValueInBaseUnit(name);
  const CMC_Parameter* parameter = setup.FindParameter(name.substr(0, dot));
  if (parameter == nullptr) return std::nan("");
  return name.substr(dot) == ".min" ? parameter->GetMinInBaseUnit() : parameter->GetMaxInBaseUnit();
}

bool Write(CMC_Setup& setup, const std::string& name, double value) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return setup.SetParameterValueInBaseUnit(name, value);
  CMC_Parameter* parameter = setup.FindParameter(name.substr(0, dot));
  if (parameter == nullptr) return false;
  return name.substr(dot) == ".min" ? parameter->SetMinInBaseUnit(value) : parameter->SetMaxInBaseUnit(value);
}

int RunScript(const ScriptCase& scriptCase, CMC_Setup& setup) {
  ui::ScriptAgent agent(ui::Script::Load(scriptCase.file));
  if (scriptCase.dialog == "motor") {
    CMotorSetupDialog dialog(&setup, nullptr);
    return ui::RunWithAgent(dialog, agent);
  }
  if (scriptCase.dialog == "filters online") {
    CFiltersDialog dialog(&setup, true, nullptr);
    return ui::RunWithAgent(dialog, agent);
  }
  if (scriptCase.dialog == "drive") {
    CDriveSetupDlg dialog(&setup, nullptr);
    return ui::RunWithAgent(dialog, agent);
  }
  // A dialog that Drive Setup opens, alone with its opener's computations.
  ui::EventLoop& loop = ui::CurrentEventLoop();
  loop.SetUserAgent(&agent);
  const int endCode = RunSetupDialogAlone(&setup, scriptCase.dialog);
  agent.CheckFinished(loop);
  return endCode;
}

class DialogScripts : public ::testing::TestWithParam<ScriptCase> {
 protected:
  DialogScripts() {
    RegisterDialogTemplates();
    drivebase::SetErrorSink([this](const std::string& message) { errors.push_back(message); });
  }
  ~DialogScripts() override { drivebase::SetErrorSink({}); }

  ui::HeadlessSession session;
  std::vector<std::string> errors;
};

TEST_P(DialogScripts, RunAsWritten) {
  const ScriptCase& scriptCase = GetParam();
  CMC_Setup setup = ShippedSetup(scriptCase.setup);
  for (const ValueCheck& value : scriptCase.before) ASSERT_TRUE(Write(setup, value.name, value.value)) << value.name;
  for (const auto& [name, text] : scriptCase.options) setup.SetOption(name, text);
  for (const auto& [field, text] : scriptCase.identityBefore) SetIdentityField(setup, field, text);
  if (!scriptCase.before.empty()) ComputeAllRegisters(&setup);
  const CMC_Setup before = setup;
  const std::string beforeText = drivebase::SerializeSetup(setup);

  EXPECT_EQ(RunScript(scriptCase, setup), scriptCase.endCode);

  if (scriptCase.setupUnchanged) {
    EXPECT_EQ(drivebase::SerializeSetup(setup), beforeText);
  }
  for (const ValueCheck& check : scriptCase.after) {
    const double expected = check.unchanged ? Read(before, check.name) : check.value;
    EXPECT_NEAR(Read(setup, check.name), expected, 1e-9 * std::max(1.0, std::abs(expected)))
        << check.name;
  }
  for (const auto& [field, text] : scriptCase.identityAfter) EXPECT_EQ(IdentityField(setup, field), text) << field;
  if (scriptCase.boxes >= 0) {
    EXPECT_EQ(session.MessageBoxes().Shown().size(), static_cast<std::size_t>(scriptCase.boxes));
  }
  EXPECT_THAT(errors, ::testing::IsEmpty()) << "lookups reported as errors";
}

INSTANTIATE_TEST_SUITE_P(Scripts, DialogScripts, ::testing::ValuesIn(AllScriptCases()),
                         [](const ::testing::TestParamInfo<ScriptCase>& param) {
                           std::string name = param.param.file.stem().string();
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace kestrel::dialogs_test
