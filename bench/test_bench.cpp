// The current controller tuning test as an engineer runs it on the simulated drive: the test
// opened as Drive Setup's button opens it, "Tune", Start, the preliminary program, the step, the
// upload of its 100 points with the prediction beside them, then closed without keeping the
// gains (target: under 100 ms).
#include <benchmark/benchmark.h>

#include "commissioning/test_catalogue.h"
#include "compute/unit_scale.h"
#include "drivebase/comm.h"
#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "ui/script.h"
#include "ui/session.h"

namespace {

double PlugInFactor(CMC_Setup* setup, const char* unit, const char* name) {
  return kestrel::UnitScaleFactor(setup, unit, name);
}
double PlugInOffset(CMC_Setup* setup, const char* unit, const char*) { return kestrel::UnitScaleOffset(setup, unit); }

void BM_CurrentTestTunedOnTheSimulatedDrive(benchmark::State& state) {
  const ui::Script script = ui::Script::Parse(
      "tab 1300 1\nclick 3149\nclick 10000\nwait-until 10002 \"Test passed\"\nclose cancel\nanswer no\n", "test_bench");
  CMC_Setup defaultSetup = kestrel::LoadDefaultSetup();
  defaultSetup.SetScaleFunctions({&PlugInFactor, &PlugInOffset});
  for (auto _ : state) {
    CMC_Setup setup = defaultSetup;
    ui::HeadlessSession session;
    drivesim::link::DialogClock clock;
    const auto drive = drivesim::link::ConnectSimulator(setup, {}, clock);
    CMC_Comm::SetActiveLink(drive.get());
    ui::ScriptAgent user(script);
    session.Use(user);
    const int endCode = kestrel::RunTestAlone(&setup, "current");
    user.CheckFinished(session.Loop());
    CMC_Comm::SetActiveLink(nullptr);
    if (endCode != IDCANCEL) state.SkipWithError("the test did not end as the script closed it");
    benchmark::DoNotOptimize(setup);
  }
}
BENCHMARK(BM_CurrentTestTunedOnTheSimulatedDrive)->Unit(benchmark::kMillisecond);

}  // namespace
