// The scripted user's steps in dialog scripts: each line parsed with the simulator's vocabulary,
// run at virtual time 0 on a simulated drive (ideal converters, ±10 V analogue input, ENABLE
// active high), then the drive at a later time against what the step should have done.
#include "drivesim_link/simulator_steps.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "ui/dialog_driver.h"
#include "ui/session.h"

namespace drivesim::link {
namespace {

using Ms = ui::Milliseconds;
constexpr double kPi = std::numbers::pi;

class SimulatorSteps : public ::testing::Test {
 protected:
  SimulatorSteps() {
    Scenario ideal;
    ideal.ideal_converters = true;
    drive_ = std::make_unique<Drive>(DriveHardware{}, DefaultMotor(), ideal);
    EXPECT_TRUE(drive_->LoadRegisters({{"PWMPER", 1000}, {"CLPER", 2}, {"SLPER", 20}, {"DIGIN_ACTIVE_LEVEL", 0x8000}}).ok());
    AddSimulatorSteps(vocabulary_, [this] { return drive_.get(); });
  }

  // Runs the script's steps one after the other at the present virtual time.
  void Run(const std::string& text) {
    const ui::Script script = ui::Script::Parse(text, "user.script", vocabulary_);
    for (const ui::ScriptLine& line : script.lines) {
      ui::StepContext context(session_.Loop(), agent_, line.place);
      line.step.run(context);
    }
  }

  Drive& At(double t_s) {
    session_.Clock().AdvanceTo(Ms(static_cast<long long>(t_s * 1000.0)));
    drive_->RunUntil(t_s);
    return *drive_;
  }

