// The step that the setup's tuned gains predict against the simulated drive's step on the
// built-in motor: the discrete loop with its delay must tell the user what the drive will do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../compute/scaled_setup.h"
#include "compute/current_step_response.h"
#include "compute/gain_pairs.h"
#include "compute/scale_functions.h"
#include "compute/tuning.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

// The registers a test hands to the drive after "Tune" at `bandwidth` rad/s, as the test does it
// (sinusoidal voltage scale while it is open).
class TunedDefaultSetup : public kestrel::test_support::ScaledDefaultSetup {
 protected:
  void Tune(double bandwidth) {
    Set("PB_C", bandwidth);
    const int wasSinusoidal = g_bKufSinusoidalMode;
    g_bKufSinusoidalMode = 1;
    ASSERT_TRUE(TuneCurrentController(&setup));
    g_bKufSinusoidalMode = wasSinusoidal;
    for (const kestrel::GainPair& pair : {kestrel::kCurrentProportional, kestrel::kCurrentIntegral}) {
      ASSERT_EQ(kestrel::ComputeShiftRegister(&setup, pair), 1);
      ASSERT_EQ(kestrel::ComputeMantissaRegister(&setup, pair), 1);
    }
  }

  RegisterValues Gains() {
    RegisterValues gains;
    for (const char* name : {"KPI", "SFTKPI", "KII", "SFTKII"}) {
      gains[name] = static_cast<std::int32_t>(std::lround(Internal(name)));
    }
    return gains;
  }
};

class PredictedAgainstSimulated : public TunedDefaultSetup, public ::testing::WithParamInterface<double> {};

// 1.5 A (4910 counts) after 10 of 100 points, with the current noise of the built-in motor
// (one ADC step, 64 counts, per phase), for three noise seeds.
TEST_P(PredictedAgainstSimulated, OvershootAgreesWithinThreePoints) {
  Tune(GetParam());
  const kestrel::PredictedStep predicted = kestrel::PredictCurrentStep(setup, 1.5, 1e-3, 9.9e-3);
  ASSERT_TRUE(predicted.stable);
  for (const std::uint64_t seed : {1u, 2u, 3u}) {
    Scenario scenario;
    scenario.seed = seed;
    Drive drive = LoadedDrive(DefaultMotor(), scenario, Gains());
    LaunchCurrentStep(drive);
    RunProgram(drive, 5.0);
    const std::vector<LogPoint> log = drive.UploadLog();
    ASSERT_EQ(log.size(), 100u);
    std::vector<double> time_s;
    std::vector<double> current_A;
    for (const LogPoint& point : log) {
      time_s.push_back(point.time_s);
      current_A.push_back(point.values[1] / kCurrentScale);
    }
    const kestrel::StepMetrics measured =
        kestrel::MeasureStepResponse(time_s, current_A, 1e-3, 4910 / kCurrentScale);
    EXPECT_NEAR(measured.overshoot_pct, predicted.metrics.overshoot_pct, 3.0) << "seed " << seed;
    EXPECT_NEAR(measured.rise_s, predicted.metrics.rise_s, 250e-6) << "seed " << seed;  // two periods and a half
  }
}

// From well damped to a pronounced overshoot.
INSTANTIATE_TEST_SUITE_P(Bandwidths, PredictedAgainstSimulated, ::testing::Values(1000.0, 1800.0, 2500.0, 3000.0),
                         [](const auto& param) { return std::to_string(static_cast<int>(param.param)); });

}  // namespace
}  // namespace drivesim::testing
