// OK of Drive Setup takes a value still pending in its edit before it computes the registers.
#include <gtest/gtest.h>

#include "dialogs/dialog_resources.h"
#include "dialogs/drive_setup_dlg.h"
#include "script_case.h"
#include "ui/session.h"
#include "ui/test_agent.h"

namespace kestrel::dialogs_test {
namespace {

TEST(DriveSetupOk, TakesTheTextPendingInAnEditIntoTheRegisters) {
  RegisterDialogTemplates();
  ui::HeadlessSession session;
  CMC_Setup setup = ShippedSetup("default");
  CDriveSetupDlg dialog(&setup, nullptr);
  ui::TestAgent user;
  user.WaitUntil(ui::TopDialogIs("Brushless Motor Setup"))
      .Close(IDOK)
      .Do("leave 0.25 in the Kd filter edit, not committed",
          [](ui::DialogDriver& top) { top.Control(3193).text = "0.25"; })
      .Close(IDOK);
  EXPECT_EQ(ui::RunWithAgent(dialog, user), IDOK);
  // Only the register computation of OK turns the filter into its register: 0.25 * 32767,
  // rounded.
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("filter_D"), 0.25);
  EXPECT_EQ(setup.GetParameterValueInInternalUnit("KDFP"), 8192.0);
}

}  // namespace
}  // namespace kestrel::dialogs_test
