#include "ui/test_agent.h"

#include <filesystem>

namespace ui {

TestAgent& TestAgent::Then(Step step, const Where& where) {
  Add(std::move(step),
      std::filesystem::path(where.file_name()).filename().string() + ":" + std::to_string(where.line()));
  return *this;
}

TestAgent& TestAgent::Click(int id, Where where) { return Then(steps::Click(id), where); }

TestAgent& TestAgent::Type(int id, std::string text, Where where) {
  return Then(steps::Type(id, std::move(text)), where);
}

TestAgent& TestAgent::Select(int id, std::string text, Where where) {
  return Then(steps::Select(id, std::move(text)), where);
}

TestAgent& TestAgent::Select(int id, int index, Where where) { return Then(steps::Select(id, index), where); }

TestAgent& TestAgent::Check(int id, bool checked, Where where) { return Then(steps::Check(id, checked), where); }

TestAgent& TestAgent::SelectTab(int id, int index, Where where) { return Then(steps::SelectTab(id, index), where); }

TestAgent& TestAgent::SelectTab(int id, std::string label, Where where) {
  return Then(steps::SelectTab(id, std::move(label)), where);
}

TestAgent& TestAgent::Slide(int id, int position, Where where) { return Then(steps::Slide(id, position), where); }

TestAgent& TestAgent::Spin(int id, int delta, Where where) { return Then(steps::Spin(id, delta), where); }

TestAgent& TestAgent::Keys(std::string_view chord, Where where) {
  return Then(steps::Keys(ParseKeyChord(chord)), where);
}

TestAgent& TestAgent::ContextMenu(int id, Where where) { return Then(steps::ContextMenu(id), where); }

TestAgent& TestAgent::MenuCommand(int id, Where where) { return Then(steps::MenuCommand(id), where); }

TestAgent& TestAgent::Answer(int answer, Where where) { return Then(steps::Answer(answer), where); }

TestAgent& TestAgent::Wait(Milliseconds duration, Where where) { return Then(steps::Wait(duration), where); }

TestAgent& TestAgent::RunUntil(std::string description, std::function<bool(DialogDriver& top)> predicate,
                               Milliseconds limit, Where where) {
  return Then(steps::WaitUntil(Holds(std::move(description), std::move(predicate)), limit), where);
}

TestAgent& TestAgent::WaitUntil(Condition condition, Milliseconds limit, Where where) {
  return Then(steps::WaitUntil(std::move(condition), limit), where);
}

TestAgent& TestAgent::Expect(Condition condition, Where where) {
  return Then(steps::Expect(std::move(condition)), where);
}

TestAgent& TestAgent::ExpectText(int id, std::string text, Where where) {
  return Expect(ControlShows(id, std::move(text)), where);
}

TestAgent& TestAgent::Close(int endCode, Where where) { return Then(steps::Close(endCode), where); }

TestAgent& TestAgent::Do(std::string description, std::function<void(DialogDriver& top)> action, Where where) {
  return Then(steps::Do(std::move(description), std::move(action)), where);
}

}  // namespace ui
