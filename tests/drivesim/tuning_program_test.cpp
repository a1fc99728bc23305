// Speed_Controller_Tuning_Test and Position_Controller_Tuning_Test_with/_without_SpdCtrl on the
// reference motor, with the profiles that the tuning tests build: the reference to the sample and
// back at exactly 0, the loops following it, the scope's frames while it runs, the test
// protection, multiple cycles until the host's stop, filter coefficients written during a run.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "compute/tuning_profile.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

using Inputs = std::map<std::string, double, std::less<>>;
using kestrel::ReferenceShape;

// The profile as the tuning tests build it (1 ms periods), as the program's inputs.
Inputs ProfileInputs(kestrel::ProfileKind kind, ReferenceShape shape, std::int64_t distance,
                     const kestrel::ProfileTimes& times) {
  const kestrel::ReferenceProfile profile = kestrel::BuildReferenceProfile(kind, shape, distance, times, 1e-3);
  EXPECT_TRUE(profile.Valid()) << profile.error;
  Inputs inputs{{"RefTest", 2979}, {"RIncTest", 30}, {"Imax_Prot_Test", 30000}, {"MultiC", 0}};
  for (std::size_t i = 0; i < profile.segments.size(); ++i) {
    inputs["a" + std::to_string(i)] = static_cast<double>(profile.segments[i].count);
    inputs["b" + std::to_string(i)] = static_cast<double>(profile.segments[i].slope);
  }
  return inputs;
}

// 77 counts a sample: 30 ms up, 200 ms, 40 ms down, 200 ms.
Inputs SpeedInputs(ReferenceShape shape = ReferenceShape::positive) {
  Inputs inputs = ProfileInputs(kestrel::ProfileKind::speed, shape, 77, {0.030, 0.200, 0.040, 0.200});
  inputs["IlimPS_Test"] = 16000;
  return inputs;
}
constexpr const char* kSpeedProgram = "IE_Speed_Controller_Tuning_Test";
const LoggerSettings kSpeedLog{600, 1, 1, {"Speed_Reference", "Load_Speed", "Current_Reference"}};

// The reference motor's commutation, the speed gains of TuneSpeedController at 200 rad/s and
// position gains at 50 rad/s: cascade (Kp 0.1, Ki 2.5e-3 per sample) or direct (third order on
// X = 2142.6 current counts per count/sample²: Kp 16.07, Ki 0.268, Kd 321.4).
Drive TunedDrive(bool cascade = true, const RegisterValues& more = {}) {
  RegisterValues r{{"ENC2THL", 2147484}, {"KPS", 27424}, {"SFTKPS", 10}, {"KIS", 21939}, {"SFTKIS", 7}};
  r.insert(more.begin(), more.end());
  if (cascade) r.insert({{"KPP", 3277}, {"KIP", 82}});
  if (!cascade) r.insert({{"KPP", 16455}, {"SFTKPP", 5}, {"KIP", 8775}, {"KDP", 20569}, {"SFTKDP", 9}});
  return LoadedDrive(ReferenceMotor(), {}, r);
}

// The reference at each logged sample (the first before the profile), 0 after it: as
// Speed_Reference shows it (rounded) or as the target's displacement (ref32 >> 16).
std::int64_t ExpectedAt(const Inputs& inputs, std::size_t sample, bool rounded) {
  std::int64_t ref16 = 0;
  for (int i = 0; i < 6 && sample > 0; ++i) {
    for (int k = 0; k < inputs.at("a" + std::to_string(i)) && sample > 0; ++k, --sample) {
      ref16 += static_cast<std::int64_t>(inputs.at("b" + std::to_string(i)));
    }
  }
  return rounded ? (ref16 + 0x8000) >> 16 : ref16 >> 16;
}

double Mean(const std::vector<LogPoint>& log, std::size_t column, std::size_t from, std::size_t to) {
  double sum = 0.0;
  for (std::size_t k = from; k < to; ++k) sum += log[k].values[column] - log[0].values[column];
  return sum / static_cast<double>(to - from);
}

struct ShapeCase {
  ReferenceShape shape;
  double firstHold;
  std::int32_t level;   // the scope's trigger on Speed_Reference, rising for a positive level
};

class SpeedTuningProgram : public ::testing::TestWithParam<ShapeCase> {};

// The logged reference is the profile to the sample and 0 after it; the speed settles on it in
// the first hold and at the end; the scope armed with the launch (Speed_Reference alone, two
// words low first) sends the 200 slow samples from 20 before the trigger, the log's own values.
TEST_P(SpeedTuningProgram, FollowsTheProfileAndReturnsToExactlyZero) {
  const ShapeCase& c = GetParam();
  Drive drive = TunedDrive();
  ASSERT_TRUE(
      drive.ArmScope({{"Speed_Reference"}, 1, 1, 200, true, ScopeTrigger{"Speed_Reference", c.level, c.level > 0, 20}})
          .ok());
  const Inputs inputs = SpeedInputs(c.shape);
  LaunchProgram(drive, kSpeedProgram, inputs, kSpeedLog);
  RunToEnd(drive);
  EXPECT_EQ(drive.ReadVariable("test_flag"), 1);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 600u);
  for (std::size_t k = 0; k < log.size(); ++k) ASSERT_EQ(log[k].values[0], ExpectedAt(inputs, k, true)) << k;
  EXPECT_NEAR(Mean(log, 1, 130, 230), c.firstHold, 1.0);
  EXPECT_NEAR(Mean(log, 1, 560, 600), 0.0, 1.0);
  std::vector<std::int32_t> scope;
  for (const UnsolicitedMessage& frame : drive.TakeUnsolicitedMessages()) {
    EXPECT_EQ(frame.words.at(3), scope.size());
    for (std::size_t w = 4; w + 1 < frame.words.size(); w += 2) {
      scope.push_back(static_cast<std::int32_t>(frame.words[w] | std::uint32_t{frame.words[w + 1]} << 16));
    }
  }
  ASSERT_EQ(scope.size(), 200u);
  std::size_t trigger = 1;
  while (c.level > 0 ? log[trigger].values[0] < c.level : log[trigger].values[0] > c.level) ++trigger;
  for (std::size_t n = 0; n < scope.size(); ++n) EXPECT_EQ(scope[n], log[trigger - 20 + n].values[0]) << n;
}

