#include "programs/motion_program.h"

#include <algorithm>
#include <cmath>

namespace drivesim::programs {

namespace {

constexpr std::int32_t kStartMethodMask = 0x1C;   // OSR bits 2–4
constexpr std::int32_t kHallStart = 8;
constexpr std::int32_t kAbsoluteSource = 28;

}  // namespace

void MotionProgram::Start(ProgramHost& host) {
  protection_ = host.ProgramValue("Imax_Prot_Test");
  ReadInputs(host);
}

// The Hall start and the absolute source give the angle at once; every other method aligns.
bool MotionProgram::Enabled(ProgramHost& host) {
  const std::int32_t method = host.Register("OSR", 0) & kStartMethodMask;
  return method != kHallStart && method != kAbsoluteSource;
}

void MotionProgram::OwnSlow(ProgramHost& host) {
  switch (phase_) {
    case Phase::engage: Engage(host); return;
    case Phase::engaged:
      if (control::Servo* servo = host.EngagedServo()) return RunSlow(host, *servo);
      return End();  // the drive has let the loops go with the axis
    case Phase::rampDown: RampDownSlow(host); return;
  }
}

// COMMUTATE takes the angle the start method gives (after the alignment, θ_e = 0 at the present
// counter); the loops take over from the frame voltage.
void MotionProgram::Engage(ProgramHost& host) {
  frameVoltage_ = 0.0;
  host.Commutate();
  host.EngageServo(Loops());
  phase_ = Phase::engaged;
}

void MotionProgram::Finish(ProgramHost& host, control::Servo& servo, double ramp_s) {
  servo.TakeOverCurrent();
  rampFrom_ = servo.CurrentReference();
  rampTicks_ = std::max(1, static_cast<int>(std::lround(ramp_s / host.SpeedLoopPeriod_s())));
  rampTick_ = 0;
  phase_ = Phase::rampDown;
}

void MotionProgram::RampDownSlow(ProgramHost& host) {
  control::Servo* servo = host.EngagedServo();
  if (servo == nullptr) return End();
  ++rampTick_;
  const double left = static_cast<double>(rampTicks_ - std::min(rampTick_, rampTicks_)) / rampTicks_;
  servo->SetCurrentReference(static_cast<std::int32_t>(std::lround(rampFrom_ * left)));
  if (rampTick_ < rampTicks_) return;
  WriteFinalOutputs(host);
  EndNow(host);
}

// Before the loops engage, the frame voltage ramps down as in every test program; with them
// engaged, the current reference does.
void MotionProgram::HostStop(ProgramHost& host) {
  if (phase_ == Phase::rampDown) return;
  control::Servo* servo = host.EngagedServo();
  if (phase_ == Phase::engaged && servo != nullptr) return Finish(host, *servo, 0.020);
  if (host.AxisOn()) WriteFinalOutputs(host);
  FrameProgram::HostStop(host);
}

bool MotionProgram::ProtectionTripped(ProgramHost& host) {
  const bool engaged = phase_ == Phase::engaged || phase_ == Phase::rampDown;
  const control::TwoAxis measured = host.MeasuredCurrent(engaged ? host.CommutationAngle() : frameAngle_);
  overCurrentTicks_ = control::MagnitudeExceeds(measured, protection_) ? overCurrentTicks_ + 1 : 0;
  if (overCurrentTicks_ < 2) return false;
  WriteProtectionOutputs(host);
  EndNow(host);
  return true;
}

}  // namespace drivesim::programs
