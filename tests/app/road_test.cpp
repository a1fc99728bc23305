// The commissioning road run through the plug-in's EditSetup on the simulated drive: the default
// setup and motor pass every step; a motor with a fault stops the road at the step that finds it;
// a reversed encoder and another Hall wiring are found and corrected; the plan follows the setup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "commission/road.h"
#include "commission/road_runner.h"
#include "drive_options.h"
#include "host.h"
#include "run_kestrel.h"
#include "ui/session.h"

namespace kestrel::cli {
namespace {

using test_support::ScratchDirectory;

class CountedProgress : public RoadProgress {
 public:
  void StepBegan(const RoadStep&, int number, int count) override { began.emplace_back(number, count); }
  void StatusText(const std::string&) override { ++texts; }
  void StepEnded(const StepRecord&) override { ++ended; }
  std::vector<std::pair<int, int>> began;
  int texts = 0, ended = 0;
};

class NoObserver : public ui::DialogObserver {
  void DialogOpened(CDialog&) override {}
  void DialogClosed(CDialog&, int) override {}
};

std::vector<std::string> Names(const std::vector<const RoadStep*>& steps) {
  std::vector<std::string> names;
  for (const RoadStep* step : steps) names.emplace_back(step->name);
  return names;
}

bool Changed(const RoadRecord& record, const std::string& name) {
  return std::ranges::any_of(record.changes, [&](const auto& row) { return row[0] == name; });
}

class Road : public ::testing::Test {
 protected:
  Road() { host_.pluginPath = KESTREL_PLUGIN; }

  CMC_Setup Setup(const std::string& name) {
    return host_.LoadSetup(SetupSource{name.empty() ? "" : std::string(KESTREL_SETUPS_DIR) + "/" + name + ".json"});
  }

  // The whole road on the setup with the motor file (empty: the built-in motor) and a fault
  // injected into the simulated drive (empty: none).
  RoadRecord Run(CMC_Setup& setup, const std::string& motorFile = "", const std::string& fault = "",
                 const std::string& report = "", std::vector<const RoadStep*> steps = {}) {
    ui::HeadlessSession session;
    DriveConnection connection(DriveOptions{"simulator", motorFile, ""}, setup);
    if (!fault.empty()) connection.SimulatedDrive()->InjectFault(fault);
    NoObserver before;
    session.Loop().SetDialogObserver(&before);
    if (steps.empty()) steps = PlanRoad(setup, "", {});
    const RoadRecord record = RunRoad(host_.Plugin(), setup, session.Loop(), connection.SimulatedDrive(),
                                      RoadPlan{steps, report}, progress_);
    EXPECT_EQ(session.Loop().Observer(), &before);
    EXPECT_EQ(session.Loop().Agent(), nullptr);
    return record;
  }

  // The default motor's file with one text replaced (a wiring or sensor fault).
  std::string DefaultMotorWith(const std::string& from, const std::string& to) {
    std::string text = test_support::ReadText(std::string(KESTREL_MOTORS_DIR) + "/default.json");
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return scratch_.Write("motor.json", text);
  }

