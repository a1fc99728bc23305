// Simulated seconds per wall-clock second of the simulated drive with the motor energised: the
// preliminary positioning program (current mode, then voltage mode with the axis on) and the
// current-controller step, both with a 10 kHz current loop on a 20 kHz PWM grid. The counter
// simulated_s_per_s is simulated seconds per second of CPU time (wall-clock time on an idle core).
#include <benchmark/benchmark.h>

#include "drivesim/drive.h"

namespace {

drivesim::RegisterValues BenchRegisters() {
  return {{"PWMPER", 1000}, {"CLPER", 2},   {"SLPER", 20},    {"SATPWM", 2621}, {"KPI", 24226},
          {"SFTKPI", 1},    {"KII", 5963},  {"SFTKII", 0},    {"FILTERQ", 32767}, {"DBT", 0x5050},
          {"REFTST", 2979}, {"RINCTST", 30}, {"T1ONA", 50}};
}

void RunToEnd(drivesim::Drive& drive) {
  while (drive.ProgramRunning()) drive.RunUntil(drive.Now_s() + 0.01);
}

void PreliminaryPositioning(benchmark::State& state) {
  const drivesim::MotorModel motor = drivesim::DefaultMotor();
  double simulated_s = 0.0;
  for (auto _ : state) {
    drivesim::Drive drive(drivesim::DriveHardware{}, motor);
    drive.LoadRegisters(BenchRegisters());
    drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}});
    RunToEnd(drive);
    simulated_s += drive.Now_s();
  }
  state.counters["simulated_s_per_s"] = benchmark::Counter(simulated_s, benchmark::Counter::kIsRate);
}
BENCHMARK(PreliminaryPositioning)->Unit(benchmark::kMillisecond);

void CurrentControllerStep(benchmark::State& state) {
  const drivesim::MotorModel motor = drivesim::DefaultMotor();
  double simulated_s = 0.0;
  for (auto _ : state) {
    drivesim::Drive drive(drivesim::DriveHardware{}, motor);
    drive.LoadRegisters(BenchRegisters());
    drive.Launch("IE_Current_Controller_Tuning_Test",
                 {{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", 16000}},
                 drivesim::LoggerSettings{100, 2, 1, {"Current_Reference", "Motor_Current", "Voltage_Reference"}});
    RunToEnd(drive);
    simulated_s += drive.Now_s();
  }
  state.counters["simulated_s_per_s"] = benchmark::Counter(simulated_s, benchmark::Counter::kIsRate);
}
BENCHMARK(CurrentControllerStep)->Unit(benchmark::kMillisecond);

}  // namespace