INSTANTIATE_TEST_SUITE_P(Shapes, SpeedTuningProgram,
                         ::testing::Values(ShapeCase{ReferenceShape::positive, 77.0, 73},
                                           ShapeCase{ReferenceShape::negative, -77.0, -73},
                                           ShapeCase{ReferenceShape::bidirectional, 77.0, -73}));

// Multiple cycles run until the host's stop, which ramps the current (during the alignment at
// 50 ms, the voltage) down within 20 ms and ends with test_flag 1; the log then holds the last
// complete cycle (570 samples). A protection below the acceleration current ends the run with −1.
TEST(SpeedTuningCycles, RunUntilTheHostStopsAndTheProtectionEndsThem) {
  for (const auto& [stop_s, protection, flag] : {std::tuple{0.05, 30000, 1}, {2.0, 30000, 1}, {2.0, 3000, -1}}) {
    Drive drive = TunedDrive();
    Inputs inputs = SpeedInputs();
    inputs["MultiC"] = 1;
    inputs["Imax_Prot_Test"] = protection;
    LaunchProgram(drive, kSpeedProgram, inputs, kSpeedLog);
    drive.RunUntil(stop_s);
    drive.StopProgram();
    drive.RunUntil(stop_s + 0.021);
    EXPECT_FALSE(drive.ProgramRunning());
    EXPECT_FALSE(drive.AxisOn());
    EXPECT_EQ(drive.ReadVariable("test_flag"), flag) << stop_s;
    EXPECT_EQ(drive.Mer(), 0);
    if (stop_s < 1.0 || flag < 0) continue;
    const std::vector<LogPoint> log = drive.UploadLog();
    ASSERT_EQ(log.size(), 570u);
    for (std::size_t k = 0; k < log.size(); ++k) ASSERT_EQ(log[k].values[0], ExpectedAt(inputs, k, true)) << k;
  }
}

// A coefficient written during the run acts at the next sample: the current-reference slot passes
// the controller's output (B0 = 2^30 with SF 2) until B0 is written 0.
TEST(SpeedTuningFilters, CoefficientsWrittenDuringTheRunActAtOnce) {
  Drive drive = TunedDrive(true, {{"IQREF_BQ_INI", 1}, {"BQ1B0", 1 << 30}, {"BQ1SF", 2}});
  LaunchProgram(drive, kSpeedProgram, SpeedInputs(), kSpeedLog);
  while (drive.UploadLog().size() < 150 && drive.ProgramRunning()) drive.RunUntil(drive.Now_s() + 1e-3);
  ASSERT_NE(drive.UploadLog().back().values[2], 0);
  ASSERT_TRUE(drive.WriteRegister("BQ1B0", 0).ok());
  const std::size_t written = drive.UploadLog().size();
  drive.RunUntil(drive.Now_s() + 0.01);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_GT(log.size(), written + 2);
  for (std::size_t k = written + 1; k < log.size(); ++k) EXPECT_EQ(log[k].values[2], 0) << k;
}

class PositionTuningProgram : public ::testing::TestWithParam<bool> {};

// 3001 counts out in 70 ms, 300 ms there, back in 70 ms, 300 ms: the target is the profile from
// the start position; the axis stands at the distance in the hold and back at the start at the
// end, hunting by a count or two (Coulomb friction against the integrators).
TEST_P(PositionTuningProgram, ReachesTheTargetAndComesBack) {
  const bool cascade = GetParam();
  Drive drive = TunedDrive(cascade);
  Inputs inputs = ProfileInputs(kestrel::ProfileKind::position, ReferenceShape::positive, 3001,
                                {0.070, 0.300, 0.070, 0.300});
  inputs[cascade ? "LimitSpeed_Test" : "IlimPS_Test"] = cascade ? 150 : 16000;
  LaunchProgram(drive,
                cascade ? "IE_Position_Controller_Tuning_Test_with_SpdCtrl"
                        : "IE_Position_Controller_Tuning_Test_without_SpdCtrl",
                inputs, LoggerSettings{900, 1, 1, {"Target_Position", "Load_Position"}});
  RunToEnd(drive);
  EXPECT_EQ(drive.ReadVariable("test_flag"), 1);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 900u);
  for (std::size_t k = 0; k < log.size(); ++k) {
    ASSERT_EQ(log[k].values[0] - log[0].values[0], ExpectedAt(inputs, k, false)) << k;
  }
  EXPECT_NEAR(Mean(log, 1, 270, 370), 3001.0, 2.0);
  EXPECT_NEAR(Mean(log, 1, 800, 900), 0.0, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Loops, PositionTuningProgram, ::testing::Bool(), [](const auto& param) {
  return std::string(param.param ? "WithSpeedLoop" : "WithoutSpeedLoop");
});

}  // namespace
}  // namespace drivesim::testing
