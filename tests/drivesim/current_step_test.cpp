// The current step of Current_Controller_Tuning_Test on the reference motor file against the
// discrete model of the loop: the PI of the register gains on whole-count samples, a plant i/u
// sampled every PWM period, and one control period of delay (duties computed at sample k act over
// [k+1, k+2), held constant). With DBT 0x5050 (1 µs) the drive compensates the dead time it programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kStep = 4910;   // In1 = trunc(1.5 A · 3273.6)
constexpr std::size_t kBeforeStep = 10;

struct Sample {
  std::int32_t reference, measured, voltage;
};

// Discrete model of the α axis (the frame's q axis at the rest angle lies on phase A).
std::vector<Sample> DiscreteModel() {
  const double R = 0.9, decay = std::exp(-100e-6 * R / 0.0012), voltsPerUnit = 0.55 * 48.0 / 32767.0;
  const std::int64_t limit = 32767 - 2621;
  double current_A = 0.0;
  std::int64_t integral = 0;
  std::int32_t applied = 0;
  std::vector<Sample> samples;
  for (std::size_t k = 0; k < 100; ++k) {
    const auto measured = static_cast<std::int32_t>(std::round(current_A * kCurrentScale));
    const std::int32_t reference = k >= kBeforeStep ? kStep : 0;
    const std::int64_t error = reference - measured;
    integral = std::clamp<std::int64_t>(integral + 5963 * error, -(limit << 15), limit << 15);
    const std::int64_t proportional = (24226 * error * 2) >> 15;  // MulShift(24226, 1, e), floor
    const auto voltage =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(proportional + (integral >> 15), -limit, limit));
    samples.push_back({reference, measured, voltage});
    current_A = current_A * decay + applied * voltsPerUnit / R * (1.0 - decay);
    applied = voltage;
  }
  return samples;
}

struct StepOptions {
  bool ideal = true;              // ideal converters; otherwise noise from `seed`
  bool deadTime = false;          // DBT 0x5050 programmed (and compensated)
  double switchDelay_s = 0.0;     // dead time in the hardware that the drive does not know of
  std::uint64_t seed = 1;
  double protection_A = 10.0;
  double idle_s = 0.0;            // time the drive idles before the launch
};

struct StepRun {
  std::int32_t testFlag = 0;
  std::vector<LogPoint> log;
};

StepRun RunStep(const StepOptions& o) {
  DriveHardware hw = ReferenceHardware();
  hw.supply_resistance_ohm = 0.0;
  hw.switch_delay_s = o.switchDelay_s;
  Scenario scenario;
  scenario.seed = o.seed;
  scenario.ideal_converters = o.ideal;
  RegisterValues changes;
  if (o.deadTime) changes["DBT"] = 0x5050;
  Drive drive = LoadedDrive(LoadMotorFile(std::string(KESTREL_MOTORS_DIR) + "/reference.json"), scenario, changes, hw);
  drive.RunUntil(o.idle_s);
  LaunchCurrentStep(drive, static_cast<std::int32_t>(o.protection_A * kCurrentScale));
  RunProgram(drive, 5.0);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("MER"), 0) << "the test protection leaves MER clear";
  return {drive.ReadVariable("test_flag").value_or(0), drive.UploadLog()};
}

TEST(CurrentStep, EqualsTheDiscreteModelWithOnePeriodOfDelayPointByPoint) {
  const StepRun run = RunStep({});
  ASSERT_EQ(run.testFlag, 1);
  const std::vector<Sample> model = DiscreteModel();
  ASSERT_EQ(run.log.size(), model.size());
  for (std::size_t k = 0; k < model.size(); ++k) {
    SCOPED_TRACE("point " + std::to_string(k));
    EXPECT_NEAR(run.log[k].time_s, static_cast<double>(k) * 100e-6, 1e-12);
    EXPECT_EQ(run.log[k].values, (std::vector<std::int32_t>{model[k].reference, model[k].measured, model[k].voltage}));
  }
}

struct PeakCase {
  const char* name;
  StepOptions options;
  int seeds;               // mean over seeds 1 … seeds
  std::size_t peakSample;  // after the step; 0: no overshoot
  double peak, tolerance;
};

class CurrentStepPeak : public ::testing::TestWithParam<PeakCase> {};

