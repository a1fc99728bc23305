// The diagrams of the encoder and Hall tests for the page: what each shows, so that the page can
// draw it (an angle on a circle, a position between limits, six Hall slices).
#pragma once

#include <nlohmann/json.hpp>

#include "ui/window.h"

namespace kestrel::gui {

// {"shape": "encoder"|"phase", "theta": rad}, {"shape": "linear encoder", "limits": [lo, hi],
// "position": p} or {"shape": "hall"|"linear hall", "slices": [0|1|2 × 6]}; null when the control
// shows no diagram.
nlohmann::json DiagramState(const ui::Window& control);

}  // namespace kestrel::gui
