// The commissioning road: the order in which the guideline texts of Motor Setup and Drive Setup
// lead a user through the tests (phases, pole pairs, R and L, the sensors and their resolution and
// direction, the Halls, the supply, the current loop, the inertia or mass, the speed and position
// loops), as data: each step names the dialog and the button that opens its test, whether it fits
// the setup's motor and sensors, and what to check when it fails.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "drivebase/setup.h"

namespace kestrel::cli {

// The setup dialog whose button opens a step's test.
enum class RoadDialog { motorSetup, driveSetup };

// A scaled controller gain and the register pair (mantissa, shift) the drive holds it in.
struct GainRegisters {
  std::string_view scaled, mantissa, shift;
};

struct RoadStep {
  std::string_view name;   // the test the step runs (kestrel test --list), also for --from and --only; the
                           // inertia and mass tests open from the speed test's "Identify" button
  std::string_view title;  // what the step checks, for progress and the report
  RoadDialog dialog;
  int button;              // the dialog's button that opens the test
  bool tune;               // "Tune" pressed before Start
  std::string_view nextCheck;  // what to check next when the step fails
  bool (*fits)(const CMC_Setup& setup);
  std::span<const GainRegisters> gains;  // the gains the step tunes (none for the others)
};

// Every step, in road order.
std::span<const RoadStep> Road();
// The step of that name (any case); null when there is none.
const RoadStep* FindRoadStep(std::string_view name);

// Why the step does not fit the setup, in words ("the setup's motor is linear (TransmissionType 3):
// ..."); empty when it fits.
std::string WhyStepDoesNotFit(const RoadStep& step, const CMC_Setup& setup);
// The steps of the road that do not fit the setup, each as "name: why" (a name that another entry
// of the road fits, as the resolution of either kind of encoder, is not among them).
std::vector<std::string> SkippedSteps(const CMC_Setup& setup);

// The steps to run on the setup, in road order: those that fit it, beginning at `from` (empty:
// the first), and, when `only` names steps, only those. std::invalid_argument naming the entry
// for a name no step has, for a step given with --from or --only that does not fit the setup
// (saying why), or when nothing is left to run.
std::vector<const RoadStep*> PlanRoad(const CMC_Setup& setup, std::string_view from,
                                      const std::vector<std::string>& only);

}  // namespace kestrel::cli
