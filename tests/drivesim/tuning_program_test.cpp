// Speed_Controller_Tuning_Test and Position_Controller_Tuning_Test_with/_without_SpdCtrl on the
// reference motor: the six-segment profile as the tuning tests build it (counts from the ramp and
// hold times, slopes in 16.16 with a correcting last period so that the reference returns to
// exactly 0), the loops following it, multiple cycles until the host's stop, the test protection,
// and the scope frames sent while the program runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

using Inputs = std::map<std::string, double, std::less<>>;

// The Positive shape: ramp to `distance` in `ramp` periods, hold `hold`, back to 0 likewise. The
// speed profile's first ramp segment has ramp − 1 periods (ramp when 1), the position profile's
// always ramp − 1; a one-period segment completes each ramp exactly.
Inputs PositiveProfile(double distance, double ramp, double hold, bool position) {
  const auto slope = [](double x, double n) { return std::floor(x / n * 65536.0 + 0.5); };
  const double first = position || ramp > 1 ? ramp - 1 : ramp;
  const double b0 = slope(distance, ramp), b3 = slope(-distance, ramp);
  const double counts[6] = {first, 1, hold, first, 1, hold};
  const double slopes[6] = {b0, distance * 65536.0 - b0 * first, 0, b3, -distance * 65536.0 - b3 * first, 0};
  Inputs inputs;
  for (int i = 0; i < 6; ++i) {
    inputs["a" + std::to_string(i)] = counts[i];
    inputs["b" + std::to_string(i)] = slopes[i];
  }
  return inputs;
}

// The reference motor's registers: its commutation, the speed gains of TuneSpeedController at
// 200 rad/s and position gains at 50 rad/s, cascade (Kp 0.1, Ki 2.5e-3 per sample) or direct
// (third order on X = 2142.6 current counts per count/sample²: Kp 16.07, Ki 0.268, Kd 321.4).
RegisterValues TunedRegisters(bool cascade) {
  RegisterValues r{{"ENC2THL", 2147484}, {"KPS", 27424}, {"SFTKPS", 10}, {"KIS", 21939}, {"SFTKIS", 7}};
  const RegisterValues position = cascade ? RegisterValues{{"KPP", 3277}, {"SFTKPP", 0}, {"KIP", 82}, {"SFTKIP", 0}}
                                          : RegisterValues{{"KPP", 16455}, {"SFTKPP", 5}, {"KIP", 8775},
                                                           {"SFTKIP", 0},   {"KDP", 20569},  {"SFTKDP", 9}};
  r.insert(position.begin(), position.end());
  return r;
}

struct TuningRun {
  std::string program;
  Inputs inputs;
  LoggerSettings logger;
};

TuningRun SpeedRun(double speed, int multiCycle = 0) {
  Inputs inputs = PositiveProfile(speed, 30, 200, false);
  inputs.insert({{"RefTest", 2979}, {"RIncTest", 30}, {"IlimPS_Test", 16000}, {"Imax_Prot_Test", 30000},
                 {"MultiC", multiCycle}});
  return {"IE_Speed_Controller_Tuning_Test", inputs,
          {600, 1, 1, {"Speed_Reference", "Load_Speed", "Current_Reference", "Motor_Current"}}};
}

// The reference each period, rounded as the drive shows Speed_Reference (or the displacement).
std::vector<std::int64_t> ExpectedReference(const Inputs& inputs, bool rounded) {
  std::vector<std::int64_t> reference{0};
  std::int64_t ref16 = 0;
  for (int i = 0; i < 6; ++i) {
    for (int k = 0; k < inputs.at("a" + std::to_string(i)); ++k) {
      ref16 += static_cast<std::int64_t>(inputs.at("b" + std::to_string(i)));
      reference.push_back(rounded ? (ref16 + 0x8000) >> 16 : ref16 >> 16);
    }
  }
  return reference;
}

