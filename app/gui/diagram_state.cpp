#include "diagram_state.h"

#include <algorithm>
#include <string>

#include "drivebase/bar_graph.h"
#include "drivebase/diagrams.h"
#include "drivebase/graph.h"

namespace kestrel::gui {

using nlohmann::json;

json DiagramState(const ui::Window& control) {
  const auto* diagram = dynamic_cast<const CDiagram*>(control.object);
  if (diagram == nullptr) return nullptr;
  json state = {{"shape", std::string(diagram->Shape())}};
  if (const auto* angle = dynamic_cast<const CAngleDiagram*>(diagram)) state["theta"] = angle->Theta();
  if (const auto* linear = dynamic_cast<const CLinearEncoderDiagram*>(diagram)) {
    state["limits"] = {linear->Lower(), linear->Upper()};
    state["position"] = linear->Position();
  }
  if (const auto* halls = dynamic_cast<const CHallDiagram*>(diagram)) {
    json slices = json::array();
    for (const CHallDiagram::SliceStatus status : halls->Statuses()) slices.push_back(static_cast<int>(status));
    state["slices"] = std::move(slices);
  }
  return state;
}

json BarState(const ui::Window& control) {
  const auto* bar = dynamic_cast<const CBarGraph*>(control.object);
  if (bar == nullptr) return nullptr;
  return {{"limits", {std::min(bar->Lower(), bar->Upper()), std::max(bar->Lower(), bar->Upper())}},
          {"reference", bar->Reference()},
          {"value", bar->Value()},
          {"colour", drivebase::ColourHex(bar->Colour())},
          {"text", bar->ValueText()}};
}

}  // namespace kestrel::gui
