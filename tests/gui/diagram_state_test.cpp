// The diagrams of the encoder and Hall tests as the page receives them.
#include <gtest/gtest.h>

#include "diagram_state.h"
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
}

}  // namespace
