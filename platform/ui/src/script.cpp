#include "ui/script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "text.h"
#include "ui/message_box.h"

namespace ui {
namespace {

using Token = StepWords::Token;

char Unescaped(char c) {
  switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;
  }
}

// Splits a line into words and quoted texts; a # outside quotes begins a comment.
std::vector<Token> Tokenize(std::string_view line) {
  std::vector<Token> tokens;
  std::size_t at = 0;
  while (at < line.size()) {
    const char c = line[at];
    if (c == '#') break;
    if (c == ' ' || c == '\t' || c == '\r') {
      ++at;
    } else if (c == '"') {
      Token token{"", true};
      for (++at; at < line.size() && line[at] != '"'; ++at) {
        token.text += line[at] == '\\' && at + 1 < line.size() ? Unescaped(line[++at]) : line[at];
      }
      if (at == line.size()) throw std::invalid_argument("a text has no closing quote");
      ++at;
      tokens.push_back(std::move(token));
    } else {
      const std::size_t end = std::min(line.find_first_of(" \t\r\"#", at), line.size());
      tokens.push_back({std::string(line.substr(at, end - at)), false});
      at = end;
    }
  }
  return tokens;
}

// Reads the words of one step; each fault throws std::invalid_argument.
class StepReader : StepWords {
 public:
  StepReader(std::vector<Token> tokens, const StepVocabulary& vocabulary)
      : StepWords(std::move(tokens)), vocabulary_(vocabulary) {}

  Step Read() {
    if (const auto [parser, words] = vocabulary_.Find(*this); parser != nullptr) {
      Skip(words);
      return (*parser)(*this);
    }
    const std::string verb = Word("a step");
    if (verb == "click") return Finish(steps::Click(Id()));
    if (verb == "type") return TypeStep();
    if (verb == "select") return SelectStep();
    if (verb == "check") return CheckStep();
    if (verb == "tab") return TabStep();
    if (verb == "slide") return SlideStep();
    if (verb == "spin") return SpinStep();
    if (verb == "keys") return Finish(steps::Keys(ParseKeyChord(Word("a key chord"))));
    if (verb == "context") return Finish(steps::ContextMenu(Id()));
    if (verb == "menu") return Finish(steps::MenuCommand(Id()));
    if (verb == "answer") return Finish(steps::Answer(AnswerWord()));
    if (verb == "wait") return Finish(steps::Wait(Milliseconds(Integer("a time in ms"))));
    if (verb == "wait-until") return WaitUntilStep();
    if (verb == "expect") return Finish(steps::Expect(ExpectedCondition()));
    if (verb == "close") return CloseStep();
    throw std::invalid_argument("unknown step " + Quote(verb));
  }

 private:
  Step TypeStep() {
    const int id = Id();
    return Finish(steps::Type(id, Text("the text to type")));
  }
  Step SelectStep() {
    const int id = Id();
    if (NextIsText()) return Finish(steps::Select(id, Text("")));
    return Finish(steps::Select(id, Integer("an entry's text or index")));
  }
  Step CheckStep() {
    const int id = Id();
    if (AtEnd()) return Finish(steps::Check(id, true));
    const std::string state = Word("on or off");
    if (state != "on" && state != "off") throw std::invalid_argument("expected on or off, found " + Quote(state));
    return Finish(steps::Check(id, state == "on"));
  }
  Step TabStep() {
    const int id = Id();
    if (NextIsText()) return Finish(steps::SelectTab(id, Text("")));
    return Finish(steps::SelectTab(id, Integer("a tab's label or index")));
  }
  Step SlideStep() {
    const int id = Id();
    return Finish(steps::Slide(id, Integer("a position")));
  }
  Step SpinStep() {
    const int id = Id();
    return Finish(steps::Spin(id, Integer("a number of steps")));
  }
  Step CloseStep() {
    const std::string how = Word("ok or cancel");
    const std::optional<int> code = AnswerNamed(how);
    if (code != IDOK && code != IDCANCEL) throw std::invalid_argument("expected ok or cancel, found " + Quote(how));
    return Finish(steps::Close(*code));
  }
  Step WaitUntilStep() {
    Condition condition = Keyword("dialog") ? DialogOpen(Text("a caption")) : ControlShowsCondition();
    Milliseconds limit = steps::kDefaultWaitLimit;
    if (Keyword("within")) limit = Milliseconds(Integer("a time in ms"));
    return Finish(steps::WaitUntil(std::move(condition), limit));
  }

  Condition ExpectedCondition() {
    if (Keyword("box")) return LastMessageBoxSays(Text("the text of the box"));
    if (Keyword("dialog")) return TopDialogIs(Text("a caption"));
    if (Keyword("cursor")) {
      const std::string shape = Word("wait or arrow");
      if (shape != "wait" && shape != "arrow") throw std::invalid_argument("expected wait or arrow, found " + Quote(shape));
      return CursorIs(shape == "wait" ? Cursor::Wait : Cursor::Arrow);
    }
    const int id = Id();
    if (NextIsText()) return ControlShows(id, Text(""));
    if (Keyword("at")) return ControlAt(id, Integer("a position"));
    const std::string state = Word("a text or a state");
    if (state == "enabled" || state == "disabled") return ControlEnabled(id, state == "enabled");
    if (state == "visible" || state == "hidden") return ControlVisible(id, state == "visible");
    if (state == "checked" || state == "unchecked") return ControlChecked(id, state == "checked");
    if (state == "red" || state == "black") return ControlTextRed(id, state == "red");
    throw std::invalid_argument("unknown state " + Quote(state) +
                                " (expected enabled, disabled, visible, hidden, checked, unchecked, red, black or at N)");
  }

