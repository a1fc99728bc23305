#include "drivesim_link/simulator_steps.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "ui/dialog_driver.h"

namespace drivesim::link {
namespace {

constexpr double kPi = std::numbers::pi;

std::string Format(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

double ParseNumber(std::string_view word, std::string_view what) {
  double value = 0.0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data() + (word.starts_with('+') ? 1 : 0), end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) {
    throw std::invalid_argument("expected " + std::string(what) + ", found \"" + std::string(word) + "\"");
  }
  return value;
}

void Check(const std::string& problem) {
  if (!problem.empty()) throw std::invalid_argument(problem);
}

// A number with an optional unit word after it ("36 V", "36").
double Quantity(ui::StepWords& words, std::string_view what, std::initializer_list<std::string_view> units) {
  const double value = words.Number(what);
  for (std::string_view unit : units) {
    if (words.Keyword(unit)) break;
  }
  return value;
}

// A travel of the shaft: "<N> rev", "<N> deg" (or "<N>°") turn a rotary shaft, "<N> mm" moves a
// linear one. Held in rad or m.
struct Travel {
  double value = 0.0;
  bool linear = false;
  std::string unit;     // rev, deg or mm
  std::string written;  // the amount and unit as written ("1 rev")

  double InUnit(double amount) const {
    if (unit == "rev") return amount * 2.0 * kPi;
    if (unit == "deg") return amount * kPi / 180.0;
    return amount * 1e-3;
  }
};

Travel ReadTravel(ui::StepWords& words, std::string_view what) {
  std::string word = words.Word(what);
  Travel travel;
  if (word.ends_with("°")) {
    word.erase(word.size() - std::string_view("°").size());
    travel.unit = "deg";
  } else {
    travel.unit = words.Word("a unit (rev, deg or mm)");
    if (travel.unit != "rev" && travel.unit != "deg" && travel.unit != "mm") {
      throw std::invalid_argument("expected rev, deg or mm, found \"" + travel.unit + "\"");
    }
  }
  travel.linear = travel.unit == "mm";
  const double amount = ParseNumber(word, what);
  travel.value = travel.InUnit(amount);
  travel.written = Format(amount) + " " + travel.unit;
  return travel;
}

double Seconds(ui::EventLoop& loop) { return static_cast<double>(loop.Clock().Now().count()) / 1000.0; }

// The drive brought to the dialog clock's present time.
Drive& DriveNow(const DriveSource& source, ui::EventLoop& loop) {
  Drive* drive = source ? source() : nullptr;
  if (drive == nullptr) throw ui::ActionError("the drive is not simulated");
  drive->RunUntil(Seconds(loop));
  return *drive;
}

std::string KindProblem(const Drive& drive, const Travel& travel) {
  const bool linear = drive.Motor().kind == MotorKind::linear;
  if (linear == travel.linear) return {};
  return linear ? "the motor is linear: its travel is given in mm" : "the motor is rotary: its turn is given in rev or deg";
}

// A step that acts on the drive; a refused action fails the step with the drive's reason.
ui::Step Act(std::string description, DriveSource source, std::function<Status(Drive&)> act) {
  return {std::move(description),
          [source = std::move(source), act = std::move(act)](ui::StepContext& context) {
            const Status status = act(DriveNow(source, context.Loop()));
            if (!status.ok()) throw ui::ActionError(status.error);
          },
          std::nullopt};
}

ui::Step HandTurn(ui::StepWords& words, const DriveSource& source) {
  const Travel travel = ReadTravel(words, "the travel of the turn");
  if (!words.Keyword("in")) throw std::invalid_argument("expected \"in <D> s\" after the travel");
  const double duration_s = words.Number("a duration in s");
  if (!words.Keyword("s")) throw std::invalid_argument("expected the duration in s");
  if (duration_s < 0.0) throw std::invalid_argument("a turn cannot last a negative time");
  words.End();
  return Act("hand turn " + travel.written + " in " + Format(duration_s) + " s",
             source, [travel, duration_s](Drive& drive) {
               if (std::string problem = KindProblem(drive, travel); !problem.empty()) return Status{problem};
               drive.HandTurn(travel.value, duration_s);
               return Status{};
             });
}

ui::Step WaitUntilShaftTurned(ui::StepWords& words, const DriveSource& source) {
  const Travel angle = ReadTravel(words, "the angle turned");
  double tolerance = angle.linear ? 1e-4 : kPi / 180.0;  // 0.1 mm or 1°
  std::string toleranceWritten = angle.linear ? "0.1 mm" : "1 deg";
  std::string word;
  if (words.Keyword("±")) {
    word = words.Word("a tolerance");
  } else if (!words.AtEnd() && !words.StartsWith("within")) {
    word = words.Word("a tolerance (±N)");
    if (!word.starts_with("±")) throw std::invalid_argument("expected a tolerance ±N, found \"" + word + "\"");
    word.erase(0, std::string_view("±").size());
  }
  if (!word.empty()) {
    if (word.ends_with("°")) word.erase(word.size() - std::string_view("°").size());
    const double amount = std::abs(ParseNumber(word, "a tolerance"));
    tolerance = angle.InUnit(amount);
    toleranceWritten = Format(amount) + " " + angle.unit;
  }
  ui::Milliseconds limit = ui::steps::kDefaultWaitLimit;
  if (words.Keyword("within")) limit = ui::Milliseconds(words.Integer("a time in ms"));
  words.End();
  const std::string shown = "shaft turned " + angle.written + " ± " + toleranceWritten;
  return ui::steps::WaitUntil(ShaftTurned(source, angle.value, tolerance, shown), limit);
}

Drive::DigitalInput InputNamed(const std::string& name) {
  if (name == "ENABLE") return Drive::DigitalInput::enable;
  if (name == "LSP") return Drive::DigitalInput::positive_limit;
  if (name == "LSN") return Drive::DigitalInput::negative_limit;
  throw std::invalid_argument("expected ENABLE, LSP or LSN, found \"" + name + "\"");
}

ui::Step Input(ui::StepWords& words, const DriveSource& source) {
  const std::string name = words.Word("an input (ENABLE, LSP or LSN)");
  const Drive::DigitalInput input = InputNamed(name);
  const std::string level = words.Word("on or off");
  if (level != "on" && level != "off") throw std::invalid_argument("expected on or off, found \"" + level + "\"");
  words.End();
  const bool high = level == "on";
  return Act("input " + name + " " + level, source, [input, high](Drive& drive) {
    drive.SetDigitalInputLevel(input, high);
    return Status{};
  });
}

// "limit LSP|LSN at N rev|deg|mm": a limit switch that the load reaches at that load position;
// "limit LSP|LSN none" removes it.
ui::Step Limit(ui::StepWords& words, const DriveSource& source) {
  const std::string name = words.Word("a limit switch (LSP or LSN)");
  if (name != "LSP" && name != "LSN") throw std::invalid_argument("expected LSP or LSN, found \"" + name + "\"");
  const Drive::DigitalInput input = InputNamed(name);
  if (words.Keyword("none")) {
    words.End();
    return Act("limit " + name + " none", source,
               [input](Drive& drive) { return drive.SetLimitSwitchPosition(input, std::nullopt); });
  }
  if (!words.Keyword("at")) throw std::invalid_argument("expected \"at <position>\" or \"none\" after " + name);
  const Travel at = ReadTravel(words, "the load position of the switch");
  words.End();
  return Act("limit " + name + " at " + at.written, source, [input, at](Drive& drive) {
    if (std::string problem = KindProblem(drive, at); !problem.empty()) return Status{problem};
    return drive.SetLimitSwitchPosition(input, at.value);
  });
}

ui::Step Analog(ui::StepWords& words, const DriveSource& source) {
  const double from_V = Quantity(words, "a voltage", {"V"});
  double to_V = from_V;
  double duration_s = 0.0;
  if (words.Keyword("to")) {
    to_V = Quantity(words, "a voltage", {"V"});
    if (!words.Keyword("in")) throw std::invalid_argument("expected \"in <D> s\" after the voltage");
    duration_s = words.Number("a duration in s");
    if (!words.Keyword("s")) throw std::invalid_argument("expected the duration in s");
  }
  words.End();
  Check(AnalogInputProblem(from_V, duration_s));
  Check(AnalogInputProblem(to_V, duration_s));
  return Act("analog " + Format(from_V) + " V to " + Format(to_V) + " V in " + Format(duration_s) + " s", source,
             [from_V, to_V, duration_s](Drive& drive) { return drive.RampAnalogInput_V(from_V, to_V, duration_s); });
}

// A step of one value with an optional unit, checked before the script runs.
using ValueSetter = Status (Drive::*)(double);
ui::StepParser OneValue(std::string verb, std::string_view what, std::initializer_list<std::string_view> units,
                        std::string (*problem)(double), ValueSetter set, DriveSource source) {
  std::vector<std::string_view> unitList(units);
  return [=](ui::StepWords& words) {
    const double value = words.Number(what);
    for (std::string_view unit : unitList) {
      if (words.Keyword(unit)) break;
    }
    words.End();
    Check(problem(value));
    return Act(verb + " " + Format(value), source, [set, value](Drive& drive) { return (drive.*set)(value); });
  };
}

ui::Step Friction(ui::StepWords& words, const DriveSource& source) {
  const double coulomb = Quantity(words, "the Coulomb friction", {"Nm", "N"});
  std::optional<double> breakaway;
  if (words.Keyword("breakaway")) breakaway = Quantity(words, "the breakaway friction", {"Nm", "N"});
  words.End();
  Check(FrictionProblem(coulomb, breakaway));
  return Act("friction " + Format(coulomb) + (breakaway ? " breakaway " + Format(*breakaway) : ""), source,
             [coulomb, breakaway](Drive& drive) { return drive.SetFriction(coulomb, breakaway); });
}

ui::Step HandStiffness(ui::StepWords& words, const DriveSource& source) {
  const double stiffness = words.Number("a stiffness");
  const double damping = words.Number("a damping");
  words.End();
  Check(HandCouplingProblem(stiffness, damping));
  return Act("hand stiffness " + Format(stiffness) + " " + Format(damping), source,
             [stiffness, damping](Drive& drive) { return drive.SetHandCoupling(stiffness, damping); });
}

// A step without words after its phrase.
ui::StepParser Plain(std::string phrase, DriveSource source, void (Drive::*action)()) {
  return [phrase = std::move(phrase), source = std::move(source), action](ui::StepWords& words) {
    words.End();
    return Act(phrase, source, [action](Drive& drive) {
      (drive.*action)();
      return Status{};
    });
  };
}

// The rest of the line, word by word, as one text ("open_phase C").
std::string RestOfLine(ui::StepWords& words, std::string_view what) {
  std::string text = words.Word(what);
  while (!words.AtEnd()) text += " " + words.Word("a word");
  return text;
}

// "fault NAME ARGS": injects the fault from now on. The entry is checked before the script runs.
ui::Step Fault(ui::StepWords& words, const DriveSource& source) {
  const std::string entry = RestOfLine(words, "a fault (NAME ARGS)");
  Scenario scratch;
  Check(ApplyFaultEntry(entry, scratch).error);
  return Act("fault " + entry, source, [entry](Drive& drive) { return drive.InjectFault(entry); });
}

// "clear NAME": removes every fault of that name.
ui::Step ClearFault(ui::StepWords& words, const DriveSource& source) {
  const std::string name = words.Word("a fault name");
  words.End();
  Scenario scratch;
  Check(ClearFaultEntry(name, scratch).error);
  return Act("clear " + name, source, [name](Drive& drive) { return drive.ClearFault(name); });
}

}  // namespace

ui::Condition ShaftTurned(DriveSource drive, double angle, double tolerance, std::string shown) {
  return {std::move(shown), [drive = std::move(drive), angle, tolerance](ui::EventLoop& loop) -> std::optional<std::string> {
            const double turned = DriveNow(drive, loop).ShaftTurnedSinceMark();
            if (std::abs(turned - angle) <= tolerance) return std::nullopt;
            return "the shaft has turned " + Format(turned) + " since the mark";
          }};
}

void AddSimulatorSteps(ui::StepVocabulary& vocabulary, DriveSource drive) {
  const auto with = [&drive](ui::Step (*parse)(ui::StepWords&, const DriveSource&)) {
    return [parse, drive](ui::StepWords& words) { return parse(words, drive); };
  };
  vocabulary.Add("hand turn", with(HandTurn));
  vocabulary.Add("hand hold", Plain("hand hold", drive, &Drive::HandHold));
  vocabulary.Add("hand release", Plain("hand release", drive, &Drive::HandRelease));
  vocabulary.Add("hand stiffness", with(HandStiffness));
  vocabulary.Add("mark shaft", Plain("mark shaft", drive, &Drive::MarkShaft));
  vocabulary.Add("wait until shaft-turned", with(WaitUntilShaftTurned));
  vocabulary.Add("input", with(Input));
  vocabulary.Add("limit", with(Limit));
  vocabulary.Add("analog", with(Analog));
  vocabulary.Add("supply", OneValue("supply", "a voltage", {"V"}, SupplyProblem, &Drive::SetSupply_V, drive));
  vocabulary.Add("load torque",
                 OneValue("load torque", "a torque", {"Nm", "N"}, LoadProblem, &Drive::SetLoadTorque, drive));
  vocabulary.Add("load gravity",
                 OneValue("load gravity", "a torque", {"Nm", "N"}, LoadProblem, &Drive::SetLoadGravity, drive));
  vocabulary.Add("friction", with(Friction));
  vocabulary.Add("temperature", OneValue("temperature", "a temperature", {"°C", "C"}, TemperatureProblem,
                                         &Drive::SetMotorTemperature_C, drive));
  vocabulary.Add("fault", with(Fault));
  vocabulary.Add("clear", with(ClearFault));
}

}  // namespace drivesim::link
