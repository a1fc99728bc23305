// The kinds of windows in a dialog, as templates name them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ui {

// Dialog and Group are the dialog itself and the frames of its groups; the others are controls.
// Graph is a placeholder that the program replaces with a control object of its own
// (SubclassDlgItem); Progress is a progress bar, or the placeholder of a bar graph.
enum class ControlKind {
  Dialog, Group, Edit, Static, Button, Check, Radio, Combo, Slider, Spin, Tab, Picture, Graph, Progress
};

// "edit", "combo" ...
std::string_view KindName(ControlKind kind);

// "an edit", "a combo" ...
std::string KindWithArticle(ControlKind kind);

// The control kind a template calls `name`; none for an unknown name (and for "dialog" and
// "group", which are no controls).
std::optional<ControlKind> ControlKindNamed(std::string_view name);

// The names of all control kinds, for messages: "edit, static, ...".
std::string ControlKindNames();

}  // namespace ui
