// Loading and saving the default setup, as the host does when a setup file is opened or saved.
#include <cstdint>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"

namespace {

void ParseDefaultSetup(benchmark::State& state) {
  for (auto _ : state) {
    CMC_Setup setup = drivebase::ParseSetup(kestrel::DefaultSetupText(), "default");
    benchmark::DoNotOptimize(setup);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(kestrel::DefaultSetupText().size()));
}

void SerializeDefaultSetup(benchmark::State& state) {
  const CMC_Setup setup = kestrel::LoadDefaultSetup();
  for (auto _ : state) {
    std::string text = drivebase::SerializeSetup(setup);
    benchmark::DoNotOptimize(text);
  }
}

void SaveDefaultSetupFile(benchmark::State& state) {
  const CMC_Setup setup = kestrel::LoadDefaultSetup();
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "kestrel_bench_default_setup.json";
  for (auto _ : state) drivebase::SaveSetupFile(setup, path);
  std::filesystem::remove(path);
}

}  // namespace

// Target: under 5 ms.
BENCHMARK(ParseDefaultSetup)->Unit(benchmark::kMicrosecond);
// Target: under 5 ms.
BENCHMARK(SerializeDefaultSetup)->Unit(benchmark::kMicrosecond);
// Target: under 5 ms.
BENCHMARK(SaveDefaultSetupFile)->Unit(benchmark::kMicrosecond);
