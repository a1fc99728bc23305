// Angle_Controller_Tuning_Test: the motionless start's electric-angle controller, tuned by the
// user with KPTHT/SFTKPTHT and KITHT/SFTKITHT.
//
//   P1; a try: the injection frame at φ0, its current i_q* ramped by ReferenceIncrement per Ts_S
//   up to In1 (MAX_CURRENT), held until TimeLimit slow samples from the try's start, then ramped
//   back to 0; the axis off. Every Ts_S the controller turns the frame against the encoder's
//   electrical displacement Δθ since the try began:
//     φ = φ0 − [MulShift(KPTHT, SFTKPTHT, Δθ) + (I32 >> 15)],   I32 += KITHT·Δθ·2^SFTKITHT
//   The current on the frame's q axis points to φ + 16384; a rotor whose d axis lies there feels
//   no torque, so at rest with Δθ = 0 the frame shows the rotor's angle: φ = θ_r0 − 16384. The
//   drive keeps θ_r0 = φ_final + 16384 as its commutation.
// The current loop (register gains) regulates the injection axis only; the axis across it is
// left at zero voltage, so that a moving rotor's back-EMF drives a current across the injection
// that brakes it: the damping that the angle controller (proportional and integral only) relies on.
//
// Out: theta_1 = φ when the ramp ends (In1 reached, or the window over); test_flag:
//   −1  |i_dq| > IMAXPROT on 2 consecutive fast samples: axis off at once (no MER bit);
//   −3  no motion (|Δθ| < 0.5° electrical) during the ramp, again on a second try at φ0 + 16384
//       (one of the two has at least 0.7 of the full torque): too little current for the friction;
//   −2  over the last 10 % of the window the mean φ differs from theta_1 by more than 1820, or φ
//       spans more than 1820 from peak to peak;
//    1  otherwise.
// Electric_Angle is φ; Motor_Current the measured injection current. The log is triggered at
// the start of the first try.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "control/fixed_point.h"
#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr std::int32_t kQuarterTurn = 16384;
constexpr std::int32_t kMotion16 = 91;           // 0.5° electrical
constexpr std::int32_t kTolerance16 = 1820;      // 10° electrical
constexpr std::int32_t kProtectionTripped = -1, kNotStabilized = -2, kNoMotion = -3, kPassed = 1;

class AngleControllerTuning : public FrameProgram {
 public:
  bool TriggersLog() const override { return true; }

  // The host's stop: before the axis is on the program just ends; after, the current ramps down.
  void HostStop(ProgramHost& host) override {
    if (host.AxisOn()) {
      stopping_ = true;
      return;
    }
    End();
  }

  void SlowStep(ProgramHost& host) override {
    if (Ended()) return;
    if (phase_ == Phase::start) {
      maxCurrent_ = std::max(0, host.ProgramValue("In1"));
      increment_ = std::max(1, host.ProgramValue("ReferenceIncrement"));
      window_ = std::max(1, host.ProgramValue("TimeLimit"));
      protection_ = host.Register("IMAXPROT", 32767);
      phase_ = Phase::waitEnable;
    }
    if (phase_ == Phase::waitEnable) {
      if (!StartWhenEnabled(host)) return;
      host.TriggerLog();
      BeginTry(host, 0);
    }
    if (stopping_) return;
    ControlAngle(host);
    switch (phase_) {
      case Phase::ramp: RampSlow(host); break;
      case Phase::hold: HoldSlow(host); break;
      case Phase::rampDown: RampDownSlow(host); break;
      default: break;
    }
  }

  void FastStep(ProgramHost& host) override {
    if (Ended() || !host.AxisOn() || phase_ == Phase::start || phase_ == Phase::waitEnable) return;
    const control::TwoAxis measured = host.MeasuredCurrent(frameAngle_);
    overCurrentTicks_ = control::MagnitudeExceeds(measured, protection_) ? overCurrentTicks_ + 1 : 0;
    if (overCurrentTicks_ >= 2) return Finish(host, kProtectionTripped);
    if (stopping_) StopFast(host);
    host.SetDriveValue(drive::DriveVar::Motor_Current, measured.y);
    host.SetDriveValue(drive::DriveVar::Current_Reference, reference_);
    // The axis across the injection is left open to the back-EMF: its error is taken as zero.
    const control::TwoAxis u =
        control::StepCurrentLoop(host.CurrentGains(), loop_, {measured.x, reference_}, measured);
    host.SetDriveValue(drive::DriveVar::Voltage_Reference, u.y);
    host.SetDriveValue(drive::DriveVar::THTST, frameAngle_);
    host.ApplyRegulatedVoltage(frameAngle_, {0, u.y}, {0, reference_});
  }

 private:
  enum class Phase { start, waitEnable, ramp, hold, rampDown };

