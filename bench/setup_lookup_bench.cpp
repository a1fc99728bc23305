// Parameter lookups by name in the default setup, the plug-in's most frequent host call.
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "drivebase/error_report.h"
#include "kestrel/default_setup.h"

namespace {

const CMC_Setup& DefaultSetup() {
  static const CMC_Setup setup = kestrel::LoadDefaultSetup();
  return setup;
}

void FindParameter(benchmark::State& state, std::string_view name) {
  const CMC_Setup& setup = DefaultSetup();
  for (auto _ : state) benchmark::DoNotOptimize(setup.FindParameter(name));
}

// A name that is absent, with error reporting off as plug-ins probe optional parameters.
void FindMissingParameter(benchmark::State& state) {
  const CMC_Setup& setup = DefaultSetup();
  const drivebase::ErrorReportingOff quiet;
  for (auto _ : state) benchmark::DoNotOptimize(setup.FindParameter("NoSuchParameter"));
}

// The name with its letters in alternating case, starting lower or upper: "pWm_FrEq".
std::string AlternatingCase(std::string_view name, bool upperFirst) {
  std::string spelled(name);
  for (std::size_t i = 0; i < spelled.size(); ++i) {
    const auto c = static_cast<unsigned char>(spelled[i]);
    spelled[i] = static_cast<char>((i % 2 == 0) == upperFirst ? std::toupper(c) : std::tolower(c));
  }
  return spelled;
}

// Every parameter of the default setup in turn, each spelled in a case of its own.
void FindEveryParameterInMixedCase(benchmark::State& state) {
  const CMC_Setup& setup = DefaultSetup();
  std::vector<std::string> names;
  for (const auto& parameter : setup.Parameters()) {
    names.push_back(AlternatingCase(parameter->GetName(), names.size() % 2 == 0));
  }
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(setup.FindParameter(names[next]));
    next = next + 1 == names.size() ? 0 : next + 1;
  }
  state.counters["names"] = static_cast<double>(names.size());
}

}  // namespace

// Target: under 100 ns per lookup.
BENCHMARK_CAPTURE(FindParameter, exact_spelling, "PWMPER");
// Target: under 100 ns per lookup.
BENCHMARK_CAPTURE(FindParameter, other_case_pwmper, "pwmper");
// Target: under 100 ns per lookup.
BENCHMARK_CAPTURE(FindParameter, other_case_SSI_Freq, "SSI_Freq");
// Target: under 100 ns per lookup.
BENCHMARK(FindMissingParameter);
// Target: under 100 ns per lookup.
BENCHMARK(FindEveryParameterInMixedCase);
