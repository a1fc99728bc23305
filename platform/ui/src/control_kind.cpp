#include "ui/control_kind.h"

#include <array>

namespace ui {
namespace {

struct KindEntry {
  ControlKind kind;
  std::string_view name;
  bool isControl;
};

constexpr std::array<KindEntry, 14> kKinds{{{ControlKind::Dialog, "dialog", false},
                                            {ControlKind::Group, "group", false},
                                            {ControlKind::Edit, "edit", true},
                                            {ControlKind::Static, "static", true},
                                            {ControlKind::Button, "button", true},
                                            {ControlKind::Check, "check", true},
                                            {ControlKind::Radio, "radio", true},
                                            {ControlKind::Combo, "combo", true},
                                            {ControlKind::Slider, "slider", true},
                                            {ControlKind::Spin, "spin", true},
                                            {ControlKind::Tab, "tab", true},
                                            {ControlKind::Picture, "picture", true},
                                            {ControlKind::Graph, "graph", true},
                                            {ControlKind::Progress, "progress", true}}};

}  // namespace

std::string_view KindName(ControlKind kind) {
  for (const KindEntry& entry : kKinds) {
    if (entry.kind == kind) return entry.name;
  }
  return "window";
}

std::string KindWithArticle(ControlKind kind) {
  const std::string_view name = KindName(kind);
  return (std::string_view("aeiou").find(name.front()) == std::string_view::npos ? "a " : "an ") + std::string(name);
}

std::optional<ControlKind> ControlKindNamed(std::string_view name) {
  for (const KindEntry& entry : kKinds) {
    if (entry.isControl && entry.name == name) return entry.kind;
  }
  return std::nullopt;
}

std::string ControlKindNames() {
  std::string names;
  for (const KindEntry& entry : kKinds) {
    if (entry.isControl) names += (names.empty() ? "" : ", ") + std::string(entry.name);
  }
  return names;
}

}  // namespace ui
