// Menu resources, and popup menus tracked from a context-menu handler and chosen by a user agent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "ui/menu.h"

namespace ui_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class MenuTest : public DialogTest {
 protected:
  MenuTest() { ui::MenuResources().Add(ui::ParseMenuResource(kGraphMenuJson, "graph menu")); }
};

// A popup followed by any other step is dismissed without a command.
TEST_F(MenuTest, AChosenCommandReachesTheOwnerAfterTheHandlerReturnsAndAnyOtherStepDismissesThePopup) {
  user.ContextMenu(kGraph).Type(kName, "Axis 2").ContextMenu(kGraph).MenuCommand(10066).MenuCommand(kSaveCommand)
      .ContextMenu(kGraph).MenuCommand(10065).Close(IDCANCEL);
  Run();
  EXPECT_EQ(dialog.graph.contextMenus, 3);
  EXPECT_THAT(dialog.events, ElementsAre("shown", "plot command 10066", "save", "plot command 10065", "hidden"));
}

TEST_F(MenuTest, AGreyedCommandCannotBeChosen) {
  user.ContextMenu(kGraph).MenuCommand(10065).Close(IDCANCEL);
  EXPECT_THAT(ErrorOf([&] { Run(); }), HasSubstr("menu command 10065 is not an enabled item of the menu shown"));
}

TEST(MenuResource, ItemsKeepTheirStateAndNestedPopupsAreReachable) {
  ui::MenuResources().Add(ui::ParseMenuResource(kGraphMenuJson, "graph menu"));
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(kGraphMenu));
  EXPECT_FALSE(CMenu().LoadMenu(4711));
  CMenu* popup = menu.GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->GetMenuItemCount(), 4);
  EXPECT_EQ(popup->GetMenuItemID(1), 10064u);
  EXPECT_EQ(popup->GetMenuItemID(2), 0u) << "a separator";
  EXPECT_EQ(popup->GetMenuItemID(3), kNoSuchMenuItem) << "a nested popup";
  EXPECT_EQ(popup->CheckMenuItem(10064, MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(popup->CheckMenuItem(10064, MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(popup->EnableMenuItem(10066, MF_GRAYED), MF_ENABLED) << "found in the nested popup";
  EXPECT_EQ(popup->GetSubMenu(3)->GetMenuItemCount(), 2);
  EXPECT_EQ(popup->EnableMenuItem(4711, MF_GRAYED), kNoSuchMenuItem);
  EXPECT_EQ(popup->GetSubMenu(0), nullptr) << "a command has no submenu";
}

struct FaultyMenu {
  const char* json;
  const char* message;
};

class FaultyMenuResource : public ::testing::TestWithParam<FaultyMenu> {};

TEST_P(FaultyMenuResource, IsRefusedWithThePlaceOfTheFault) {
  try {
    ui::ParseMenuResource(GetParam().json, "m.json");
    FAIL() << "accepted";
  } catch (const ui::MenuError& error) {
    EXPECT_EQ(std::string(error.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Menus, FaultyMenuResource,
    ::testing::Values(
        FaultyMenu{R"({"popups": []})", "m.json: needs a whole-number \"id\" of 1 or more"},
        FaultyMenu{R"({"id": 5, "popups": []})", "m.json: needs a non-empty list \"popups\""},
        FaultyMenu{R"({"id": 4294967301, "popups": []})",
                   "m.json: \"id\" must be a whole number from 1 to 65535, not 4294967301"},
        FaultyMenu{R"({"id": 5, "popups": [{"text": "P", "id": 3}]})", "m.json: popup \"P\" has no items"},
        FaultyMenu{R"({"id": 5, "popups": [{"text": "P", "items": [{"text": "A", "id": 70000}]}]})",
                   "m.json, popup 1, item 1: \"id\" must be a whole number from 1 to 65535, not 70000"},
        FaultyMenu{R"({"id": 5, "popups": [{"text": "P", "items": [{"text": "A"}]}]})",
                   "m.json, popup 1, item 1: needs either \"id\" (a command) or \"items\" (a popup)"},
        FaultyMenu{R"({"id": 5, "popups": [{"text": "P", "items": [{"text": "A", "id": 2, "key": 1}]}]})",
                   "m.json, popup 1, item 1: unknown key \"key\""},
        FaultyMenu{R"({"id": 5, "popups": [{"text": "P", "items": [{"separator": true, "text": "x"}]}]})",
                   "m.json, popup 1, item 1: a separator has no other keys"},
        FaultyMenu{R"({"id": 5, "popups": [{"text": "P", "items": [{"text": "A", "id": 2, "checked": 1}]}]})",
                   "m.json, popup 1, item 1: \"checked\" must be true or false"}));

}  // namespace
}  // namespace ui_test
