// EditSetup as a commissioning engineer starts it: Drive Setup opens, Motor Setup opens by
// itself, both close with OK (target: under 10 ms).
#include <benchmark/benchmark.h>

#include "kestrel/default_setup.h"
#include "plugin/exports.h"
#include "ui/script.h"
#include "ui/session.h"

namespace {

void BM_EditSetupBothDialogsOk(benchmark::State& state) {
  const ui::Script script = ui::Script::Parse(
      "wait-until dialog \"Brushless Motor Setup\"\nclose ok\nexpect dialog \"Drive Setup\"\nclose ok\n",
      "edit_setup_bench");
  CMC_Setup defaultSetup = kestrel::LoadDefaultSetup();
  defaultSetup.SetScaleFunctions({&GetScaleFactor, &GetScaleOffset});
  for (auto _ : state) {
    CMC_Setup setup = defaultSetup;
    ui::HeadlessSession session;
    ui::ScriptAgent user(script);
    session.Use(user);
    const int confirmed = EditSetup(&setup);
    user.CheckFinished(session.Loop());
    if (confirmed != 1) state.SkipWithError("EditSetup did not confirm");
    benchmark::DoNotOptimize(setup);
  }
}
BENCHMARK(BM_EditSetupBothDialogsOk)->Unit(benchmark::kMillisecond);

}  // namespace
