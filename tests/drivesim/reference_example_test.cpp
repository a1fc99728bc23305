// The reference example on the reference motor file and drive (DBT 0x5050: 1 µs of dead time,
// noisy ADCs): the register current loop compensates the dead time it programs, so the step of
// Current_Controller_Tuning_Test under the reference gains overshoots as the loop model says
// (peak 5624 counts at the sixth sample), and the test protection tells 1.6 A from 2.0 A.
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

StepRun RunReferenceStep(std::uint64_t seed, double protection_A, double switchDelay_s = 0.0) {
  DriveHardware hw = ReferenceHardware();
  hw.switch_delay_s = switchDelay_s;
  Scenario scenario;
  scenario.seed = seed;
  Drive drive(hw, LoadMotorFile(std::string(KESTREL_MOTORS_DIR) + "/reference.json"), scenario);
  RegisterValues registers = ReferenceRegisters();
  registers["DBT"] = 0x5050;
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
std::vector<double> MeanResponse(const std::vector<std::uint64_t>& seeds, double switchDelay_s) {
  std::vector<double> mean;
  for (const std::uint64_t seed : seeds) {
    const StepRun run = RunReferenceStep(seed, 10.0, switchDelay_s);
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

// Over 64 seeds the mean response follows the loop model (1726, 3517, 4761, 5408, 5624, 5603,
// 5488 from the second sample on) within the compensation's transient error of the first
// periods: the peak comes 17 counts (0.3 %) below the model's.
TEST(ReferenceExample, StepPeaksAt5624CountsAtTheSixthSampleWithDeadTimeAndNoise) {
  const std::vector<double> mean = MeanResponse(Seeds(64), 0.0);
  ASSERT_FALSE(mean.empty());
  EXPECT_EQ(PeakIndex(mean), 6u);
  EXPECT_NEAR(mean[6], 5624.0, 25.0);
  const double model[] = {1726, 3517, 4761, 5408, 5624, 5603, 5488, 5361, 5258};
  for (std::size_t k = 0; k < std::size(model); ++k) EXPECT_NEAR(mean[k + 2], model[k], 200.0) << "sample " << k + 2;
  // Settled at the reference: the compensation leaves no steady error beyond the noise.
  double tail = 0.0;
  for (std::size_t k = 40; k < mean.size(); ++k) tail += mean[k] / static_cast<double>(mean.size() - 40);
  EXPECT_NEAR(tail, kStep, 10.0);
}

// A switching asymmetry of the hardware is not the drive's to know: 0.5 µs of it stays a loss
// of 0.48 V per leg and damps the step.
TEST(ReferenceExample, HardwareSwitchDelayStaysUncompensated) {
  const std::vector<double> mean = MeanResponse({1, 2, 3, 4}, 0.5e-6);
  ASSERT_FALSE(mean.empty());
  EXPECT_LT(mean[PeakIndex(mean)], 5624.0 - 150.0);
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
