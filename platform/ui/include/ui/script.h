// Dialog scripts: text files of steps for the top-most dialog, one step per line, with # comments
// (docs/dialog-scripts.md). A script is read whole before it runs, so a faulty line is reported
// (ScriptError, with its line number) before anything happens.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/step_agent.h"

namespace ui {

class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ScriptLine {
  Step step;
  std::string place;  // "<script name>:<line number>"
};

struct Script {
  std::string name;
  std::vector<ScriptLine> lines;

  static Script Parse(std::string_view text, const std::string& name);
  static Script Load(const std::filesystem::path& file);
};

// Performs a script's steps in order.
class ScriptAgent : public StepAgent {
 public:
  explicit ScriptAgent(const Script& script);
};

}  // namespace ui