  Host host_;
  CountedProgress progress_;
  ScratchDirectory scratch_{"kestrel-road"};
};

TEST_F(Road, DefaultSetupPassesEveryStepAndKeepsWhatItFound) {
  CMC_Setup setup = Setup("");
  const std::string report = scratch_.Path("report").string();
  const RoadRecord record = Run(setup, "", "", report);

  ASSERT_TRUE(record.completed) << record.nextCheck;
  std::vector<std::string> run;
  for (const StepRecord& step : record.steps) {
    run.emplace_back(step.step->name);
    EXPECT_EQ(step.status, StepRecord::Status::passed) << step.step->name << ": " << step.errorText;
    EXPECT_EQ(step.outcome, "Test passed") << step.step->name;
    EXPECT_FALSE(step.statusTexts.empty()) << step.step->name;
  }
  EXPECT_EQ(run, (std::vector<std::string>{"phase", "pole-pairs", "rl", "encoder", "resolution", "hall-signals",
                                           "hall-config", "vdc", "current", "inertia", "speed", "position"}));
  EXPECT_EQ(progress_.ended, 12);
  EXPECT_EQ(progress_.began.back(), std::make_pair(12, 12));
  for (const char* name : {"R", "L", "Vdc", "Jt", "Kp_C_scl", "KPI", "Ki_C_scl", "KII", "Kp_S_scl", "KPS"}) {
    EXPECT_TRUE(Changed(record, name)) << name;
  }
  // The motor file's winding: 0.9 Ω and 1.2 mH; motor and load 2 × 3.3e-5 kg·m².
  EXPECT_NEAR(setup.GetParameterValueInBaseUnit("R"), 0.9, 0.9 * 0.015);
  EXPECT_NEAR(setup.GetParameterValueInBaseUnit("L"), 1.2e-3, 1.2e-3 * 0.01);
  EXPECT_NEAR(setup.GetParameterValueInBaseUnit("Jt"), 6.6e-5, 6.6e-5 * 0.02);

  // R and L, and the inertia, come from three runs each, the last one kept.
  const StepRecord& rl = record.steps[2];
  ASSERT_EQ(rl.runs.size(), 3u);
  EXPECT_EQ(rl.runs.back().front().name, "R");
  EXPECT_NEAR(rl.runs.back().front().value, setup.GetParameterValueInBaseUnit("R"), 1e-12);
  EXPECT_EQ(record.steps[9].runs.size(), 3u);

  // Each gain as its register pair holds it: g = K · 2^s / 32767.
  const StepRecord& current = record.steps[8];
  ASSERT_EQ(current.gains.size(), 2u);
  for (const TunedGain& gain : current.gains) {
    EXPECT_NEAR(std::stod(gain.scaledValue), double(gain.mantissaValue) * std::ldexp(1.0, int(gain.shiftValue)) / 32767,
                1e-5)
        << gain.scaled;
    EXPECT_EQ(gain.mantissaValue, std::llround(setup.GetParameterValueInInternalUnit(gain.mantissa)));
  }
  EXPECT_EQ(current.plotDirectory, "plots/09-current");
  ASSERT_FALSE(current.plots.empty());
  for (const char* extension : {".svg", ".csv"}) {
    EXPECT_TRUE(std::filesystem::exists(report + "/plots/09-current/" + current.plots.front() + extension));
  }
}

struct Fault {
  const char* what;
  const char* motorFrom;  // the default motor file's text replaced, or none
  const char* motorTo;
  const char* injected;  // a fault injected into the simulated drive, or none
  const char* stopsAt;
  const char* text;  // what the error text says
};

class RoadFault : public Road, public ::testing::WithParamInterface<Fault> {};

TEST_P(RoadFault, StopsAtTheStepThatFindsItAndKeepsWhatPassed) {
  const Fault& fault = GetParam();
  CMC_Setup setup = Setup("");
  const std::string motor = fault.motorFrom[0] != '\0' ? DefaultMotorWith(fault.motorFrom, fault.motorTo) : "";
  const RoadRecord record = Run(setup, motor, fault.injected);

  EXPECT_FALSE(record.completed);
  ASSERT_FALSE(record.steps.empty());
  const StepRecord& stopped = record.steps.back();
  EXPECT_EQ(stopped.step->name, fault.stopsAt);
  EXPECT_EQ(stopped.status, StepRecord::Status::failed);
  EXPECT_NE(stopped.errorText.find(fault.text), std::string::npos) << stopped.errorText;
  EXPECT_EQ(record.nextCheck, stopped.step->nextCheck);
  for (std::size_t i = 0; i + 1 < record.steps.size(); ++i) {
    EXPECT_EQ(record.steps[i].status, StepRecord::Status::passed) << record.steps[i].step->name;
  }
  // The steps before it were kept: R and L were identified when the road got past them.
  EXPECT_EQ(Changed(record, "R"), record.steps.size() > 3);
}

INSTANTIATE_TEST_SUITE_P(Faults, RoadFault,
                         ::testing::Values(Fault{"open_phase", "\"connection\": \"star\",",
                                                 "\"connection\": \"star\", \"open_phase\": \"B\",", "", "phase",
                                                 "one of the motor phases is disconnected"},
                                           Fault{"encoder_dead", "", "", "encoder_dead", "encoder",
                                                 "No encoder pulses have been detected."},
                                           Fault{"hall_missing", "", "", "hall_missing 2", "hall-signals",
                                                 "No transitions detected on one or more HALL"}),
                         [](const auto& test) { return std::string(test.param.what); });

// A plan made by hand may hold a step whose button the dialog does not show: the step fails with
// what the user saw, and both dialogs are still closed with OK.
TEST_F(Road, AButtonTheDialogHidesFailsItsStep) {
  CMC_Setup setup = Setup("linear");
  const RoadRecord record = Run(setup, std::string(KESTREL_MOTORS_DIR) + "/linear.json", "", "",
                                {FindRoadStep("phase"), FindRoadStep("pole-pairs"), FindRoadStep("vdc")});
  ASSERT_EQ(record.steps.size(), 2u);
  EXPECT_EQ(record.steps[0].status, StepRecord::Status::passed);
  EXPECT_EQ(record.steps[1].errorText,
            "the button \"Detect Number of Pole Pairs\" (1176) of Brushless Motor Setup is hidden");
  EXPECT_FALSE(record.completed);
}

struct Correction {
  const char* what;
  const char* motorFrom;
  const char* motorTo;
  const char* parameter;
  double corrected;
  const char* note;
};

class RoadCorrection : public Road, public ::testing::WithParamInterface<Correction> {};

TEST_P(RoadCorrection, IsFoundCorrectedInTheSetupAndNoted) {
  const Correction& correction = GetParam();
  CMC_Setup setup = Setup("");
  const RoadRecord record = Run(setup, DefaultMotorWith(correction.motorFrom, correction.motorTo));

  EXPECT_TRUE(record.completed) << record.nextCheck;
  EXPECT_EQ(setup.GetParameterValueInBaseUnit(correction.parameter), correction.corrected);
  const bool noted = std::ranges::any_of(record.steps, [&](const StepRecord& step) {
    return std::ranges::find(step.notes, std::string(correction.note)) != step.notes.end();
  });
  EXPECT_TRUE(noted) << correction.note;
}

// Hall order [1, 2, 3] not inverted is HALLCASE 2; the default motor's [3, 1, 2] inverted is 7.
INSTANTIATE_TEST_SUITE_P(
    Corrections, RoadCorrection,
    ::testing::Values(Correction{"reversed_encoder", "\"index_deg\": 123.4 }",
                                 "\"index_deg\": 123.4, \"reversed\": true }", "ReverseCounting_MT", 1.0,
                                 "the encoder counts the other way round: ReverseCounting_MT 0 → 1"},
                      Correction{"hall_wiring", "\"order\": [3, 1, 2], \"inverted\": true",
                                 "\"order\": [1, 2, 3], \"inverted\": false", "HALLCASE", 2.0,
                                 "the Hall sensors are wired in another order: HALLCASE 7 → 2"}),
    [](const auto& test) { return std::string(test.param.what); });

// The linear motor's TestMaxSpeed (107 m/s) is far beyond the 48 V ÷ 30 N/A = 1.6 m/s its supply
// can reach: a third of that is typed before the mass test starts (for its runs only: the setup
// derives TestMaxSpeed from the registers again afterwards).
TEST_F(Road, LinearMotorIdentifiesItsMassAtAReachableSpeed) {
  CMC_Setup setup = Setup("linear");
  const RoadRecord record = Run(setup, std::string(KESTREL_MOTORS_DIR) + "/linear.json");
  const auto mass =
      std::ranges::find_if(record.steps, [](const StepRecord& step) { return step.step->name == "mass"; });
  ASSERT_NE(mass, record.steps.end());
  EXPECT_EQ(mass->status, StepRecord::Status::passed) << mass->errorText;
  ASSERT_FALSE(mass->notes.empty());
  EXPECT_EQ(mass->notes.front().rfind("TestMaxSpeed typed as 0.533 m/s: ", 0), 0u) << mass->notes.front();
  // The moving part and its load: 2 × 0.6 kg.
  EXPECT_NEAR(setup.GetParameterValueInBaseUnit("Mt"), 1.2, 1.2 * 0.02);
}

struct Plan {
  const char* setup;
  const char* from;
  std::vector<std::string> only;
  std::vector<std::string> steps;  // the plan, when it is not an error
  const char* error;               // what the error says
};

class RoadPlanning : public Road, public ::testing::WithParamInterface<Plan> {};

TEST_P(RoadPlanning, FollowsTheSetupsMotorAndSensors) {
  const Plan& plan = GetParam();
  const CMC_Setup setup = Setup(plan.setup);
  if (plan.error[0] == '\0') {
    EXPECT_EQ(Names(PlanRoad(setup, plan.from, plan.only)), plan.steps);
    return;
  }
  try {
    PlanRoad(setup, plan.from, plan.only);
    ADD_FAILURE() << "no error for " << plan.error;
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find(plan.error), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Plans, RoadPlanning,
    ::testing::Values(
        Plan{"linear",
             "",
             {},
             {"phase", "rl", "encoder", "resolution", "hall-signals", "hall-config", "vdc", "current", "mass", "speed",
              "position"},
             ""},
        Plan{"sincos", "resolution", {}, {"resolution", "vdc", "current", "angle", "inertia", "speed", "position"}, ""},
        Plan{"ssi", "", {"SSI-OFFSET", "rl"}, {"rl", "ssi-offset"}, ""},
        Plan{"linear_hall",
             "",
             {},
             {"phase", "rl", "linear-hall-signals", "linear-hall-gains", "vdc", "current", "mass", "speed", "position"},
             ""},
        Plan{"linear", "", {"pole-pairs"}, {}, "--only pole-pairs: the setup's motor is linear (TransmissionType 3)"},
        Plan{"", "angle", {}, {}, "--from angle: the start mode is not the motionless start (StartMode 3)"},
        Plan{"", "bogus", {}, {}, "--from bogus: no step of the road has that name"},
        Plan{"", "speed", {"phase"}, {}, "nothing is left to run"}));

}  // namespace
}  // namespace kestrel::cli
