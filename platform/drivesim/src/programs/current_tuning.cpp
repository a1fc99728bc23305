// Current_Controller_Tuning_Test: a current step along the rotor d axis (frame at the rest angle,
// so no torque) under the register gains, logged.
//
//   P1; ALIGN(RefTest, RIncTest); voltage back to 0 at the same rate; 20 ms at zero voltage so
//   that the current has died out; current loop at i_ref = 0 for 10 ms; TriggerLog; after 10
//   logged points i_ref_q := In1; hold until the log is full; i_ref to 0 in 5 ms; axis off;
//   test_flag = 1. Protection: |i_dq| > Imax_Prot_Test on 2 consecutive fast samples ends the
//   program at once with test_flag = −1 (no MER bit).
// The loop's output goes through the drive's dead-time compensation (unlike the voltage-mode
// steps before it), so the step shows the loop's own dynamics.
#include <algorithm>
#include <cmath>

#include "control/current_loop.h"
#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr int kPointsBeforeStep = 10;
constexpr int kStepPointsWithoutLog = 100;

class CurrentControllerTuning : public AligningProgram {
 public:
  bool TriggersLog() const override { return true; }

  void HostStop(ProgramHost& host) override {
    frameVoltage_ = lastVoltage_;
    FrameProgram::HostStop(host);
  }

 private:
  enum class Phase { voltageDown, zeroVoltage, loopAtZero, step, referenceDown };

  void Start(ProgramHost& host) override {
    in1_ = host.ProgramValue("In1");
    protection_ = host.ProgramValue("Imax_Prot_Test");
  }

  void OwnSlow(ProgramHost&) override {
    if (phase_ == Phase::voltageDown && RampVoltageDownSlow(AlignStep())) Enter(Phase::zeroVoltage);
  }

  void OwnFast(ProgramHost& host) override {
    const control::TwoAxis measured = FrameCurrent(host);
    ++phaseTicks_;
    switch (phase_) {
      case Phase::zeroVoltage:
        if (phaseTicks_ * host.CurrentLoopPeriod_s() >= 0.020 - 1e-12) Enter(Phase::loopAtZero);
        break;
      case Phase::loopAtZero:
        RunLoop(host, measured, 0);
        if (phaseTicks_ * host.CurrentLoopPeriod_s() >= 0.010 - 1e-12) {
          host.TriggerLog();
          Enter(Phase::step);
        }
        return;
      case Phase::step: StepFast(host, measured); return;
      case Phase::referenceDown: ReferenceDownFast(host, measured); return;
      default: break;
    }
    ApplyFrame(host);
  }

  void Enter(Phase phase) {
    phase_ = phase;
    phaseTicks_ = 0;
  }

  // The gains are the registers of this tick, so that a gain written during the test acts at once.
  void RunLoop(ProgramHost& host, control::TwoAxis measured, std::int32_t reference) {
    host.SetDriveValue(drive::DriveVar::Current_Reference, reference);
    const control::TwoAxis u = control::StepCurrentLoop(host.CurrentGains(), loop_, {0, reference}, measured);
    lastVoltage_ = u.y;
    host.SetDriveValue(drive::DriveVar::Voltage_Reference, u.y);
    host.SetDriveValue(drive::DriveVar::THTST, frameAngle_);
    host.ApplyRegulatedVoltage(frameAngle_, u, {0, reference});
  }

  void StepFast(ProgramHost& host, control::TwoAxis measured) {
    const int points = host.LogPoints() > 0 ? host.LogPoints() : kStepPointsWithoutLog;
    const std::int32_t reference = phaseTicks_ >= kPointsBeforeStep ? in1_ : 0;
    RunLoop(host, measured, reference);
    const bool done = host.LogPoints() > 0 ? host.LogFull() : phaseTicks_ >= points;
    if (!done) return;
    downTicks_ = std::max(1, static_cast<int>(std::lround(0.005 / host.CurrentLoopPeriod_s())));
    Enter(Phase::referenceDown);
  }

  void ReferenceDownFast(ProgramHost& host, control::TwoAxis measured) {
    const std::int32_t reference =
        static_cast<std::int32_t>(std::lround(static_cast<double>(in1_) * (downTicks_ - phaseTicks_) / downTicks_));
    RunLoop(host, measured, reference);
    if (phaseTicks_ < downTicks_) return;
    host.SetProgramValue("test_flag", 1);
    host.SwitchAxisOff();
    End();
  }

  bool ProtectionTripped(ProgramHost& host) override {
    overCurrentTicks_ = control::MagnitudeExceeds(FrameCurrent(host), protection_) ? overCurrentTicks_ + 1 : 0;
    if (overCurrentTicks_ < 2) return false;
    host.SwitchAxisOff();
    host.SetProgramValue("test_flag", -1);
    End();
    return true;
  }

  Phase phase_ = Phase::voltageDown;
  std::int32_t in1_ = 0;
  std::int32_t protection_ = 0;
  int phaseTicks_ = 0;
  int downTicks_ = 1;
  int overCurrentTicks_ = 0;
  std::int32_t lastVoltage_ = 0;
  control::CurrentLoopState loop_;
};

}  // namespace

std::unique_ptr<Program> CreateCurrentControllerTuning() { return std::make_unique<CurrentControllerTuning>(); }

}  // namespace drivesim::programs
