#include "gui_actions.h"

#include <map>
#include <stdexcept>
#include <string>

#include "commissioning.h"
#include "graph_state.h"
#include "host_window.h"
#include "ui/dialog.h"
#include "ui/dialog_driver.h"
#include "ui/event_loop.h"

namespace kestrel::gui {
namespace {

using nlohmann::json;

template <class T>
T Field(const json& message, const char* name) {
  const auto found = message.find(name);
  if (found == message.end()) throw std::invalid_argument(std::string("the action has no \"") + name + "\"");
  try {
    return found->get<T>();
  } catch (const json::exception&) {
    throw std::invalid_argument(std::string("the action's \"") + name + "\" is of the wrong type");
  }
}

// The step runs only when the dialog the page acted on is still the top-most one.
ui::Step OnDialog(int serial, ui::Step step, const ActionTargets& targets) {
  step.run = [serial, run = std::move(step.run), serialOf = targets.serialOf](ui::StepContext& context) {
    const ui::DialogDriver top = context.Top();
    if (serialOf(top.Dialog()) != serial) {
      throw ui::ActionError("the dialog acted on is no longer the top-most one; " + top.Dialog().GetWindowText() +
                            " is");
    }
    run(context);
  };
  return step;
}

// The plot of a graph control of the dialog, sent to the page as {"type": "file", "seq", "name",
// "mime", "text"} before the action's reply.
ui::Step PlotStep(std::uint64_t sequence, const json& message, const ActionTargets& targets) {
  const int id = Field<int>(message, "id");
  const auto format = Field<std::string>(message, "format");
  const json view = message.contains("view") ? message["view"] : json();
  const auto run = [=, deliver = targets.deliver](ui::StepContext& context) {
    const ui::DialogDriver top = context.Top();
    const CGraphWindow* graph = GraphOf(top.Control(id));
    if (graph == nullptr) {
      throw ui::ActionError("control " + std::to_string(id) + " of " + top.Caption() + " shows no plot");
    }
    PlotFile file;
    try {
      file = RenderPlotFile(*graph, top.Caption(), format, view);
    } catch (const std::invalid_argument& error) {
      throw ui::ActionError(error.what());
    }
    deliver({{"type", "file"}, {"seq", sequence}, {"name", file.name}, {"mime", file.mime}, {"text", file.text}});
  };
  return {"save the plot of " + std::to_string(id), run, std::nullopt};
}

// The right-click tells the session which control a popup menu opened by it belongs to.
ui::Step RightClickStep(int id, const ActionTargets& targets) {
  ui::Step step = ui::steps::ContextMenu(id);
  step.run = [id, run = std::move(step.run), rightClicked = targets.rightClicked](ui::StepContext& context) {
    rightClicked(id);
    try {
      run(context);
    } catch (...) {
      rightClicked(0);
      throw;
    }
    rightClicked(0);
  };
  return step;
}

ui::Step DialogStep(const std::string& op, const json& message, const ActionTargets& targets) {
  if (op == "keys") return ui::steps::Keys(ui::ParseKeyChord(Field<std::string>(message, "chord")));
  if (op == "close") return ui::steps::Close(Field<int>(message, "answer"));
  if (op == "menu") return ui::steps::MenuCommand(Field<int>(message, "id"));
  const int id = Field<int>(message, "id");
  if (op == "click") return ui::steps::Click(id);
  if (op == "type") return ui::steps::Type(id, Field<std::string>(message, "text"));
  if (op == "select") {
    if (message.contains("text")) return ui::steps::Select(id, Field<std::string>(message, "text"));
    return ui::steps::Select(id, Field<int>(message, "index"));
  }
  if (op == "check") return ui::steps::Check(id, Field<bool>(message, "checked"));
  if (op == "tab") return ui::steps::SelectTab(id, Field<int>(message, "index"));
  if (op == "slide") return ui::steps::Slide(id, Field<int>(message, "position"));
  if (op == "spin") return ui::steps::Spin(id, Field<int>(message, "delta"));
  if (op == "context") return RightClickStep(id, targets);
  throw std::invalid_argument("unknown action \"" + op + "\"");
}

// A command of the host's window; the window is behind the open dialogs, out of reach.
ui::Step HostStep(const std::string& op, std::function<void(HostWindow&, ui::EventLoop&)> command,
                  const ActionTargets& targets) {
  HostWindow* host = targets.host;
  if (host == nullptr) throw std::invalid_argument("this session has no host window for \"" + op + "\"");
  return {op, [host, op, command = std::move(command)](ui::StepContext& context) {
            if (const CDialog* top = context.Loop().TopDialog()) {
              throw ui::ActionError("cannot " + op + " while the dialog " + top->GetWindowText() + " is open");
            }
            command(*host, context.Loop());
          },
          std::nullopt};
}

ui::Step HostStep(const std::string& op, std::function<void(HostWindow&)> command, const ActionTargets& targets) {
  return HostStep(op, [command = std::move(command)](HostWindow& host, ui::EventLoop&) { command(host); }, targets);
}

std::optional<ui::Step> HostCommand(const std::string& op, const json& message, const ActionTargets& targets) {
  if (op == "open") {
    return HostStep(op, [path = Field<std::string>(message, "path")](HostWindow& host) { host.Open(path); }, targets);
  }
  if (op == "save") return HostStep(op, [](HostWindow& host) { host.Save(); }, targets);
  if (op == "save-as") {
    return HostStep(op, [path = Field<std::string>(message, "path")](HostWindow& host) { host.SaveAs(path); },
                    targets);
  }
  if (op == "set") {
    return HostStep(op,
                    [name = Field<std::string>(message, "name"), value = Field<std::string>(message, "value")](
                        HostWindow& host) { host.SetParameter(name, value); },
                    targets);
  }
  if (op == "unit") {
    return HostStep(op,
                    [name = Field<std::string>(message, "name"), unit = Field<std::string>(message, "unit")](
                        HostWindow& host) { host.SetParameterUnit(name, unit); },
                    targets);
  }
  if (op == "edit-setup") return HostStep(op, [](HostWindow& host) { host.EditSetup(); }, targets);
  if (op == "compute") return HostStep(op, [](HostWindow& host) { host.ComputeRegisters(); }, targets);
  if (op == "commission") {
    Commissioning* commissioning = targets.commissioning;
    if (commissioning == nullptr) throw std::invalid_argument("this session cannot commission");
    return HostStep(op, [commissioning](HostWindow& host, ui::EventLoop& loop) { commissioning->Run(host, loop); },
                    targets);
  }
  if (op == "quit") {
    return HostStep(op, [quit = targets.quit](HostWindow& host) {
      if (host.Close()) quit();
    }, targets);
  }
  return std::nullopt;
}

}  // namespace

ui::UserAction ParseAction(const json& message, const ActionTargets& targets) {
  if (!message.is_object()) throw std::invalid_argument("an action is a JSON object");
  const auto sequence = Field<std::uint64_t>(message, "seq");
  const auto op = Field<std::string>(message, "op");
  if (op == "answer") return {sequence, ui::steps::Answer(Field<int>(message, "answer"))};
  // Dismisses the popup menu shown, as any action does; with none shown it does nothing.
  if (op == "dismiss") return {sequence, {op, [](ui::StepContext&) {}, std::nullopt}};
  if (op == "close-help") {
    return {sequence, {op, [close = targets.closeHelp](ui::StepContext&) { close(); }, std::nullopt}};
  }
  if (std::optional<ui::Step> command = HostCommand(op, message, targets)) return {sequence, std::move(*command)};
  if (op == "plot") {
    return {sequence, OnDialog(Field<int>(message, "dialog"), PlotStep(sequence, message, targets), targets)};
  }
  return {sequence, OnDialog(Field<int>(message, "dialog"), DialogStep(op, message, targets), targets)};
}

}  // namespace kestrel::gui
