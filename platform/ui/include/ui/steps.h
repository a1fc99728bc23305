// Steps: the operations of a user agent, the same whether a C++ test or a script asks for them.
// A step acts on the top-most dialog, checks what it shows, waits, or answers the next message box.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/clock.h"
#include "ui/condition.h"
#include "ui/keyboard.h"

namespace ui {

class DialogDriver;
class StepContext;

struct Step {
  std::string description;  // "click 1050", "expect 1001 shows "Done"" ...
  std::function<void(StepContext& context)> run;
  std::optional<int> answer;  // set for an answer step, which a message box may take directly
  std::optional<unsigned> menuCommand = std::nullopt;  // set for a menu step, which a popup menu may take directly
};

namespace steps {

// How long a wait for a condition lasts, unless it says otherwise.
inline constexpr Milliseconds kDefaultWaitLimit{60'000};

Step Click(int id);
Step Type(int id, std::string text);
Step Select(int id, std::string text);
Step Select(int id, int index);
Step Check(int id, bool checked);
Step SelectTab(int id, int index);
Step SelectTab(int id, std::string label);
Step Slide(int id, int position);
Step Spin(int id, int delta);
Step Keys(KeyChord chord);
Step ContextMenu(int id);
// Chooses the command from the popup menu that the step before opened; with no popup open, sends
// the command to the top-most dialog.
Step MenuCommand(int id);
// Answers the next message box: the box shown while an earlier step runs, or the next one after.
Step Answer(int answer);
// Lets the time pass; the timers due meanwhile fire.
Step Wait(Milliseconds duration);
// Lets time pass until the condition holds; fails when it does not within `limit`.
Step WaitUntil(Condition condition, Milliseconds limit = kDefaultWaitLimit);
Step Expect(Condition condition);
Step Close(int endCode);
// Runs the test's own code on the top-most dialog.
Step Do(std::string description, std::function<void(DialogDriver& top)> action);

}  // namespace steps
}  // namespace ui
