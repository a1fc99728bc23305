// The host's shared controls that scripts do not reach: help without a page, bitmaps.
// (Guideline, CAN and CANopen dialog: scripts/.)
#include "probe_fixture.h"

namespace editbase_test {
namespace {

using ::testing::HasSubstr;

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
