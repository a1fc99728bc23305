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

// One kind of fault: its name, its arguments, how an entry sets it and how it is cleared.
struct FaultKind {
  std::string_view name;
  std::string_view usage;
  std::size_t minArguments, maxArguments;
  void (*apply)(const Arguments& args, Scenario& s);
  void (*clear)(Scenario& s);
};

const Faults kNoFaults;

constexpr FaultKind kFaultKinds[] = {
    {"phase_resistance", "PHASE FACTOR", 2, 2,
     [](const Arguments& a, Scenario& s) {
       s.faults.phase_resistance_factor[static_cast<std::size_t>(a.Phase(0) - 'A')] = a.Number(1, 1e-3, 1e3, "factor");
     },
     [](Scenario& s) { s.faults.phase_resistance_factor = kNoFaults.phase_resistance_factor; }},
    {"open_phase", "PHASE", 1, 1, [](const Arguments& a, Scenario& s) { s.faults.open_phase = a.Phase(0); },
     [](Scenario& s) { s.faults.open_phase.reset(); }},
    {"phase_order", "ORDER", 1, 1,
     [](const Arguments& a, Scenario& s) {
       const std::string& order = a.Word(0);
       std::string sorted = order;
       std::sort(sorted.begin(), sorted.end());
       if (sorted != "ABC") throw EntryError("\"" + order + "\" is not an order of A, B and C");
       s.faults.phase_order = std::array<char, 3>{order[0], order[1], order[2]};
     },
     [](Scenario& s) { s.faults.phase_order.reset(); }},
    {"encoder_dead", "no arguments", 0, 0, [](const Arguments&, Scenario& s) { s.faults.encoder_dead = true; },
     [](Scenario& s) { s.faults.encoder_dead = false; }},
    {"no_index", "no arguments", 0, 0, [](const Arguments&, Scenario& s) { s.faults.no_index = true; },
     [](Scenario& s) { s.faults.no_index = false; }},
    {"hall_missing", "INPUT (1, 2 or 3)", 1, 1,
     [](const Arguments& a, Scenario& s) { s.faults.hall_missing = static_cast<int>(a.Phase(0, "123") - '0'); },
     [](Scenario& s) { s.faults.hall_missing.reset(); }},
    {"lh_missing", "CHANNEL", 1, 1, [](const Arguments& a, Scenario& s) { s.faults.lh_missing = a.Phase(0); },
     [](Scenario& s) { s.faults.lh_missing.reset(); }},
    {"lh_stuck", "CHANNEL VOLTS", 2, 2,
     [](const Arguments& a, Scenario& s) {
       s.faults.lh_stuck = StuckLinearHall{a.Phase(0), a.Number(1, 0.0, 5.0, "voltage")};
     },
     [](Scenario& s) { s.faults.lh_stuck.reset(); }},
    {"short", "PHASE PHASE|+|- [OHM]", 2, 3,
     [](const Arguments& a, Scenario& s) {
       const char from = a.Phase(0);
       const char to = a.Phase(1, "ABC+-");
       if (to == from) throw EntryError("a phase cannot be shorted to itself");
       s.short_circuit = ShortCircuitFault{from, to, a.Count() == 3 ? a.Number(2, 1e-6, 1e6, "resistance") : 0.05};
     },
     [](Scenario& s) { s.short_circuit.reset(); }},
    {"program_lacks", "PROGRAM VARIABLE", 2, 2,
     [](const Arguments& a, Scenario& s) {
       const ProgramDescriptor& program = a.Program(0);
       s.faults.program_lacks[program.name].insert(a.VariableOf(program, 1));
     },
     [](Scenario& s) { s.faults.program_lacks.clear(); }},
    {"program_skips", "PROGRAM VARIABLE", 2, 2,
     [](const Arguments& a, Scenario& s) {
       const ProgramDescriptor& program = a.Program(0);
       s.faults.program_skips[program.name].insert(a.VariableOf(program, 1));
     },
     [](Scenario& s) { s.faults.program_skips.clear(); }},
    {"program_missing", "PROGRAM", 1, 1,
     [](const Arguments& a, Scenario& s) { s.faults.program_missing.insert(a.Program(0).name); },
     [](Scenario& s) { s.faults.program_missing.clear(); }},
};

const FaultKind& KindNamed(std::string_view name) {
  for (const FaultKind& kind : kFaultKinds) {
    if (kind.name == name) return kind;
  }
  throw EntryError("unknown fault");
}

}  // namespace

Status ClearFaultEntry(std::string_view name, Scenario& scenario) {
  try {
    KindNamed(name).clear(scenario);
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
    const FaultKind& kind = KindNamed(name);
    const Arguments args(std::move(words), name + " " + std::string(kind.usage));
    args.Expect(kind.minArguments, kind.maxArguments);
    kind.apply(args, changed);
  } catch (const EntryError& error) {
    return {"fault entry \"" + std::string(entry) + "\": " + error.problem};
  }
  scenario = std::move(changed);
  return {};
}

}  // namespace drivesim
