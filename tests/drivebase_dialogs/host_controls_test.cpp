// The host's shared controls: guideline assistant, CAN settings and the CANopen dialog, help and
// bitmaps.
#include <fstream>

#include "drivebase/gui_resources.h"
#include "drivebase/setup_file.h"
#include "drivebase/value_types.h"
#include "probe_fixture.h"

namespace editbase_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* const kSteps[] = {"Step 1. Choose.", "Step 2. Check.", "Step 3. Save."};
constexpr const char* const kLinearSteps[] = {"Step 1. Linear.", "Step 2. Linear."};

void AddParameter(CMC_Setup& setup, const char* name, int type, const char* unit, double value) {
  drivebase::ParameterSpec spec;
  spec.name = name;
  spec.type = type;
  spec.unit = unit;
  spec.internal = value;
  spec.min = 0;
  spec.max = 1e9;
  setup.AddParameter(spec);
}

void AddCanBaudRate(CMC_Setup& setup, double bitsPerSecond) {
  AddParameter(setup, "CAN_baudrate", drivebase::kUnsigned32, "", bitsPerSecond);
}

// Two of the four CANopen parameters: the heartbeat (0.1 s) and the life time factor (3).
void AddCanopen(CMC_Setup& setup) {
  AddParameter(setup, "CANopen_heartbeat_time", drivebase::kReal, "s", 0.1);
  AddParameter(setup, "CANopen_life_time_factor", drivebase::kUnsigned16, "", 3);
}

class GuidelineTest : public ProbeTest {
 protected:
  ProbeDlg guided{&setup, kSteps};
};

TEST_F(GuidelineTest, PreviousAndNextWalkTheTableAndStopAtItsEnds) {
  user.ExpectText(10007, "Step 1. Choose.")
      .Expect(ui::ControlEnabled(10005, false))
      .Click(10006)
      .ExpectText(10007, "Step 2. Check.")
      .Expect(ui::ControlEnabled(10005, true))
      .Click(10006)
      .ExpectText(10007, "Step 3. Save.")
      .Expect(ui::ControlEnabled(10006, false))
      .Click(10005)
      .ExpectText(10007, "Step 2. Check.")
      .Do("the table is switched", [this](ui::DialogDriver&) { guided.SetGuidelineTable(kLinearSteps); })
      .ExpectText(10007, "Step 1. Linear.")
      .Click(10006)
      .Expect(ui::ControlEnabled(10006, false))
      .Close(IDOK);
  ui::RunWithAgent(guided, user);
  EXPECT_EQ(guided.GetGuidelineIndex(), 1);
}

TEST_F(ProbeTest, WithoutGuidelinesTheAssistantIsEmptyAndStill) {
  user.ExpectText(10007, "")
      .Expect(ui::ControlEnabled(10005, false))
      .Expect(ui::ControlEnabled(10006, false))
      .Close(IDOK);
  Run();
}

struct CanCase {
  const char* name;
  bool baudRate;
  bool canopen;
};

class CanEnableTest : public ProbeTest, public ::testing::WithParamInterface<CanCase> {};

