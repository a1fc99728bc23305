// The plug-in's unit conversions, which the host asks for every value it shows.
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "compute/unit_scale.h"
#include "kestrel/default_setup.h"

namespace {

// Target: under 1 us per call, over a mix of units and names of the default setup.
void GetScaleFactorOverAMix(benchmark::State& state) {
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  const std::vector<std::pair<std::string, std::string>> conversions = {
      {"A", "TestCurrent"},        {"V", "Voltage_Reference"},  {"V ", "UMAX_PROT"},
      {"V", "DeadBand_Point"},     {"s", "Ts_C"},               {"s", "time_ERR_pos"},
      {"rad", "Motor_Position"},   {"rad", "THTST"},            {"rad", "ERR_position"},
      {"rad", "APOS"},             {"m", "TestPosition"},       {"rad/s", "ASPD_MT"},
      {"rad/s", "TINCTST"},        {"rad/s", "Limit_Speed"},    {"m/s", "Load_Speed"},
      {"rad/s^2", "CACC"},         {"m/s^3", "JERK"},           {"°C", "Temp_2"},
      {"V/s", "SlewRate"},         {"A/s", "CurrentSlope"},     {"Hz", "PWM_freq"},
      {"rpm", "ASPD"}};
  std::size_t next = 0;
  for (auto _ : state) {
    const auto& [unit, name] = conversions[next];
    benchmark::DoNotOptimize(kestrel::UnitScaleFactor(&setup, unit, name));
    next = next + 1 == conversions.size() ? 0 : next + 1;
  }
}
BENCHMARK(GetScaleFactorOverAMix);

}  // namespace
