#include "ui/steps.h"

#include "text.h"
#include "ui/message_box.h"
#include "ui/step_agent.h"

namespace ui::steps {
namespace {

std::string Id(int id) { return std::to_string(id); }

// A step that acts on the top-most dialog.
Step OnTop(std::string description, std::function<void(DialogDriver&)> action) {
  return {std::move(description), [action](StepContext& context) {
            DialogDriver top = context.Top();
            action(top);
          },
          std::nullopt};
}

}  // namespace

Step Click(int id) {
  return OnTop("click " + Id(id), [id](DialogDriver& top) { top.Click(id); });
}

Step Type(int id, std::string text) {
  return OnTop("type " + Quote(text) + " into " + Id(id), [id, text](DialogDriver& top) { top.Type(id, text); });
}

Step Select(int id, std::string text) {
  return OnTop("select " + Quote(text) + " in " + Id(id), [id, text](DialogDriver& top) { top.Select(id, text); });
}

Step Select(int id, int index) {
  return OnTop("select entry " + std::to_string(index) + " of " + Id(id),
               [id, index](DialogDriver& top) { top.Select(id, index); });
}

Step Check(int id, bool checked) {
  return OnTop((checked ? "check " : "clear ") + Id(id), [id, checked](DialogDriver& top) { top.SetCheck(id, checked); });
}

Step SelectTab(int id, int index) {
  return OnTop("select tab " + std::to_string(index) + " of " + Id(id),
               [id, index](DialogDriver& top) { top.SelectTab(id, index); });
}

Step SelectTab(int id, std::string label) {
  return OnTop("select tab " + Quote(label) + " of " + Id(id),
               [id, label](DialogDriver& top) { top.SelectTab(id, label); });
}

Step Slide(int id, int position) {
  return OnTop("slide " + Id(id) + " to " + std::to_string(position),
               [id, position](DialogDriver& top) { top.Slide(id, position); });
}

Step Spin(int id, int delta) {
  return OnTop("spin " + Id(id) + " by " + std::to_string(delta), [id, delta](DialogDriver& top) { top.Spin(id, delta); });
}

Step Keys(KeyChord chord) {
  return OnTop("press " + DescribeKeyChord(chord), [chord](DialogDriver& top) { top.PressKeys(chord); });
}

Step ContextMenu(int id) {
  return OnTop("right-click " + Id(id), [id](DialogDriver& top) { top.ContextMenu(id); });
}

Step MenuCommand(int id) {
  Step step = OnTop("menu command " + Id(id), [id](DialogDriver& top) { top.MenuCommand(id); });
  step.menuCommand = static_cast<unsigned>(id);
  return step;
}

Step Answer(int answer) {
  return {"answer " + std::string(AnswerName(answer)),
          [answer](StepContext& context) { context.Loop().MessageBoxes().PrepareAnswer(answer); }, answer};
}

Step Wait(Milliseconds duration) {
  return {"wait " + std::to_string(duration.count()) + " ms",
          [duration](StepContext& context) { context.Wait(duration); }, std::nullopt};
}

Step WaitUntil(Condition condition, Milliseconds limit) {
  std::string description = "wait until " + condition.description + " (at most " + std::to_string(limit.count()) + " ms)";
  return {std::move(description), [condition, limit](StepContext& context) { context.WaitUntil(condition, limit); },
          std::nullopt};
}

Step Expect(Condition condition) {
  std::string description = "expect " + condition.description;
  return {std::move(description),
          [condition](StepContext& context) {
            if (const std::optional<std::string> found = condition.check(context.Loop())) throw ActionError(*found);
          },
          std::nullopt};
}

Step Close(int endCode) {
  return OnTop("close with " + std::string(AnswerName(endCode)), [endCode](DialogDriver& top) { top.Close(endCode); });
}

Step Do(std::string description, std::function<void(DialogDriver& top)> action) {
  return OnTop(std::move(description), std::move(action));
}

}  // namespace ui::steps