  Condition ControlShowsCondition() {
    const int id = Id();
    return ControlShows(id, Text("the text to wait for"));
  }

  int AnswerWord() {
    const std::string name = Word("an answer");
    const std::optional<int> answer = AnswerNamed(name);
    if (!answer) throw std::invalid_argument("unknown answer " + Quote(name) + " (ok, cancel, yes, no, abort, retry, ignore)");
    return *answer;
  }

  int Id() { return Integer("a control id"); }

  Step Finish(Step step) {
    End();
    return step;
  }

  const StepVocabulary& vocabulary_;
};

// The built-in steps' words, which a contributed phrase of one word may not hide.
constexpr std::string_view kBuiltInWords[] = {"click", "type",  "select", "check", "tab",        "slide",  "spin", "keys",
                                              "context", "menu", "answer", "wait", "wait-until", "expect", "close"};

}  // namespace

bool StepWords::Keyword(std::string_view word) {
  if (AtEnd() || tokens_[next_].quoted || tokens_[next_].text != word) return false;
  ++next_;
  return true;
}

std::string StepWords::Word(std::string_view what) {
  if (AtEnd()) throw std::invalid_argument("expected " + std::string(what) + " at the end of the line");
  const Token& token = tokens_[next_++];
  if (token.quoted) throw std::invalid_argument("expected " + std::string(what) + ", found the text " + Quote(token.text));
  return token.text;
}

std::string StepWords::Text(std::string_view what) {
  if (AtEnd()) throw std::invalid_argument("expected " + std::string(what) + " at the end of the line");
  const Token& token = tokens_[next_++];
  if (!token.quoted) throw std::invalid_argument("expected " + std::string(what) + " in double quotes, found " + token.text);
  return token.text;
}

int StepWords::Integer(std::string_view what) {
  const std::string word = Word(what);
  int value = 0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data() + (word.starts_with('+') ? 1 : 0), end, value);
  if (error != std::errc() || stop != end) throw std::invalid_argument("expected " + std::string(what) + ", found " + Quote(word));
  return value;
}

double StepWords::Number(std::string_view what) {
  const std::string word = Word(what);
  double value = 0.0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data() + (word.starts_with('+') ? 1 : 0), end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) {
    throw std::invalid_argument("expected " + std::string(what) + ", found " + Quote(word));
  }
  return value;
}

void StepWords::End() const {
  if (!AtEnd()) throw std::invalid_argument("unexpected " + Quote(tokens_[next_].text) + " after the step");
}

bool StepWords::StartsWith(std::string_view phrase) const {
  std::size_t at = next_;
  for (std::size_t start = 0; start <= phrase.size();) {
    const std::size_t end = std::min(phrase.find(' ', start), phrase.size());
    if (at == tokens_.size() || tokens_[at].quoted || tokens_[at].text != phrase.substr(start, end - start)) return false;
    ++at;
    start = end + 1;
  }
  return true;
}

void StepVocabulary::Add(const std::string& phrase, StepParser parser) {
  if (phrase.empty()) throw std::invalid_argument("a contributed step needs a phrase");
  const std::size_t words = static_cast<std::size_t>(std::count(phrase.begin(), phrase.end(), ' ')) + 1;
  for (std::string_view builtIn : kBuiltInWords) {
    if (phrase == builtIn) throw std::invalid_argument("the step " + Quote(phrase) + " is built in");
  }
  for (const Entry& entry : entries_) {
    if (entry.phrase == phrase) throw std::invalid_argument("the step " + Quote(phrase) + " is contributed twice");
  }
  entries_.push_back({phrase, words, std::move(parser)});
}

std::pair<const StepParser*, std::size_t> StepVocabulary::Find(const StepWords& words) const {
  const Entry* best = nullptr;
  for (const Entry& entry : entries_) {
    if (words.StartsWith(entry.phrase) && (best == nullptr || entry.words > best->words)) best = &entry;
  }
  if (best == nullptr) return {nullptr, 0};
  return {&best->parser, best->words};
}

Script Script::Parse(std::string_view text, const std::string& name, const StepVocabulary& vocabulary) {
  Script script{name, {}};
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start <= text.size(); ++lineNumber) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string place = name + ":" + std::to_string(lineNumber + 1);
    try {
      std::vector<Token> tokens = Tokenize(text.substr(start, end - start));
      if (!tokens.empty()) script.lines.push_back({StepReader(std::move(tokens), vocabulary).Read(), place});
    } catch (const std::invalid_argument& error) {
      throw ScriptError(place + ": " + error.what());
    }
    start = end + 1;
  }
  return script;
}

Script Script::Load(const std::filesystem::path& file, const StepVocabulary& vocabulary) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ScriptError(file.string() + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str(), file.string(), vocabulary);
}

ScriptAgent::ScriptAgent(const Script& script) {
  for (const ScriptLine& line : script.lines) Add(line.step, line.place);
}

}  // namespace ui
