// The diagrams of the encoder and Hall tests and the tests' bar graphs for the page: what each
// shows, so that the page can draw it (an angle on a circle, a position between limits, six Hall
// slices, a coloured bar from its reference to its value).
#pragma once

#include <nlohmann/json.hpp>

#include "ui/window.h"

namespace kestrel::gui {

// {"shape": "encoder"|"phase", "theta": rad}, {"shape": "linear encoder", "limits": [lo, hi],
// "position": p} or {"shape": "hall"|"linear hall", "slices": [0|1|2 × 6]}; null when the control
// shows no diagram.
nlohmann::json DiagramState(const ui::Window& control);

// {"limits": [lo, hi], "reference": r, "value": v, "colour": "#rrggbb", "text": "2.50"}; null when
// the control is no bar graph.
nlohmann::json BarState(const ui::Window& control);

}  // namespace kestrel::gui
