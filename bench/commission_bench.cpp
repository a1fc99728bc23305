// The whole commissioning road on the default setup and the default simulated motor, headless:
// Drive Setup through the plug-in's EditSetup, Motor Setup from its timer, every test that fits
// run and kept, both dialogs confirmed (target: under 5 s).
#include <benchmark/benchmark.h>

#include "commission/road.h"
#include "commission/road_runner.h"
#include "drivebase/comm.h"
#include "drivesim_link/simulator_link.h"
#include "host.h"
#include "ui/session.h"

namespace {

using namespace kestrel::cli;

class NoProgress final : public RoadProgress {
 public:
  void StepBegan(const RoadStep&, int, int) override {}
  void StatusText(const std::string&) override {}
  void StepEnded(const StepRecord&) override {}
};

void BM_CommissioningRoadOnTheDefaultMotor(benchmark::State& state) {
  Host host;
  const CMC_Setup defaultSetup = host.LoadSetup({});
  const std::vector<const RoadStep*> steps = PlanRoad(defaultSetup, "", {});
  NoProgress progress;
  for (auto _ : state) {
    CMC_Setup setup = defaultSetup;
    ui::HeadlessSession session;
    drivesim::link::DialogClock clock;
    const auto drive = drivesim::link::ConnectSimulator(setup, {}, clock);
    CMC_Comm::SetActiveLink(drive.get());
    const RoadRecord record =
        RunRoad(host.Plugin(), setup, session.Loop(), &drive->SimulatedDrive(), {steps, ""}, progress);
    CMC_Comm::SetActiveLink(nullptr);
    if (!record.completed) state.SkipWithError("the road stopped before its end");
    benchmark::DoNotOptimize(setup);
  }
}
BENCHMARK(BM_CommissioningRoadOnTheDefaultMotor)->Unit(benchmark::kMillisecond);

}  // namespace