  void BeginTry(ProgramHost& host, std::int32_t start16) {
    start16_ = start16;
    origin32_ = host.EncoderOffset32(0);
    integral_ = 0;
    reference_ = 0;
    trySamples_ = 0;
    moved_ = false;
    frameAngle_ = start16;
    windowSum_ = 0;
    windowCount_ = 0;
    windowMin_ = std::numeric_limits<std::int32_t>::max();
    windowMax_ = std::numeric_limits<std::int32_t>::min();
    phase_ = Phase::ramp;
  }

  void ControlAngle(ProgramHost& host) {
    const std::int32_t displacement = host.EncoderAngle16(origin32_);
    if (std::abs(displacement) >= kMotion16) moved_ = true;
    // The gains are the registers of this sample, so that a gain written during the run acts at once.
    integral_ += control::MulShift(host.Register("KITHT", 0), host.Register("SFTKITHT", 0) + 15, displacement);
    const std::int64_t correction =
        control::MulShift(host.Register("KPTHT", 0), host.Register("SFTKPTHT", 0), displacement) + (integral_ >> 15);
    frameAngle_ = control::WrapAngle16(start16_ - correction);
    host.SetDriveValue(drive::DriveVar::Electric_Angle, frameAngle_);
    ++trySamples_;
  }

  void RampSlow(ProgramHost& host) {
    reference_ = std::min(maxCurrent_, reference_ + increment_);
    if (reference_ < maxCurrent_ && trySamples_ < window_) return;
    theta1_ = frameAngle_;
    if (moved_) {
      phase_ = Phase::hold;
      return HoldSlow(host);
    }
    // A rotor left where the frame's current lies along its d axis feels no torque: a second
    // try a quarter turn further; after it, too little current for the friction.
    if (start16_ == 0) {
      secondTryDue_ = true;
      phase_ = Phase::rampDown;
      return;
    }
    outcome_ = kNoMotion;
    phase_ = Phase::rampDown;
  }

  void HoldSlow(ProgramHost&) {
    if (trySamples_ > window_ - (window_ + 9) / 10) {
      const std::int32_t fromTheta1 = control::WrapAngle16(std::int64_t{frameAngle_} - theta1_);
      windowSum_ += fromTheta1;
      ++windowCount_;
      windowMin_ = std::min(windowMin_, fromTheta1);
      windowMax_ = std::max(windowMax_, fromTheta1);
    }
    if (trySamples_ < window_) return;
    const bool settled = windowCount_ == 0 || (std::abs(static_cast<double>(windowSum_) / windowCount_) <= kTolerance16 &&
                                               windowMax_ - windowMin_ <= kTolerance16);
    outcome_ = settled ? kPassed : kNotStabilized;
    phase_ = Phase::rampDown;
  }

  void RampDownSlow(ProgramHost& host) {
    reference_ = std::max(0, reference_ - increment_);
    if (reference_ > 0) return;
    if (secondTryDue_) {
      secondTryDue_ = false;
      return BeginTry(host, kQuarterTurn);
    }
    Finish(host, outcome_);
  }

  // The host's stop: the current to 0 within 20 ms, then the axis off.
  void StopFast(ProgramHost& host) {
    if (stopStep_ == 0) stopStep_ = std::max(1, static_cast<int>(std::ceil(reference_ / (0.020 / host.CurrentLoopPeriod_s()))));
    reference_ = std::max(0, reference_ - stopStep_);
    if (reference_ > 0) return;
    host.SwitchAxisOff();
    End();
  }

  void Finish(ProgramHost& host, std::int32_t outcome) {
    host.SwitchAxisOff();
    host.SetProgramValue("theta_1", theta1_);
    host.SetProgramValue("test_flag", outcome);
    if (outcome == kPassed) host.KeepCommutationAngle(control::WrapAngle16(std::int64_t{frameAngle_} + kQuarterTurn));
    End();
  }

  Phase phase_ = Phase::start;
  std::int32_t maxCurrent_ = 0, increment_ = 1, window_ = 1, protection_ = 32767;
  std::int32_t start16_ = 0;
  std::uint32_t origin32_ = 0;   // the encoder offset that reads 0 where the try began
  std::int64_t integral_ = 0;    // I32, 15 fractional bits
  std::int32_t reference_ = 0;   // i_q*
  int trySamples_ = 0;
  bool moved_ = false;
  bool secondTryDue_ = false;
  std::int32_t theta1_ = 0;
  std::int32_t outcome_ = kPassed;
  std::int64_t windowSum_ = 0;
  int windowCount_ = 0;
  std::int32_t windowMin_ = 0, windowMax_ = 0;
  int overCurrentTicks_ = 0;
  bool stopping_ = false;
  std::int32_t stopStep_ = 0;
  control::CurrentLoopState loop_;
};

}  // namespace

std::unique_ptr<Program> CreateAngleControllerTuning() { return std::make_unique<AngleControllerTuning>(); }

}  // namespace drivesim::programs
