// What a dialog runs each time it hands the setup on: every register from the user-level
// parameters, then the plug-in's ComputeAllOptions (user level derived back, limits, options and
// units), on the default setup converting through the plug-in's scales as the host holds it.
#include <benchmark/benchmark.h>

#include "compute/registers.h"
#include "kestrel/default_setup.h"
#include "plugin/exports.h"

namespace {

// Target: under 100 us per round trip.
void ComputeRegistersThenOptions(benchmark::State& state) {
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  setup.SetScaleFunctions({&GetScaleFactor, &GetScaleOffset});
  for (auto _ : state) {
    ComputeAllRegisters(&setup);
    ComputeAllOptions(&setup);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(ComputeRegistersThenOptions)->Unit(benchmark::kMicrosecond);

void ComputeRegistersOnly(benchmark::State& state) {
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  setup.SetScaleFunctions({&GetScaleFactor, &GetScaleOffset});
  for (auto _ : state) {
    ComputeAllRegisters(&setup);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(ComputeRegistersOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
