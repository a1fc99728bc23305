// The host's shared controls that scripts do not reach: which CAN controls are enabled, help
// without a page, bitmaps. (Guideline, CAN and CANopen dialog: scripts/.)
#include "probe_fixture.h"

namespace editbase_test {
namespace {

using ::testing::HasSubstr;

struct CanCase {
  const char* name;
  bool baudRate;
  bool canopen;
};

class CanEnableTest : public ProbeTest, public ::testing::WithParamInterface<CanCase> {};

TEST_P(CanEnableTest, EachControlIsEnabledOnlyWhenTheSetupHoldsItsParameters) {
  CMC_Setup can = CanSetup(GetParam().baudRate, GetParam().canopen);
  ProbeDlg probe(&can);
  user.Expect(ui::ControlEnabled(10021, GetParam().baudRate))
      .Expect(ui::ControlEnabled(10022, GetParam().canopen))
      .Close(IDCANCEL);
  ui::RunWithAgent(probe, user);
}

INSTANTIATE_TEST_SUITE_P(Setups, CanEnableTest,
                         ::testing::Values(CanCase{"None", false, false}, CanCase{"BaudRateOnly", true, false},
                                           CanCase{"CanopenOnly", false, true}, CanCase{"Both", true, true}),
                         ByName());

TEST_F(ProbeTest, ABitRateWithoutAnEntryShowsNone) {
  CMC_Setup can = CanSetup(true, false);
  can.SetParameterValueInBaseUnit("CAN_baudrate", 300000);
  ProbeDlg probe(&can);
  user.Do("no selection", [](ui::DialogDriver& top) { EXPECT_EQ(top.Control(10021).selection, -1); }).Close(IDOK);
  ui::RunWithAgent(probe, user);
  EXPECT_EQ(can.GetParameterValueInBaseUnit("CAN_baudrate"), 300000.0);
}

TEST_F(ProbeTest, HelpForAContextWithoutAPageSaysSo) {
  drivebase::ClearHelpRequests();
  dialog.SetHelpContext(999);
  user.Click(10024).Close(IDCANCEL);
  Run();
  EXPECT_TRUE(drivebase::HelpRequests().empty());
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_THAT(BoxTexts().front(), HasSubstr("docs/help/README.md: no help page for context 999"));
}

TEST_F(ProbeTest, BitmapsComeFromTheGuiModuleAndAnUnknownOneIsReported) {
  user.Do("bitmaps set",
          [this](ui::DialogDriver& top) {
            dialog.SetChildBitmap(kPicture, "CANOPEN_BUS");
            dialog.SetChildBitmap(kPicture, "NO_SUCH_BITMAP");
            EXPECT_EQ(top.Control(kPicture).bitmap, "CANOPEN_BUS");
          })
      .Close(IDCANCEL);
  Run();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_THAT(errors.front(), HasSubstr("the bitmap resource \"NO_SUCH_BITMAP\" does not exist"));
}

}  // namespace
}  // namespace editbase_test
