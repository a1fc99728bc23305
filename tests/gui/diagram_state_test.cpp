// The diagrams of the encoder and Hall tests and the tests' bar graphs as the page receives them.
#include <gtest/gtest.h>

#include "diagram_state.h"
#include "drivebase/bar_graph.h"
#include "drivebase/diagrams.h"

namespace {

using nlohmann::json;

json StateOf(CDiagram& diagram) {
  ui::Window placeholder(ui::ControlKind::Static, 1024);
  ui::Link(placeholder, diagram);
  json state = kestrel::gui::DiagramState(placeholder);
  ui::Unlink(diagram);
  return state;
}

TEST(DiagramStateTest, CarriesWhatEachDiagramShows) {
  CEncoderDiagram encoder;
  encoder.SetTheta(-1.25);
  EXPECT_EQ(StateOf(encoder), (json{{"shape", "encoder"}, {"theta", -1.25}}));

  CLinearEncoderDiagram linear;
  linear.SetLimits(500, -500);
  linear.SetPosition(-620);
  EXPECT_EQ(StateOf(linear), (json{{"shape", "linear encoder"}, {"limits", {-500.0, 500.0}}, {"position", -620.0}}));

  CLinearHallDiagram halls;
  halls.SetStatus(1, CHallDiagram::kVisited);
  halls.SetStatus(4, CHallDiagram::kCurrent);
  EXPECT_EQ(StateOf(halls), (json{{"shape", "linear hall"}, {"slices", {0, 1, 0, 0, 2, 0}}}));
}

TEST(DiagramStateTest, IsNullForAStaticWithoutADiagram) {
  const ui::Window plain(ui::ControlKind::Static, 1024);
  EXPECT_TRUE(kestrel::gui::DiagramState(plain).is_null());
  EXPECT_TRUE(kestrel::gui::BarState(plain).is_null());
}

// An analogue reference's command bar: green (RGB 0, 255, 0 is 0x00FF00 as a page colour), drawn
// from 0 in a range given high end first, with its value printed to two places.
TEST(DiagramStateTest, BarCarriesItsReferenceColourAndText) {
  CBarGraph bar;
  ui::Window placeholder(ui::ControlKind::Progress, 1015);
  ui::Link(placeholder, bar);
  bar.SetRange(3000, -3000);
  bar.SetValue(-1234.567);
  bar.SetReference(0);
  bar.SetColour(RGB(0, 255, 0));
  bar.SetValueFormat("%.2f");
  EXPECT_EQ(kestrel::gui::BarState(placeholder), (json{{"limits", {-3000.0, 3000.0}},
                                                        {"reference", 0.0},
                                                        {"value", -1234.567},
                                                        {"colour", "#00ff00"},
                                                        {"text", "-1234.57"}}));
  ui::Unlink(bar);
}

}  // namespace
