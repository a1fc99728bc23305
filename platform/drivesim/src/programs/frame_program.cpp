#include "programs/frame_program.h"

#include <algorithm>
#include <cmath>

namespace drivesim::programs {

bool FrameProgram::StartWhenEnabled(ProgramHost& host) {
  if (host.AxisOn()) return true;
  if (!host.EnableActive()) return false;
  host.SwitchAxisOn();
  host.SetProgramValue("STARTED", 1);
  return true;
}

void FrameProgram::BeginAlign(double target, double increment) {
  alignTarget_ = target;
  alignIncrement_ = increment > 0.0 ? increment : std::max(1.0, target / 100.0);
  alignSlowTicks_ = 0;
  stillSlowTicks_ = 0;
  frameAngle_ = kRestAngle;
}

void FrameProgram::TrackStillness(const ProgramHost& host) {
  const std::int32_t counter = host.MotorCounter();
  stillSlowTicks_ = counter == lastCounter_ ? stillSlowTicks_ + 1 : 0;
  lastCounter_ = counter;
}

bool FrameProgram::AlignSlow(ProgramHost& host) {
  TrackStillness(host);
  if (frameVoltage_ < alignTarget_) {
    frameVoltage_ = std::min(alignTarget_, frameVoltage_ + alignIncrement_);
    return false;
  }
  ++alignSlowTicks_;
  return Settled(host, alignSlowTicks_);
}

bool FrameProgram::Settled(const ProgramHost& host, int heldSlowTicks) const {
  const double held_s = heldSlowTicks * host.SpeedLoopPeriod_s();
  const double still_s = stillSlowTicks_ * host.SpeedLoopPeriod_s();
  return (held_s >= 0.050 && still_s >= 0.020) || held_s >= 0.500;
}

bool FrameProgram::RampVoltageDownSlow(double rampStep) {
  const double step = std::max(rampStep, 1.0);
  if (std::abs(frameVoltage_) <= step) {
    frameVoltage_ = 0.0;
    return true;
  }
  frameVoltage_ -= frameVoltage_ > 0.0 ? step : -step;
  return false;
}

void FrameProgram::RampDownAndEndSlow(ProgramHost& host) {
  if (!RampVoltageDownSlow(alignIncrement_)) return;
  ApplyFrame(host);
  host.SwitchAxisOff();
  End();
}

void FrameProgram::HostStop(ProgramHost& host) {
  if (!host.AxisOn()) {
    End();
    return;
  }
  stopping_ = true;
  const double ticks = std::max(1.0, std::floor(0.020 / host.CurrentLoopPeriod_s()));
  stopStep_ = std::abs(frameVoltage_) / ticks;
}

void FrameProgram::StopRampFast(ProgramHost& host) {
  if (std::abs(frameVoltage_) <= stopStep_) {
    frameVoltage_ = 0.0;
    ApplyFrame(host);
    host.SwitchAxisOff();
    End();
    return;
  }
  frameVoltage_ -= frameVoltage_ > 0.0 ? stopStep_ : -stopStep_;
  ApplyFrame(host);
}

void AligningProgram::SlowStep(ProgramHost& host) {
  if (Stopping() || Ended()) return;
  switch (stage_) {
    case Stage::start:
      refTest_ = host.ProgramValue("RefTest");
      rampStep_ = host.ProgramValue("RIncTest");
      Start(host);
      stage_ = Stage::waitEnable;
      return;
    case Stage::waitEnable: return;
    case Stage::align:
      if (!AlignSlow(host)) return;
      stage_ = Stage::own;
      return Aligned(host);
    case Stage::own: return OwnSlow(host);
  }
}

void AligningProgram::FastStep(ProgramHost& host) {
  if (Ended()) return;
  if (Stopping()) return StopRampFast(host);
  if (stage_ == Stage::waitEnable && StartWhenEnabled(host)) {
    if (Enabled(host)) {
      BeginAlign(refTest_, rampStep_);
      stage_ = Stage::align;
    } else {
      stage_ = Stage::own;
    }
  }
  if (!host.AxisOn() || ProtectionTripped(host)) return;
  if (stage_ == Stage::own) return OwnFast(host);
  if (stage_ == Stage::align) ApplyFrame(host);
}

}  // namespace drivesim::programs