TEST_P(CanEnableTest, EachControlIsEnabledOnlyWhenTheSetupHoldsItsParameters) {
  CMC_Setup can = ProbeSetup();
  if (GetParam().baudRate) AddCanBaudRate(can, 500000);
  if (GetParam().canopen) AddCanopen(can);
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

CMC_Setup CanSetup() {
  CMC_Setup can = ProbeSetup();
  AddCanBaudRate(can, 500000);
  AddCanopen(can);
  return can;
}

class CanTest : public ProbeTest {
 protected:
  CMC_Setup can = CanSetup();
  ProbeDlg probe{&can};
};

TEST_F(CanTest, TheBaudRateComboListsTheBitRatesAndStoresTheChosenOne) {
  user.ExpectText(10021, "500 kbit/s")
      .Do("eight bit rates", [](ui::DialogDriver& top) { EXPECT_EQ(top.Control(10021).items.size(), 8u); })
      .Select(10021, "1 Mbit/s")
      .Close(IDOK);
  ui::RunWithAgent(probe, user);
  EXPECT_EQ(can.GetParameterValueInBaseUnit("CAN_baudrate"), 1000000.0);
  EXPECT_THAT(probe.log, ElementsAre("changed CAN_baudrate", "refresh CAN_baudrate (edit 2003 shows 0.5)"));
}

TEST_F(CanTest, ABitRateWithoutAnEntryShowsNone) {
  can.SetParameterValueInBaseUnit("CAN_baudrate", 300000);
  user.Do("no selection", [](ui::DialogDriver& top) { EXPECT_EQ(top.Control(10021).selection, -1); }).Close(IDOK);
  ui::RunWithAgent(probe, user);
  EXPECT_EQ(can.GetParameterValueInBaseUnit("CAN_baudrate"), 300000.0);
}

TEST_F(CanTest, TheCanopenDialogShowsTheParametersTheSetupHolds) {
  user.Click(10022)
      .Expect(ui::TopDialogIs("CANopen Settings"))
      .Expect(ui::ControlVisible(10102, true))
      .Expect(ui::ControlVisible(10105, false))
      .Expect(ui::ControlVisible(10106, false))
      .Expect(ui::ControlVisible(10108, true))
      .Expect(ui::ControlVisible(10110, false))
      .Do("its picture", [](ui::DialogDriver& top) { EXPECT_EQ(top.Control(10112).bitmap, "CANOPEN_BUS"); })
      .Select(10103, "ms")
      .ExpectText(10102, "100")
      .Type(10102, "250")
      .Type(10108, "5")
      .Close(IDOK)
      .Expect(ui::TopDialogIs(kProbeCaption))
      .Close(IDOK);
  ui::RunWithAgent(probe, user);
  EXPECT_DOUBLE_EQ(can.GetParameterValueInBaseUnit("CANopen_heartbeat_time"), 0.25);
  EXPECT_EQ(can.GetParameterValueInBaseUnit("CANopen_life_time_factor"), 5.0);
}

TEST_F(CanTest, CancelInTheCanopenDialogPutsBackOnlyItsOwnEdits) {
  user.Type(kPolePairsEdit, "6")
      .Click(10022)
      .Type(10102, "2")
      .Close(IDCANCEL)
      .Do("the probe still works on the restored setup", [](ui::DialogDriver&) {})
      .Type(kPolePairsEdit, "7")
      .Close(IDOK);
  ui::RunWithAgent(probe, user);
  EXPECT_DOUBLE_EQ(can.GetParameterValueInBaseUnit("CANopen_heartbeat_time"), 0.1);
  EXPECT_EQ(can.GetParameterValueInBaseUnit("pp"), 7.0);
}

TEST_F(CanTest, HelpOpensThePageOfTheDialogsContext) {
  drivebase::ClearHelpRequests();
  user.Click(10022).Click(10024).Close(IDCANCEL).Close(IDCANCEL);
  ui::RunWithAgent(probe, user);
  ASSERT_EQ(drivebase::HelpRequests().size(), 1u);
  const drivebase::HelpRequest& request = drivebase::HelpRequests().front();
  EXPECT_EQ(request.context, 262656u);
  EXPECT_EQ(request.page.filename(), "canopen-settings.md");
  EXPECT_THAT(request.helpFile, ::testing::EndsWith("docs/help/README.md"));
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

TEST(HelpIndexTest, APageTheIndexNamesMustExist) {
  const std::filesystem::path index = std::filesystem::temp_directory_path() / "kestrel-help-index.md";
  std::ofstream(index) << "| Context | Page |\n|---|---|\n| 7 | [Gone](gone.md) |\n";
  EXPECT_THROW(
      {
        try {
          drivebase::FindHelpPage(index, 7);
        } catch (const std::runtime_error& error) {
          EXPECT_THAT(error.what(), HasSubstr("gone.md of context 7 does not exist"));
          throw;
        }
      },
      std::runtime_error);
  std::filesystem::remove(index);
}

TEST_F(ProbeTest, BitmapsComeFromTheGuiModuleAndAnUnknownOneIsReported) {
  user.Do("bitmaps set",
          [this](ui::DialogDriver& top) {
            dialog.SetChildBitmap(kPicture, "CANOPEN_BUS");
            EXPECT_EQ(top.Control(kPicture).bitmap, "CANOPEN_BUS");
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
