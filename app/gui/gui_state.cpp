#include "gui_state.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "diagram_state.h"
#include "ui/dialog.h"

namespace kestrel::gui {
namespace {

using nlohmann::json;

bool HasItems(ui::ControlKind kind) { return kind == ui::ControlKind::Combo || kind == ui::ControlKind::Tab; }

bool HasRange(ui::ControlKind kind) {
  return kind == ui::ControlKind::Slider || kind == ui::ControlKind::Spin || kind == ui::ControlKind::Progress;
}

bool HasCheck(ui::ControlKind kind) { return kind == ui::ControlKind::Check || kind == ui::ControlKind::Radio; }

std::string IconName(unsigned style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    default: return "";
  }
}

json MenuItemsState(const std::vector<ui::MenuItem>& items) {
  json states = json::array();
  for (const ui::MenuItem& item : items) {
    if (item.separator) {
      states.push_back({{"separator", true}});
    } else if (!item.popup.empty()) {
      states.push_back({{"text", item.text}, {"items", MenuItemsState(item.popup)}});
    } else {
      states.push_back({{"id", item.id}, {"text", item.text}, {"enabled", item.enabled}, {"checked", item.checked}});
    }
  }
  return states;
}

}  // namespace

json ControlState(const ui::Window& control) {
  json state = {{"kind", ui::KindName(control.kind)},
                {"id", control.id},
                {"place", {control.place.group, control.place.row, control.place.column}},
                {"text", control.text},
                {"enabled", control.enabled},
                {"visible", control.visible}};
  if (HasCheck(control.kind)) state["checked"] = control.check;
  if (control.kind == ui::ControlKind::Radio) state["radioGroup"] = control.radioGroup;
  if (HasItems(control.kind)) {
    json items = json::array();
    for (const ui::ListItem& item : control.items) items.push_back(item.text);
    state["items"] = std::move(items);
    state["selection"] = control.selection;
  }
  if (HasRange(control.kind)) {
    state["range"] = {control.rangeMin, control.rangeMax};
    state["position"] = control.position;
  }
  if (!control.bitmap.empty()) state["bitmap"] = control.bitmap;
  if (control.unitCombo != 0) state["unitCombo"] = control.unitCombo;
  if (control.textLimit > 0) state["textLimit"] = control.textLimit;
  if (control.multiline) state["multiline"] = true;
  if (const CGraphWindow* graph = GraphOf(control)) state["graph"] = GraphState(*graph);
  if (json diagram = DiagramState(control); !diagram.is_null()) state["diagram"] = std::move(diagram);
  if (json bar = BarState(control); !bar.is_null()) state["bar"] = std::move(bar);
  return state;
}

json DialogState(const CDialog& dialog, int serial) {
  const ui::Window* window = dialog.GetSafeHwnd();
  json controls = json::array();
  if (window != nullptr) {
    for (const std::unique_ptr<ui::Window>& child : window->children) controls.push_back(ControlState(*child));
  }
  return {{"serial", serial},
          {"template", dialog.TemplateId()},
          {"caption", window != nullptr ? window->text : std::string()},
          {"visible", window != nullptr && window->visible},
          {"controls", std::move(controls)}};
}

json MessageBoxState(const ui::MessageBoxRecord& box) {
  static constexpr int kAnswers[] = {IDOK, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE, IDCANCEL, IDHELP};
  json buttons = json::array();
  for (const int answer : kAnswers) {
    if (ui::OffersAnswer(box.style, answer)) buttons.push_back({{"answer", answer}, {"label", ui::AnswerName(answer)}});
  }
  return {{"text", box.text}, {"caption", box.caption}, {"icon", IconName(box.style)}, {"buttons", std::move(buttons)}};
}

json PopupState(const ui::PopupMenu& popup, int dialogSerial, int control) {
  return {{"dialog", dialogSerial}, {"control", control}, {"items", MenuItemsState(popup.items)}};
}

json HelpPageState(const drivebase::HelpRequest& request) {
  std::ifstream page(request.page);
  std::ostringstream text;
  if (page) text << page.rdbuf();
  if (!page || page.bad()) throw std::runtime_error(request.page.string() + ": cannot read the help page");
  return {{"context", request.context}, {"page", request.page.filename().string()}, {"text", text.str()}};
}

std::optional<std::string> StateChannel::Publish(json state, const std::vector<PlotSeries>& plots) {
  const std::lock_guard lock(mutex_);
  json patch = json::diff(state_, state);
  plots_.Update(plots, patch);
  if (patch.empty()) return std::nullopt;
  state_ = std::move(state);
  ++version_;
  return json{{"type", "patch"}, {"base", version_ - 1}, {"version", version_}, {"patch", std::move(patch)}}.dump();
}

std::string StateChannel::FullState() const {
  const std::lock_guard lock(mutex_);
  json state = state_;
  plots_.Insert(state);
  return json{{"type", "state"}, {"version", version_}, {"state", std::move(state)}}.dump();
}

std::uint64_t StateChannel::Version() const {
  const std::lock_guard lock(mutex_);
  return version_;
}

}  // namespace kestrel::gui
