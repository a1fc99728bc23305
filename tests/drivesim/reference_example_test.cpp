// The reference example on the reference motor file and drive (DBT 0x5050: 1 µs of dead time):
// the register current loop compensates the dead time it programs, so the step of
// Current_Controller_Tuning_Test under the reference gains keeps the loop's overshoot (peak at
// the sixth sample) and the test protection tells 1.6 A from 2.0 A.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

constexpr std::int32_t kStep = 4910;             // In1 = trunc(1.5 A · 3273.6)
constexpr std::size_t kPointsBeforeStep = 10;

struct StepRun {
  std::int32_t testFlag = 0;
  std::vector<LogPoint> log;
};

StepRun RunReferenceStep(std::uint64_t seed, double protection_A, double switchDelay_s = 0.0, bool ideal = false) {
  DriveHardware hw = ReferenceHardware();
  // A negative delay: all of the 1 µs in the hardware, none programmed.
  hw.switch_delay_s = switchDelay_s < 0.0 ? 1e-6 : switchDelay_s;
  Scenario scenario;
  scenario.seed = seed;
  scenario.ideal_converters = ideal;
  Drive drive(hw, LoadMotorFile(std::string(KESTREL_MOTORS_DIR) + "/reference.json"), scenario);
  RegisterValues registers = ReferenceRegisters();
  registers["DBT"] = 0x5050;
  if (switchDelay_s < 0.0) registers.erase("DBT");
  EXPECT_TRUE(drive.LoadRegisters(registers).ok());
  const LoggerSettings logger{100, 2, 1, {"Current_Reference", "Motor_Current", "Voltage_Reference"}};
  const auto protection = static_cast<std::int32_t>(protection_A * kCurrentScale);
  const Status launched = drive.Launch(
      "IE_Current_Controller_Tuning_Test",
      {{"RefTest", 3264}, {"RIncTest", 33}, {"In1", kStep}, {"Imax_Prot_Test", protection}}, logger);
  EXPECT_TRUE(launched.ok()) << launched.error;
  RunProgram(drive, 5.0);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_EQ(drive.ReadVariable("MER").value_or(-1), 0);
  return {drive.ReadVariable("test_flag").value_or(0), drive.UploadLog()};
}

// Mean over seeds of the measured current at each point after the step.
std::vector<double> MeanResponse(const std::vector<std::uint64_t>& seeds, double switchDelay_s, bool ideal = false) {
  std::vector<double> mean;
  for (const std::uint64_t seed : seeds) {
    const StepRun run = RunReferenceStep(seed, 10.0, switchDelay_s, ideal);
    EXPECT_EQ(run.testFlag, 1);
    EXPECT_EQ(run.log.size(), 100u);
    mean.resize(run.log.size() - kPointsBeforeStep);
    for (std::size_t k = 0; k < mean.size(); ++k) {
      mean[k] += run.log[k + kPointsBeforeStep].values[1] / static_cast<double>(seeds.size());
    }
  }
  return mean;
}

std::vector<std::uint64_t> Seeds(std::uint64_t n) {
  std::vector<std::uint64_t> seeds;
  for (std::uint64_t s = 1; s <= n; ++s) seeds.push_back(s);
  return seeds;
}

std::size_t PeakIndex(const std::vector<double>& response) {
  return static_cast<std::size_t>(std::max_element(response.begin(), response.end()) - response.begin());
}

struct StepCase {
  const char* name;
  bool ideal;              // ideal converters: one deterministic run
  int seeds;               // noisy converters: mean over this many seeds
  double switchDelay_s;    // hardware asymmetry on top of the programmed 1 µs
  std::size_t peakSample;  // samples after the step
  double peak, tolerance;
};

class ReferenceStep : public ::testing::TestWithParam<StepCase> {};

// With the dead time compensated the step keeps the loop's overshoot: peak at the sixth sample,
// 5571 counts (13.5 %), 53 counts below the dead-time-free loop model's 5624 because the first
// period after the step is compensated in full while the current still rises through the knee.
// The noisy mean agrees within its scatter; a hardware asymmetry of 0.5 µs (0.48 V per leg) is
// not the drive's to know and damps the step.
TEST_P(ReferenceStep, PeaksWhereTheCompensatedLoopPeaks) {
  const StepCase& c = GetParam();
  const std::vector<double> mean = MeanResponse(Seeds(static_cast<std::uint64_t>(c.seeds)), c.switchDelay_s, c.ideal);
  ASSERT_FALSE(mean.empty());
  EXPECT_EQ(PeakIndex(mean), c.peakSample);
  EXPECT_NEAR(mean[PeakIndex(mean)], c.peak, c.tolerance);
  // Settled at the reference: nothing of the dead time is left in the steady state.
  double tail = 0.0;
  for (std::size_t k = 40; k < mean.size(); ++k) tail += mean[k] / static_cast<double>(mean.size() - 40);
  EXPECT_NEAR(tail, kStep, c.ideal ? 3.0 : 10.0);
}

INSTANTIATE_TEST_SUITE_P(DeadTime, ReferenceStep,
                         ::testing::Values(StepCase{"IdealConverters", true, 1, 0.0, 6, 5571.0, 2.0},
                                           StepCase{"DefaultNoise", false, 128, 0.0, 6, 5571.0, 25.0},
                                           StepCase{"HardwareSwitchDelay", true, 1, 0.5e-6, 6, 5143.0, 3.0}),
                         [](const auto& param) { return std::string(param.param.name); });

// Without DBT the drive programs and compensates no dead time: 1 µs of it in the hardware alone
// (1.28 V along phase A) damps the step so much that it no longer overshoots.
TEST(ReferenceExample, UncompensatedDeadTimeDampsTheOvershootAway) {
  const std::vector<double> response = MeanResponse(Seeds(1), -1.0, true);
  ASSERT_FALSE(response.empty());
  EXPECT_LE(response[PeakIndex(response)], kStep + 2.0);
}

struct ProtectionCase {
  double protection_A;
  std::int32_t testFlag;
};

class ReferenceProtection : public ::testing::TestWithParam<ProtectionCase> {};

TEST_P(ReferenceProtection, TripsBelowThePeakAndPassesAboveIt) {
  for (const std::uint64_t seed : {1u, 2u, 3u}) {
    const StepRun run = RunReferenceStep(seed, GetParam().protection_A);
    EXPECT_EQ(run.testFlag, GetParam().testFlag) << "seed " << seed;
    EXPECT_EQ(run.log.size() == 100u, GetParam().testFlag == 1) << "seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(TestProtectionCurrent, ReferenceProtection,
                         ::testing::Values(ProtectionCase{1.6, -1}, ProtectionCase{2.0, 1}));

}  // namespace
}  // namespace drivesim::testing
