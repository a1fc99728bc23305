// Runs the commissioning road through the plug-in's EditSetup, as a user would: Drive Setup
// opens and its timer opens Motor Setup; at each step the user presses the step's button, runs
// the test that opens (Tune first where the step tunes, Start, a hand on the motor where the test
// asks for it), closes it and answers Yes to keep what it found; Motor Setup and Drive Setup are
// closed with OK at the end. The first step that fails stops the road: the dialogs are closed
// with OK so that the steps that passed are kept.
#pragma once

#include <string>
#include <vector>

#include "commission/road_record.h"
#include "plugin_library.h"

namespace drivesim {
class Drive;
}
namespace ui {
class EventLoop;
}

namespace kestrel::cli {

// Told as the road goes: a step begins, its test shows a progress text, a step ends.
class RoadProgress {
 public:
  virtual ~RoadProgress() = default;
  virtual void StepBegan(const RoadStep& step, int number, int count) = 0;
  virtual void StatusText(const std::string& text) = 0;
  virtual void StepEnded(const StepRecord& record) = 0;
  // Asked before each step begins: true ends the road there, as a step that failed would (the
  // steps that passed are kept, the dialogs closed with OK), with no step failed. A host whose
  // user may stop the road (the Stop of kestrel gui) answers it; by default the road runs on.
  virtual bool StopRequested() { return false; }
};

struct RoadPlan {
  std::vector<const RoadStep*> steps;  // PlanRoad's
  std::string reportDirectory;         // where each step's plots are saved; empty: none saved
};

// Runs the plan on the setup (edited in place; the caller writes it) on the session's loop and the
// drive connected; `simulated` is the simulated drive the user's hand acts on (null: none). The
// record's setup, drive and written-to fields are the caller's to fill.
RoadRecord RunRoad(const PluginExports& plugin, CMC_Setup& setup, ui::EventLoop& loop, drivesim::Drive* simulated,
                   const RoadPlan& plan, RoadProgress& progress);

}  // namespace kestrel::cli
