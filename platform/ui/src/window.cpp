#include "ui/window.h"

#include <algorithm>

#include "text.h"
#include "ui/controls.h"

namespace ui {
namespace {

std::unique_ptr<Window> MakeControlWindow(ControlKind kind, int id) {
  auto window = std::make_unique<Window>(kind, id);
  window->ownObject = MakeControlObject(kind);
  Link(*window, *window->ownObject);
  return window;
}

Window& AddChild(Window& parent, std::unique_ptr<Window> child) {
  child->parent = &parent;
  parent.children.push_back(std::move(child));
  return *parent.children.back();
}

bool ShowsLabel(ControlKind kind) {
  return kind == ControlKind::Static || kind == ControlKind::Button || kind == ControlKind::Check ||
         kind == ControlKind::Radio || kind == ControlKind::Group;
}

}  // namespace

Window::Window(ControlKind windowKind, int windowId) : kind(windowKind), id(windowId) {}

Window::~Window() {
  children.clear();
  if (object != nullptr && object != ownObject.get()) Unlink(*object);
  if (ownObject) Unlink(*ownObject);
}

Window* Window::FindChild(int childId) const {
  for (const std::unique_ptr<Window>& child : children) {
    if (child->id == childId) return child.get();
  }
  return nullptr;
}

std::string Window::Describe() const {
  if (kind == ControlKind::Dialog) return "dialog " + Quote(text);
  std::string description(KindName(kind));
  if (id != IDC_STATIC) description += " " + std::to_string(id);
  if (ShowsLabel(kind) && !text.empty()) description += " " + Quote(text);
  return description;
}

std::unique_ptr<Window> BuildDialogWindows(const DialogTemplate& source) {
  auto dialog = std::make_unique<Window>(ControlKind::Dialog, static_cast<int>(source.id));
  dialog->text = source.caption;
  dialog->visible = false;
  int radioGroups = 0;
  for (std::size_t g = 0; g < source.groups.size(); ++g) {
    const GroupTemplate& group = source.groups[g];
    Window& frame = AddChild(*dialog, MakeControlWindow(ControlKind::Group, group.id));
    frame.text = group.caption;
    frame.place.group = static_cast<int>(g);
    for (std::size_t r = 0; r < group.rows.size(); ++r) {
      for (std::size_t c = 0; c < group.rows[r].size(); ++c) {
        const ControlTemplate& control = group.rows[r][c];
        Window& window = AddChild(*dialog, MakeControlWindow(control.kind, control.id));
        window.text = control.text;
        window.visible = !control.hidden;
        window.enabled = !control.disabled;
        window.bitmap = control.bitmap;
        window.unitCombo = control.unitCombo;
        window.multiline = control.multiline;
        window.place = {static_cast<int>(g), static_cast<int>(r), static_cast<int>(c)};
        if (control.kind == ControlKind::Radio) {
          if (control.firstOfGroup) ++radioGroups;
          window.radioGroup = radioGroups;
        }
      }
    }
  }
  return dialog;
}

void Link(Window& window, CWnd& object) {
  object.window_ = &window;
  window.object = &object;
}

void Unlink(CWnd& object) {
  Window* window = object.window_;
  if (window == nullptr) return;
  object.window_ = nullptr;
  if (window->object == &object) {
    window->object = window->ownObject.get() == &object ? nullptr : window->ownObject.get();
  }
}

std::vector<Window*> RadioGroupOf(const Window& radio) {
  std::vector<Window*> group;
  if (radio.parent == nullptr || radio.radioGroup < 0) return group;
  for (const std::unique_ptr<Window>& sibling : radio.parent->children) {
    if (sibling->radioGroup == radio.radioGroup) group.push_back(sibling.get());
  }
  return group;
}

void SelectRadio(Window& radio) {
  for (Window* member : RadioGroupOf(radio)) member->check = BST_UNCHECKED;
  radio.check = BST_CHECKED;
}

void SelectItem(Window& list, int index) {
  const bool valid = index >= 0 && static_cast<std::size_t>(index) < list.items.size();
  list.selection = valid ? index : -1;
  if (list.kind == ControlKind::Combo) list.text = valid ? list.items[static_cast<std::size_t>(index)].text : "";
}

int ClampToRange(const Window& window, int position) {
  return std::clamp(position, std::min(window.rangeMin, window.rangeMax),
                    std::max(window.rangeMin, window.rangeMax));
}

}  // namespace ui
