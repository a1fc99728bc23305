// Dialog scripts: text files of steps for the top-most dialog, one step per line, with # comments
// (docs/dialog-scripts.md). A script is read whole before it runs, so a faulty line is reported
// (ScriptError, with its line number) before anything happens.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/step_agent.h"

namespace ui {

class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The words of one step, read in order. Every reader throws std::invalid_argument naming what it
// expected and what it found; the script turns that into a ScriptError with the line.
class StepWords {
 public:
  struct Token {
    std::string text;
    bool quoted = false;  // written in double quotes
  };
  explicit StepWords(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  bool AtEnd() const { return next_ == tokens_.size(); }
  bool NextIsText() const { return !AtEnd() && tokens_[next_].quoted; }
  bool Keyword(std::string_view word);          // takes the next word when it is `word`
  std::string Word(std::string_view what);      // the next word (not a text)
  std::string Text(std::string_view what);      // the next text in double quotes
  int Integer(std::string_view what);
  double Number(std::string_view what);         // a finite decimal number
  void End() const;                             // nothing may follow
  // Whether the next words are `phrase` (words separated by single spaces), without taking them.
  bool StartsWith(std::string_view phrase) const;
  void Skip(std::size_t words) { next_ += words; }

 private:
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
};

// Steps that a component contributes to the script language: a phrase of leading words ("hand
// turn", "wait until shaft-turned") and the parser of the words after it, which returns the step
// or throws std::invalid_argument. Phrases are matched before the built-in steps, longest first.
using StepParser = std::function<Step(StepWords& words)>;

class StepVocabulary {
 public:
  // Throws std::invalid_argument for an empty phrase, a phrase added before, or a phrase that is
  // a built-in step's word on its own (it would hide that step).
  void Add(const std::string& phrase, StepParser parser);
  // The parser whose phrase the words begin with (the longest such phrase), with the phrase's
  // number of words; null when none.
  std::pair<const StepParser*, std::size_t> Find(const StepWords& words) const;

 private:
  struct Entry {
    std::string phrase;
    std::size_t words;
    StepParser parser;
  };
  std::vector<Entry> entries_;
};

struct ScriptLine {
  Step step;
  std::string place;  // "<script name>:<line number>"
};

struct Script {
  std::string name;
  std::vector<ScriptLine> lines;

  static Script Parse(std::string_view text, const std::string& name, const StepVocabulary& vocabulary = {});
  static Script Load(const std::filesystem::path& file, const StepVocabulary& vocabulary = {});
};

// Performs a script's steps in order.
class ScriptAgent : public StepAgent {
 public:
  explicit ScriptAgent(const Script& script);
};

}  // namespace ui
