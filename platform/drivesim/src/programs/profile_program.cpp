#include "programs/profile_program.h"

#include <string_view>

namespace drivesim::programs {

namespace {

constexpr double kHold_s = 0.100;
constexpr double kEndRamp_s = 0.020;

}  // namespace

void SegmentProfile::Load(const ProgramHost& host) {
  static constexpr std::array<std::string_view, 6> kCounts{"a0", "a1", "a2", "a3", "a4", "a5"};
  static constexpr std::array<std::string_view, 6> kSlopes{"b0", "b1", "b2", "b3", "b4", "b5"};
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    counts_[i] = host.ProgramValue(kCounts[i]);
    slopes16_[i] = host.ProgramValue(kSlopes[i]);
  }
  Restart();
}

void SegmentProfile::Restart() {
  segment_ = 0;
  periodsDone_ = 0;
  reference16_ = 0;
}

bool SegmentProfile::Step() {
  while (segment_ < counts_.size() && periodsDone_ >= counts_[segment_]) {
    ++segment_;
    periodsDone_ = 0;
  }
  if (segment_ == counts_.size()) return false;
  reference16_ += slopes16_[segment_];
  ++periodsDone_;
  return true;
}

void ProfileProgram::ReadInputs(const ProgramHost& host) {
  profile_.Load(host);
  multiCycle_ = host.ProgramValue("MultiC") != 0;
  ReadLimits(host);
}

void ProfileProgram::RunSlow(ProgramHost& host, control::Servo& servo) {
  if (!cycleRunning_) {
    cycleRunning_ = true;
    if (cycles_++ == 0) {
      host.TriggerLog();
    } else {
      host.RestartLog();
    }
    BeginProfile(servo);
  }
  if (profile_.Step()) return Apply(servo, profile_.Reference16());
  ++holdTicks_;
  if (holdTicks_ * host.SpeedLoopPeriod_s() < kHold_s - 1e-12) return;
  if (multiCycle_) {
    holdTicks_ = 0;
    profile_.Restart();
    cycleRunning_ = false;   // the next cycle starts at the next period
    return;
  }
  if (host.LogFull()) Finish(host, servo, kEndRamp_s);
}

}  // namespace drivesim::programs