// The reference gains overshoot by 14.5 %: 5624 counts at the sixth sample. With the dead time
// compensated the step keeps that shape, 53 counts lower (the first period after the step is
// compensated in full while the current still rises through the knee); the noisy mean agrees
// within its scatter. Dead time the drive does not know of damps the step.
TEST_P(CurrentStepPeak, PeaksWhereTheLoopPeaksAndSettlesAtTheReference) {
  const PeakCase& c = GetParam();
  std::vector<double> mean(100 - kBeforeStep);
  for (int seed = 1; seed <= c.seeds; ++seed) {
    StepOptions options = c.options;
    options.seed = static_cast<std::uint64_t>(seed);
    const StepRun run = RunStep(options);
    ASSERT_EQ(run.testFlag, 1);
    ASSERT_EQ(run.log.size(), 100u);
    for (std::size_t k = 0; k < mean.size(); ++k) mean[k] += run.log[k + kBeforeStep].values[1] / double(c.seeds);
  }
  const auto peak = std::max_element(mean.begin(), mean.end());
  if (c.peakSample == 0) {
    EXPECT_LE(*peak, kStep + c.tolerance);
  } else {
    EXPECT_EQ(peak - mean.begin(), static_cast<std::ptrdiff_t>(c.peakSample));
    EXPECT_NEAR(*peak, c.peak, c.tolerance);
  }
  // Nothing of the dead time is left in the steady state.
  double tail = 0.0;
  for (std::size_t k = 40; k < mean.size(); ++k) tail += mean[k] / static_cast<double>(mean.size() - 40);
  EXPECT_NEAR(tail, kStep, c.options.ideal ? 3.0 : 10.0);
}

INSTANTIATE_TEST_SUITE_P(
    DeadTime, CurrentStepPeak,
    ::testing::Values(PeakCase{"None", {}, 1, 6, 5624.0, 3.0},
                      PeakCase{"Compensated", {.deadTime = true}, 1, 6, 5571.0, 2.0},
                      PeakCase{"CompensatedWithNoise", {.ideal = false, .deadTime = true}, 128, 6, 5571.0, 25.0},
                      PeakCase{"HardwareSwitchDelay", {.deadTime = true, .switchDelay_s = 0.5e-6}, 1, 6, 5143.0, 3.0},
                      PeakCase{"Uncompensated", {.switchDelay_s = 1e-6}, 1, 0, 0.0, 2.0}),
    [](const auto& param) { return std::string(param.param.name); });

// The test protection tells 1.6 A from the 1.72 A peak and 2.0 A: below it the step ends at once
// with test_flag −1.
TEST(CurrentStepProtection, TripsBelowThePeakAndPassesAboveIt) {
  for (const auto& [protection_A, flag] : {std::pair{1.6, -1}, std::pair{2.0, 1}}) {
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
      const StepRun run = RunStep({.ideal = false, .deadTime = true, .seed = seed, .protection_A = protection_A});
      EXPECT_EQ(run.testFlag, flag) << protection_A << " A, seed " << seed;
      EXPECT_EQ(run.log.size() == 100u, flag == 1) << protection_A << " A, seed " << seed;
    }
  }
}

// Two runs of one seed give bit-identical logs, however long the drive idled before the launch;
// another seed gives another noise.
TEST(CurrentStepDeterminism, SameSeedGivesBitIdenticalLogsWhateverTheIdleTime) {
  const StepRun first = RunStep({.ideal = false, .deadTime = true, .seed = 7});
  const StepRun idled = RunStep({.ideal = false, .deadTime = true, .seed = 7, .idle_s = 0.7013});
  const StepRun other = RunStep({.ideal = false, .deadTime = true, .seed = 8});
  ASSERT_EQ(first.log.size(), 100u);
  ASSERT_EQ(idled.log.size(), 100u);
  bool differs = false;
  for (std::size_t k = 0; k < first.log.size(); ++k) {
    EXPECT_EQ(first.log[k].values, idled.log[k].values) << k;
    EXPECT_EQ(first.log[k].time_s, idled.log[k].time_s) << k;
    differs = differs || first.log[k].values != other.log[k].values;
  }
  EXPECT_TRUE(differs);
}

// Gains written during the test act at the next tick: with KPI and KII zeroed mid-step the
// controller output freezes at its integral.
TEST(CurrentStepGains, WrittenDuringTheTestActAtTheNextTick) {
  Drive drive = LoadedDrive();
  LaunchCurrentStep(drive, 16000, LoggerSettings{100, 2, 1, {"Voltage_Reference"}});
  while (drive.UploadLog().size() < 30 && drive.ProgramRunning()) drive.RunUntil(drive.Now_s() + 100e-6);
  ASSERT_TRUE(drive.WriteRegister("KPI", 0).ok());
  ASSERT_TRUE(drive.WriteRegister("KII", 0).ok());
  EXPECT_FALSE(drive.WriteRegister("NO_SUCH_REGISTER", 1).ok());
  const std::size_t written = drive.UploadLog().size();
  RunProgram(drive, 1.0);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 100u);
  for (std::size_t k = written + 1; k < log.size(); ++k) EXPECT_EQ(log[k].values[0], log[written].values[0]) << k;
  EXPECT_NE(log[written - 1].values[0], log[written - 2].values[0]);
}

}  // namespace
}  // namespace drivesim::testing