  ui::HeadlessSession session_;
  ui::StepAgent agent_;
  ui::StepVocabulary vocabulary_;
  std::unique_ptr<Drive> drive_;
};

struct StepCase {
  const char* name;
  const char* script;
  double at_s;
  double (*observe)(Drive&);
  double expected, tolerance;
};

class ScriptedUser : public SimulatorSteps, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ScriptedUser, StepActsOnTheDrive) {
  const StepCase& c = GetParam();
  Run(c.script);
  EXPECT_NEAR(c.observe(At(c.at_s)), c.expected, c.tolerance);
}

double Position(Drive& d) { return d.ShaftPosition(); }
double Turned(Drive& d) { return d.ShaftTurnedSinceMark(); }
double EnableInactive(Drive& d) { return d.Mer() & mer::kEnableInactive ? 1.0 : 0.0; }
double Ad5(Drive& d) { return d.ReadVariable("AD5").value_or(-1); }
double Supply(Drive& d) { return d.Motor().supply_voltage_V; }
double Temperature(Drive& d) { return d.MotorTemperature_C(); }
double OpenPhase(Drive& d) { return d.InjectedFaults().open_phase.value_or('-'); }
double MissingHall(Drive& d) { return d.InjectedFaults().hall_missing.value_or(0); }

INSTANTIATE_TEST_SUITE_P(
    Steps, ScriptedUser,
    ::testing::Values(
        StepCase{"turn_in_rev", "hand turn 1 rev in 0.5 s", 1.0, Position, 2 * kPi, 0.002},
        StepCase{"turn_in_deg_backwards", "hand turn -90° in 0.2 s", 0.5, Position, -kPi / 2, 0.002},
        StepCase{"mark_then_turn", "hand turn 1 rev in 0.2 s\nmark shaft\nhand turn 0.5 rev in 0.2 s", 1.0, Turned,
                 kPi, 0.002},
        // Held by a hand of 5 N·m/rad against 0.1 N·m: −0.02 rad, ± T_c/k_h = 0.4 mrad of friction.
        StepCase{"softer_hand_gives_way", "hand stiffness 5 0.05\nhand hold\nload torque 0.1 Nm", 0.5, Position, -0.02,
                 0.0005},
        StepCase{"released_shaft_runs_off", "hand hold\nload torque 0.1\nhand release", 0.1, Position,
                 -0.5 * (0.098 / 6.6e-5) * 0.01, 0.05 * 0.5 * (0.098 / 6.6e-5) * 0.01},
        // At rest below T_s; beyond it −½·(T − T_c)/J·t² (1 ms coasting steps: within 1 % after 100).
        StepCase{"breakaway_holds", "friction 0.01 breakaway 0.02\nload torque 0.015", 0.2, Position, 0.0, 0.0},
        StepCase{"beyond_breakaway", "friction 0.005 breakaway 0.02\nload torque 0.03", 0.1, Position,
                 -0.5 * (0.025 / 6.6e-5) * 0.01, 0.03 * 0.5 * (0.025 / 6.6e-5) * 0.01},
        StepCase{"enable_off", "input ENABLE off", 0.0, EnableInactive, 1.0, 0.0},
        // AD5 = round((V + 10)·3273.6): halfway along 0 → 5 V at 1 s of 2, 2.5 V → 40920; 5 V → 49104.
        StepCase{"potentiometer_ramp", "analog 0 V to 5 V in 2 s", 1.0, Ad5, 40920, 20},
        StepCase{"ramp_end_sampled_while_idle", "analog 0 V to 5 V in 2 s", 2.5, Ad5, 49104, 0},
        StepCase{"supply", "supply 36 V", 0.0, Supply, 36.0, 0.0},
        StepCase{"temperature", "temperature 80 °C", 0.0, Temperature, 80.0, 0.0},
        StepCase{"clear_only_that_fault", "fault hall_missing 2\nfault open_phase C\nclear open_phase", 0.0, OpenPhase,
                 '-', 0.0},
        StepCase{"other_fault_stays", "fault hall_missing 2\nfault open_phase C\nclear open_phase", 0.0, MissingHall,
                 2.0, 0.0}),
    [](const auto& param) { return std::string(param.param.name); });

struct MalformedCase {
  const char* line;
  const char* error;
};

class MalformedStep : public SimulatorSteps, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedStep, IsRefusedWithItsLineBeforeAnythingRuns) {
  try {
    ui::Script::Parse(std::string("hand hold\n") + GetParam().line, "faulty.script", vocabulary_);
    FAIL() << "no error for " << GetParam().line;
  } catch (const ui::ScriptError& error) {
    EXPECT_EQ(error.what(), std::string("faulty.script:2: ") + GetParam().error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MalformedStep,
    ::testing::Values(MalformedCase{"hand turn 1 in 2 s", "expected rev, deg or mm, found \"in\""},
                      MalformedCase{"hand turn 1 rev in 2", "expected the duration in s"},
                      MalformedCase{"hand turn 1 rev in -2 s", "a turn cannot last a negative time"},
                      MalformedCase{"hand hold tight", "unexpected \"tight\" after the step"},
                      MalformedCase{"hand stiffness 0 1", "the hand's stiffness must be positive (found 0)"},
                      MalformedCase{"input ENABLED on", "expected ENABLE, LSP or LSN, found \"ENABLED\""},
                      MalformedCase{"input LSP high", "expected on or off, found \"high\""},
                      MalformedCase{"analog 1 to 2 in -1 s",
                                    "the analogue input's ramp must not last a negative time (found -1 s)"},
                      MalformedCase{"supply -5", "the supply voltage must be positive (found -5 V)"},
                      MalformedCase{"load torque heavy", "expected a torque, found \"heavy\""},
                      MalformedCase{"friction 0.02 breakaway 0.01",
                                    "the breakaway friction must not be below the Coulomb friction (found 0.01 below 0.02)"},
                      MalformedCase{"temperature -300", "the temperature must not be below absolute zero (found -300 °C)"},
                      MalformedCase{"wait until shaft-turned 360 deg ±x", "expected a tolerance, found \"x\""},
                      MalformedCase{"fault open_phase D", "fault entry \"open_phase D\": \"D\" is not one of ABC"},
                      MalformedCase{"clear phasing", "clear \"phasing\": unknown fault"},
                      MalformedCase{"limit ENABLE at 1 rev", "expected LSP or LSN, found \"ENABLE\""},
                      MalformedCase{"limit LSP 1 rev", "expected \"at <position>\" or \"none\" after LSP"},
                      MalformedCase{"mark", "unknown step \"mark\""}));

// A mark, a turn of 1 rev in 1 s, and the user's wait for the full turn: not at 0.5 s, at 1.2 s.
TEST_F(SimulatorSteps, WaitForTheShaftToTurnSeesTheTurnAsItHappens) {
  const ui::Script script =
      ui::Script::Parse("wait until shaft-turned 360° ±2 within 3000", "user.script", vocabulary_);
  EXPECT_EQ(script.lines[0].step.description, "wait until shaft turned 360 deg ± 2 deg (at most 3000 ms)");
  Run("mark shaft\nhand turn 1 rev in 1 s");
  const ui::Condition full = ShaftTurned([this] { return drive_.get(); }, 2 * kPi, 2 * kPi / 180.0, "full turn");
  session_.Clock().AdvanceTo(Ms(500));
  EXPECT_TRUE(full.check(session_.Loop()).has_value());
  session_.Clock().AdvanceTo(Ms(1200));
  EXPECT_FALSE(full.check(session_.Loop()).has_value());
}

// A contributed phrase may neither repeat one nor hide a built-in step ("wait until shaft-turned"
// above lives beside the built-in "wait").
TEST_F(SimulatorSteps, PhrasesMayNotRepeatOrHideBuiltInSteps) {
  EXPECT_THROW(AddSimulatorSteps(vocabulary_, [] { return nullptr; }), std::invalid_argument);
  EXPECT_THROW(vocabulary_.Add("wait", [](ui::StepWords&) { return ui::Step{}; }), std::invalid_argument);
  EXPECT_EQ(ui::Script::Parse("wait 100", "user.script", vocabulary_).lines[0].step.description, "wait 100 ms");
}

TEST(SimulatorStepsOffline, FailWithoutASimulatedDrive) {
  ui::HeadlessSession session;
  ui::StepVocabulary vocabulary;
  AddSimulatorSteps(vocabulary, [] { return nullptr; });
  const ui::Script script = ui::Script::Parse("hand hold", "user.script", vocabulary);
  ui::StepAgent agent;
  ui::StepContext context(session.Loop(), agent, "user.script:1");
  EXPECT_THROW(script.lines[0].step.run(context), ui::ActionError);
}

}  // namespace
}  // namespace drivesim::link