// The speed profile (77 counts a sample, 30-sample ramps): the logged reference is the profile
// to the sample and back at exactly 0, the speed settles on it within a count in each hold.
TEST(SpeedTuningProgram, FollowsTheProfileAndReturnsToExactlyZero) {
  Drive drive = LoadedDrive(ReferenceMotor(), {}, TunedRegisters(true));
  const TuningRun run = SpeedRun(77);
  LaunchProgram(drive, run.program, run.inputs, run.logger);
  RunProgram(drive, 5.0);
  EXPECT_EQ(drive.ReadVariable("test_flag"), 1);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.Mer(), 0);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 600u);
  const std::vector<std::int64_t> expected = ExpectedReference(run.inputs, true);
  ASSERT_EQ(expected.size(), 461u);
  for (std::size_t k = 0; k < log.size(); ++k) {
    ASSERT_EQ(log[k].values[0], k < expected.size() ? expected[k] : 0) << "sample " << k;
  }
  const auto meanSpeed = [&](std::size_t from, std::size_t to) {
    double sum = 0.0;
    for (std::size_t k = from; k < to; ++k) sum += log[k].values[1];
    return sum / static_cast<double>(to - from);
  };
  EXPECT_NEAR(meanSpeed(130, 230), 77.0, 1.0);
  EXPECT_NEAR(meanSpeed(500, 600), 0.0, 1.0);
}

// Multiple cycles run until the host's stop; the stop ramps the current down within 20 ms and
// ends with test_flag 1; the log then holds the last complete cycle (560 samples from its start).
TEST(SpeedTuningProgram, MultipleCyclesRunUntilTheHostStops) {
  Drive drive = LoadedDrive(ReferenceMotor(), {}, TunedRegisters(true));
  const TuningRun run = SpeedRun(77, 1);
  LaunchProgram(drive, run.program, run.inputs, run.logger);
  drive.RunUntil(2.0);
  ASSERT_TRUE(drive.ProgramRunning());
  EXPECT_TRUE(drive.AxisOn());
  drive.StopProgram();
  drive.RunUntil(2.0 + 0.021);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("test_flag"), 1);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 560u);
  const std::vector<std::int64_t> expected = ExpectedReference(run.inputs, true);
  for (std::size_t k = 0; k < log.size(); ++k) {
    ASSERT_EQ(log[k].values[0], k < expected.size() ? expected[k] : 0) << "sample " << k;
  }
}

// The protection below the acceleration current ends the run at once with test_flag −1 and
// leaves MER clear.
TEST(SpeedTuningProgram, TestProtectionEndsTheRun) {
  Drive drive = LoadedDrive(ReferenceMotor(), {}, TunedRegisters(true));
  TuningRun run = SpeedRun(150);
  run.inputs["Imax_Prot_Test"] = 3000;
  LaunchProgram(drive, run.program, run.inputs, run.logger);
  RunProgram(drive, 5.0);
  EXPECT_EQ(drive.ReadVariable("test_flag"), -1);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.Mer(), 0);
}

// The scope armed with the launch sends its frames while the program runs: a single window of 200 slow samples
// triggered where the speed reference rises through 73 (95 % of 77), 20 samples before it.
TEST(SpeedTuningProgram, ScopeFramesFlowWhileTheProgramRuns) {
  Drive drive = LoadedDrive(ReferenceMotor(), {}, TunedRegisters(true));
  const TuningRun run = SpeedRun(77);
  const std::vector<std::string> channels{"Speed_Reference", "Load_Speed"};
  ASSERT_TRUE(drive.ArmScope({channels, 1, 1, 200, true, ScopeTrigger{"Speed_Reference", 73, true, 20}}).ok());
  LaunchProgram(drive, run.program, run.inputs, run.logger);
  RunProgram(drive, 5.0);
  EXPECT_FALSE(drive.ScopeRunning());
  std::vector<std::int32_t> reference;
  for (const UnsolicitedMessage& frame : drive.TakeUnsolicitedMessages()) {
    ASSERT_EQ(frame.words.at(2), 0xE900);
    EXPECT_EQ(frame.words.at(3), reference.size());
    std::size_t w = 4;
    while (w < frame.words.size()) {
      for (const std::string& channel : channels) {
        const std::uint32_t low = frame.words.at(w++);
        const std::int32_t value = drive.WordsOf(channel) == 2
                                       ? static_cast<std::int32_t>(low | std::uint32_t{frame.words.at(w++)} << 16)
                                       : static_cast<std::int16_t>(low);
        if (channel == channels[0]) reference.push_back(value);
      }
    }
  }
  ASSERT_EQ(reference.size(), 200u);
  EXPECT_LT(reference[19], 73);
  EXPECT_GE(reference[20], 73);
  EXPECT_EQ(reference[199], 77);
}

