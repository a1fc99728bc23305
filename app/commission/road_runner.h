// Runs the commissioning road through the plug-in's EditSetup, as a user would: Drive Setup
// opens and its timer opens Motor Setup; at each step the user presses the step's button, runs
// the test that opens (Tune first where the step tunes, Start, a hand on the motor where the test
// asks for it), closes it and answers Yes to keep what it found; Motor Setup and Drive Setup are
// closed with OK at the end. The first step that fails stops the road: the dialogs are closed
// with OK so that the steps that passed are kept.
//
// For a caller:
// - RunRoad puts its own user agent and dialog observer on the loop while the road runs and the
//   previous ones back when it returns or throws; the previous observer is told of every dialog.
// - The agent answers message boxes as the loop's HeadlessMessageBoxes ask it (EventLoop::
//   SetUserAgent makes it their answerer): the message-box presenter in use must be the loop's.
// - It lets time pass with EventLoop::AdvanceTo; on a real-time clock that waits on the loop's
//   thread until the next timer is due. Progress is told on that thread.
// - A step that cannot be finished fails with a text (a test still running after
//   CarefulUser::kRunLimit, a message box or dialog it did not expect); only a dialog that does not
//   close within RoadUser::kCloseLimit after the user closed it throws (std::runtime_error).
// - Without a simulated drive nobody turns the shaft: the connection tests that need a hand on
//   the motor fail, and so does the pole pairs step, which needs a user who watches the shaft.
// - With a report directory each step's plots go to DIR/plots/NN-step (the plot directory is put
//   back afterwards); plots of an earlier road in those folders are removed.
// - A TestMaxSpeed typed in the inertia or mass test lasts for its runs only: the
//   setup derives TestMaxSpeed from its registers whenever both layers are brought to agree.
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
