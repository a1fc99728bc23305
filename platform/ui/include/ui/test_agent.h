// The user agent of C++ tests: steps queued in the order the user performs them, each placed
// at the test's source line for messages.
//
//   ui::TestAgent user;
//   user.Click(1050)                       // opens a child dialog ...
//       .Expect(ui::TopDialogIs("Child"))  // ... whose loop takes the next steps
//       .Close(IDOK)
//       .Close(IDCANCEL);
//   EXPECT_EQ(ui::RunWithAgent(dialog, user), IDCANCEL);
#pragma once

#include <functional>
#include <string>

#include "ui/step_agent.h"

namespace ui {

// The place in the test's source that queued a step. Like std::source_location, which not every
// compiler the project builds with provides: the builtins give the caller's file and line.
class SourcePlace {
 public:
  static constexpr SourcePlace current(const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    return SourcePlace(file, line);
  }
  constexpr const char* file_name() const { return file_; }
  constexpr int line() const { return line_; }

 private:
  constexpr SourcePlace(const char* file, int line) : file_(file), line_(line) {}
  const char* file_;
  int line_;
};

class TestAgent : public StepAgent {
 public:
  using Where = SourcePlace;

  TestAgent& Click(int id, Where where = Where::current());
  TestAgent& Type(int id, std::string text, Where where = Where::current());
  TestAgent& Select(int id, std::string text, Where where = Where::current());
  TestAgent& Select(int id, int index, Where where = Where::current());
  TestAgent& Check(int id, bool checked = true, Where where = Where::current());
  TestAgent& SelectTab(int id, int index, Where where = Where::current());
  TestAgent& SelectTab(int id, std::string label, Where where = Where::current());
  TestAgent& Slide(int id, int position, Where where = Where::current());
  TestAgent& Spin(int id, int delta, Where where = Where::current());
  TestAgent& Keys(std::string_view chord, Where where = Where::current());
  TestAgent& ContextMenu(int id, Where where = Where::current());
  TestAgent& MenuCommand(int id, Where where = Where::current());
  TestAgent& Answer(int answer, Where where = Where::current());
  // Advances the time; the timers due meanwhile fire.
  TestAgent& Wait(Milliseconds duration, Where where = Where::current());
  // Advances the time until the predicate holds on the top-most dialog; fails, naming the
  // description, when it does not within `limit`.
  TestAgent& RunUntil(std::string description, std::function<bool(DialogDriver& top)> predicate,
                      Milliseconds limit = steps::kDefaultWaitLimit, Where where = Where::current());
  TestAgent& WaitUntil(Condition condition, Milliseconds limit = steps::kDefaultWaitLimit,
                       Where where = Where::current());
  TestAgent& Expect(Condition condition, Where where = Where::current());
  TestAgent& ExpectText(int id, std::string text, Where where = Where::current());
  TestAgent& Close(int endCode, Where where = Where::current());
  // The test's own code, run on the top-most dialog at this point of the sequence.
  TestAgent& Do(std::string description, std::function<void(DialogDriver& top)> action,
                Where where = Where::current());

 private:
  TestAgent& Then(Step step, const Where& where);
};

}  // namespace ui