// A filter coefficient written while the program runs acts at the next sample: the current-
// reference slot passes the controller's output (B0 = 2^30 with SF 2) until B0 is written 0.
TEST(SpeedTuningProgram, FilterCoefficientsWrittenDuringTheRunActAtOnce) {
  RegisterValues registers = TunedRegisters(true);
  registers.insert({{"IQREF_BQ_INI", 1}, {"BQ1B0", 1 << 30}, {"BQ1SF", 2}});
  Drive drive = LoadedDrive(ReferenceMotor(), {}, registers);
  const TuningRun run = SpeedRun(77);
  LaunchProgram(drive, run.program, run.inputs, run.logger);
  while (drive.UploadLog().size() < 150 && drive.ProgramRunning()) drive.RunUntil(drive.Now_s() + 1e-3);
  ASSERT_NE(drive.UploadLog().back().values[2], 0);
  ASSERT_TRUE(drive.WriteRegister("BQ1B0", 0).ok());
  const std::size_t written = drive.UploadLog().size();
  drive.RunUntil(drive.Now_s() + 0.01);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_GT(log.size(), written + 2);
  for (std::size_t k = written + 1; k < log.size(); ++k) EXPECT_EQ(log[k].values[2], 0) << k;
}

struct PositionCase {
  const char* program;
  bool cascade;
  const char* limit;
  double limitValue;
  std::vector<std::string> logged;
};

class PositionTuningProgram : public ::testing::TestWithParam<PositionCase> {};

// 3001 counts out in 70 ms, 300 ms there, back in 70 ms: the target is the profile from the
// start position; the axis stands at the distance at the end of the hold and back at the start
// at the end.
TEST_P(PositionTuningProgram, ReachesTheTargetAndComesBack) {
  const PositionCase& c = GetParam();
  Drive drive = LoadedDrive(ReferenceMotor(), {}, TunedRegisters(c.cascade));
  Inputs inputs = PositiveProfile(3001, 70, 300, true);
  inputs.insert({{"RefTest", 2979}, {"RIncTest", 30}, {c.limit, c.limitValue}, {"Imax_Prot_Test", 30000}, {"MultiC", 0}});
  LaunchProgram(drive, c.program, inputs, LoggerSettings{900, 1, 1, c.logged});
  RunProgram(drive, 5.0);
  EXPECT_EQ(drive.ReadVariable("test_flag"), 1);
  EXPECT_EQ(drive.Mer(), 0);
  const std::vector<LogPoint> log = drive.UploadLog();
  ASSERT_EQ(log.size(), 900u);
  const std::int32_t start = log[0].values[0];
  const std::vector<std::int64_t> expected = ExpectedReference(inputs, false);
  ASSERT_EQ(expected.size(), 741u);
  for (std::size_t k = 0; k < log.size(); ++k) {
    ASSERT_EQ(log[k].values[0] - start, k < expected.size() ? expected[k] : 0) << "sample " << k;
  }
  // The loops hunt by a count or two around the target (Coulomb friction against the integrators).
  const auto meanPosition = [&](std::size_t from, std::size_t to) {
    double sum = 0.0;
    for (std::size_t k = from; k < to; ++k) sum += log[k].values[1] - start;
    return sum / static_cast<double>(to - from);
  };
  EXPECT_NEAR(meanPosition(270, 370), 3001.0, 2.0);
  EXPECT_NEAR(meanPosition(800, 900), 0.0, 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, PositionTuningProgram,
    ::testing::Values(PositionCase{"IE_Position_Controller_Tuning_Test_with_SpdCtrl", true, "LimitSpeed_Test", 150,
                                   {"Target_Position", "Load_Position", "Speed_Reference", "Load_Speed"}},
                      PositionCase{"IE_Position_Controller_Tuning_Test_without_SpdCtrl", false, "IlimPS_Test", 16000,
                                   {"Target_Position", "Load_Position", "Current_Reference", "Motor_Current"}}),
    [](const auto& param) { return std::string(param.param.cascade ? "WithSpeedLoop" : "WithoutSpeedLoop"); });

}  // namespace
}  // namespace drivesim::testing
