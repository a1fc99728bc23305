// The step that the default setup's tuned gains predict against the simulated drive's step on
// the built-in motor, with its current noise (one ADC step of 64 counts per phase), for three
// noise seeds: a 1.5 A step (4910 counts) after 10 of 100 points.
#include <gtest/gtest.h>

#include <vector>

#include "../compute/scaled_setup.h"
#include "compute/current_step_response.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

class PredictedAgainstSimulated : public kestrel::test_support::ScaledDefaultSetup,
                                  public ::testing::WithParamInterface<double> {};

TEST_P(PredictedAgainstSimulated, OvershootAgreesWithinThreePoints) {
  Set("PB_C", GetParam());
  ASSERT_NO_FATAL_FAILURE(kestrel::test_support::TuneCurrentLoop(setup));
  RegisterValues gains;
  for (const char* name : {"KPI", "SFTKPI", "KII", "SFTKII"}) gains[name] = static_cast<std::int32_t>(std::lround(Internal(name)));
  const kestrel::PredictedStep predicted = kestrel::PredictCurrentStep(setup, 1.5, 1e-3, 9.9e-3);
  ASSERT_TRUE(predicted.stable);

  for (const std::uint64_t seed : {1u, 2u, 3u}) {
    Scenario noise;
    noise.seed = seed;
    Drive drive = LoadedDrive(DefaultMotor(), noise, gains);
    LaunchCurrentStep(drive);
    RunProgram(drive, 5.0);
    const std::vector<LogPoint> log = drive.UploadLog();
    ASSERT_EQ(log.size(), 100u);
    std::vector<double> time_s, current_A;
    for (const LogPoint& point : log) {
      time_s.push_back(point.time_s);
      current_A.push_back(point.values[1] / kCurrentScale);
    }
    const kestrel::StepMetrics measured = kestrel::MeasureStepResponse(time_s, current_A, 1e-3, 4910 / kCurrentScale);
    EXPECT_NEAR(measured.overshoot_pct, predicted.metrics.overshoot_pct, 3.0) << "seed " << seed;
    EXPECT_NEAR(measured.rise_s, predicted.metrics.rise_s, 250e-6) << "seed " << seed;  // two and a half periods
  }
}

// From well damped to a pronounced overshoot.
INSTANTIATE_TEST_SUITE_P(Bandwidths, PredictedAgainstSimulated, ::testing::Values(1000.0, 1800.0, 2500.0, 3000.0));

}  // namespace
}  // namespace drivesim::testing
