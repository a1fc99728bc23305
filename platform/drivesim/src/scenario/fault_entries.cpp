// Fault entries of a scenario: "NAME ARGS", one fault each.
#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "drivesim/catalogue.h"
#include "drivesim/scenario.h"
#include "scenario/number_text.h"

namespace drivesim {

namespace {

class EntryError {
 public:
  explicit EntryError(std::string text) : problem(std::move(text)) {}
  std::string problem;
};

// The entry's words after the name, checked one by one.
class Arguments {
 public:
  Arguments(std::vector<std::string> words, std::string usage) : words_(std::move(words)), usage_(std::move(usage)) {}

  void Expect(std::size_t minimum, std::size_t maximum) const {
    if (words_.size() < minimum || words_.size() > maximum) throw EntryError("expected " + usage_);
  }
  std::size_t Count() const { return words_.size(); }
  const std::string& Word(std::size_t k) const { return words_[k]; }

  char Phase(std::size_t k, std::string_view allowed = "ABC") const {
    const std::string& w = words_[k];
    if (w.size() != 1 || allowed.find(w[0]) == std::string_view::npos) {
      throw EntryError("\"" + w + "\" is not one of " + std::string(allowed));
    }
    return w[0];
  }
  double Number(std::size_t k, double lo, double hi, const char* what) const {
    std::istringstream in(words_[k]);
    double value = 0.0;
    if (!(in >> value) || !in.eof() || !std::isfinite(value)) {
      throw EntryError(std::string(what) + " \"" + words_[k] + "\" is not a number");
    }
    if (value < lo || value > hi) {
      throw EntryError(std::string(what) + " " + words_[k] + " is outside " + NumberText(lo) + " … " + NumberText(hi));
    }
    return value;
  }
  const ProgramDescriptor& Program(std::size_t k) const {
    const ProgramDescriptor* program = FindProgram(words_[k]);
    if (program == nullptr) throw EntryError("the drive has no program " + words_[k]);
    return *program;
  }
  const std::string& VariableOf(const ProgramDescriptor& program, std::size_t k) const {
    const bool known = std::any_of(program.variables.begin(), program.variables.end(),
                                   [&](const ProgramVariable& v) { return v.name == words_[k]; });
    if (!known) throw EntryError("program " + program.name + " has no variable " + words_[k]);
    return words_[k];
  }

 private:
  std::vector<std::string> words_;
  std::string usage_;
};

void Apply(const std::string& name, const Arguments& args, Scenario& s) {
  Faults& f = s.faults;
  const auto usage = [&](std::size_t lo, std::size_t hi) { args.Expect(lo, hi); };
  if (name == "phase_resistance") {
    usage(2, 2);
    f.phase_resistance_factor[static_cast<std::size_t>(args.Phase(0) - 'A')] = args.Number(1, 1e-3, 1e3, "factor");
  } else if (name == "open_phase") {
    usage(1, 1);
    f.open_phase = args.Phase(0);
  } else if (name == "phase_order") {
    usage(1, 1);
    std::string order = args.Word(0);
    std::string sorted = order;
    std::sort(sorted.begin(), sorted.end());
    if (sorted != "ABC") throw EntryError("\"" + order + "\" is not an order of A, B and C");
    f.phase_order = std::array<char, 3>{order[0], order[1], order[2]};
  } else if (name == "encoder_dead" || name == "no_index") {
    usage(0, 0);
    (name == "encoder_dead" ? f.encoder_dead : f.no_index) = true;
  } else if (name == "hall_missing") {
    usage(1, 1);
    f.hall_missing = static_cast<int>(args.Phase(0, "123") - '0');
  } else if (name == "lh_missing") {
    usage(1, 1);
    f.lh_missing = args.Phase(0);
  } else if (name == "lh_stuck") {
    usage(2, 2);
    f.lh_stuck = StuckLinearHall{args.Phase(0), args.Number(1, 0.0, 5.0, "voltage")};
  } else if (name == "short") {
    usage(2, 3);
    const char from = args.Phase(0);
    const char to = args.Phase(1, "ABC+-");
    if (to == from) throw EntryError("a phase cannot be shorted to itself");
    s.short_circuit = ShortCircuitFault{from, to, args.Count() == 3 ? args.Number(2, 1e-6, 1e6, "resistance") : 0.05};
  } else if (name == "program_lacks" || name == "program_skips") {
    usage(2, 2);
    const ProgramDescriptor& program = args.Program(0);
    (name == "program_lacks" ? f.program_lacks : f.program_skips)[program.name].insert(args.VariableOf(program, 1));
  } else if (name == "program_missing") {
    usage(1, 1);
    f.program_missing.insert(args.Program(0).name);
  } else {
    throw EntryError("unknown fault");
  }
}

std::string UsageOf(const std::string& name) {
  static const std::map<std::string, std::string, std::less<>> kUsage{
      {"phase_resistance", "PHASE FACTOR"}, {"open_phase", "PHASE"}, {"phase_order", "ORDER"},
      {"encoder_dead", "no arguments"},     {"no_index", "no arguments"}, {"hall_missing", "INPUT (1, 2 or 3)"},
      {"lh_missing", "CHANNEL"},            {"lh_stuck", "CHANNEL VOLTS"}, {"short", "PHASE PHASE|+|- [OHM]"},
      {"program_lacks", "PROGRAM VARIABLE"}, {"program_skips", "PROGRAM VARIABLE"}, {"program_missing", "PROGRAM"}};
  const auto it = kUsage.find(name);
  return it == kUsage.end() ? std::string() : name + " " + it->second;
}

void Clear(std::string_view name, Scenario& s) {
  Faults& f = s.faults;
  const Faults none;
  if (name == "phase_resistance") {
    f.phase_resistance_factor = none.phase_resistance_factor;
  } else if (name == "open_phase") {
    f.open_phase.reset();
  } else if (name == "phase_order") {
    f.phase_order.reset();
  } else if (name == "encoder_dead" || name == "no_index") {
    (name == "encoder_dead" ? f.encoder_dead : f.no_index) = false;
  } else if (name == "hall_missing") {
    f.hall_missing.reset();
  } else if (name == "lh_missing") {
    f.lh_missing.reset();
  } else if (name == "lh_stuck") {
    f.lh_stuck.reset();
  } else if (name == "short") {
    s.short_circuit.reset();
  } else if (name == "program_lacks" || name == "program_skips") {
    (name == "program_lacks" ? f.program_lacks : f.program_skips).clear();
  } else if (name == "program_missing") {
    f.program_missing.clear();
  } else {
    throw EntryError("unknown fault");
  }
}

}  // namespace

Status ClearFaultEntry(std::string_view name, Scenario& scenario) {
  try {
    Clear(name, scenario);
  } catch (const EntryError& error) {
    return {"clear \"" + std::string(name) + "\": " + error.problem};
  }
  return {};
}

Status ApplyFaultEntry(std::string_view entry, Scenario& scenario) {
  std::istringstream in{std::string(entry)};
  std::string name;
  in >> name;
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  Scenario changed = scenario;
  try {
    Apply(name, Arguments(std::move(words), UsageOf(name)), changed);
  } catch (const EntryError& error) {
    return {"fault entry \"" + std::string(entry) + "\": " + error.problem};
  }
  scenario = std::move(changed);
  return {};
}

}  // namespace drivesim
