// A setup dialog closed other than with OK puts the whole setup back as it was when it opened.
#include "drivebase/setup_file.h"
#include "probe_fixture.h"

namespace editbase_test {
namespace {

// Edits of every kind: values by each binding kind, a unit, and through the reaction an option,
// a limit and the identity.
void EditEverything(ProbeDlg& dialog, ui::TestAgent& user) {
  dialog.reaction = [](ProbeDlg& probe, const std::string& name) {
    if (name != "pp") return;
    probe.GetSetup()->SetOption("MaxFilters", "2");
    probe.GetSetup()->FindParameter("IlimPS")->SetMaxInBaseUnit(8.0);
    probe.GetSetup()->SetDescription("edited");
  };
  user.Type(kCurrentEdit, "4.4")
      .Select(kTimeUnit, "ms")
      .Type(kPolePairsEdit, "7")
      .Click(kOverCurrentCheck)
      .Click(kSpeedRadio)
      .Select(kHallCaseCombo, "11")
      .Slide(kDeadBandSlider, 10);
}

struct CloseWay {
  const char* name;
  std::function<void(ui::TestAgent&)> close;
};

class CancelTest : public ProbeTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(CancelTest, PutsTheWholeSetupBack) {
  const std::string before = drivebase::SerializeSetup(setup);
  EditEverything(dialog, user);
  GetParam().close(user);
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(drivebase::SerializeSetup(setup), before);
}

INSTANTIATE_TEST_SUITE_P(Ways, CancelTest,
                         ::testing::Values(CloseWay{"CancelButton", [](ui::TestAgent& u) { u.Click(IDCANCEL); }},
                                           CloseWay{"Escape", [](ui::TestAgent& u) { u.Keys("Esc"); }},
                                           CloseWay{"CloseBox", [](ui::TestAgent& u) { u.Close(IDCANCEL); }}),
                         ByName());

TEST_F(ProbeTest, CancelAlsoUndoesWhatTheDialogsConstructorComputed) {
  const std::string before = drivebase::SerializeSetup(setup);
  ProbeDlg computing(&setup);
  setup.SetParameterValueInBaseUnit("pp", 6);  // as a constructor's derivation would
  user.Close(IDCANCEL);
  EXPECT_EQ(ui::RunWithAgent(computing, user), IDCANCEL);
  EXPECT_EQ(drivebase::SerializeSetup(setup), before);
}

TEST_F(ProbeTest, AnyOtherEndCodeRestoresToo) {
  const std::string before = drivebase::SerializeSetup(setup);
  user.Type(kCurrentEdit, "1").Do("the dialog ends itself", [this](ui::DialogDriver&) { dialog.EndDialog(7); });
  EXPECT_EQ(Run(), 7);
  EXPECT_EQ(drivebase::SerializeSetup(setup), before);
}

TEST_F(ProbeTest, AFailureThatUnwindsTheDialogRestoresTheSetup) {
  const std::string before = drivebase::SerializeSetup(setup);
  dialog.reaction = [](ProbeDlg&, const std::string&) { throw std::runtime_error("reaction failed"); };
  user.Type(kPolePairsEdit, "9");
  EXPECT_THROW(Run(), std::runtime_error);
  EXPECT_EQ(drivebase::SerializeSetup(setup), before);
}

}  // namespace
}  // namespace editbase_test
