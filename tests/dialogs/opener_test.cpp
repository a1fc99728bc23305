// A setup dialog opening a child: the voltage-scale flag is set only while the child runs, and
// put back however it ends.
#include <gtest/gtest.h>

#include "compute/scale_functions.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/my_setup_dlg.h"
#include "script_case.h"
#include "ui/session.h"
#include "ui/test_agent.h"

namespace kestrel::dialogs_test {
namespace {

class Opener : public CMySetupDlg {
 public:
  explicit Opener(CMC_Setup* setup) : CMySetupDlg(setup, 108, 0, {}, nullptr) {}
  using CMySetupDlg::RunChild;
};

// A child that notes the flag while it is open.
class Child : public CDialog {
 public:
  Child() : CDialog(106) {}
  bool OnInitDialog() override {
    flagWhileOpen = g_bKufSinusoidalMode;
    return CDialog::OnInitDialog();
  }
  int flagWhileOpen = -1;
};

struct FlagCase {
  bool sinusoidal;
  int endCode;
  int flagWhileOpen;
};

class SinusoidalModeAroundAChild : public ::testing::TestWithParam<FlagCase> {};

TEST_P(SinusoidalModeAroundAChild, IsSetOnlyWhileTheChildRuns) {
  RegisterDialogTemplates();
  ui::HeadlessSession session;
  CMC_Setup setup = ShippedSetup("default");
  Opener opener(&setup);
  Child child;
  int childResult = 0;
  int flagAfter = -1;
  ui::TestAgent user;
  user.Do("open the child", [&](ui::DialogDriver&) {
        childResult = opener.RunChild(child, GetParam().sinusoidal);
        flagAfter = g_bKufSinusoidalMode;
      })
      .Close(GetParam().endCode)
      .Close(IDCANCEL);
  ASSERT_EQ(g_bKufSinusoidalMode, 0);
  ui::RunWithAgent(opener, user);
  EXPECT_EQ(childResult, GetParam().endCode);
  EXPECT_EQ(child.flagWhileOpen, GetParam().flagWhileOpen);
  EXPECT_EQ(flagAfter, 0);
}

INSTANTIATE_TEST_SUITE_P(Children, SinusoidalModeAroundAChild,
                         ::testing::Values(FlagCase{true, IDOK, 1}, FlagCase{true, IDCANCEL, 1},
                                           FlagCase{false, IDOK, 0}));

}  // namespace
}  // namespace kestrel::dialogs_test
