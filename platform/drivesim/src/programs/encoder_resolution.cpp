// Encoder_Resolution_And_Direction_Test: turns the stator field one mechanical revolution (one
// pole pitch on a linear motor, PolesPairs = 1) in the positive direction a → b → c and reports
// the motor counter's travel; the test judges the counting direction from its sign and the
// encoder's lines (or resolution) from its size.
//
//   P1; ALIGN(RefTest, ramps of RefTest/100 per Ts_S); THTST 45° back and forward again at the
//   sweep's pace, then still for 20 ms (at least 50 ms, at most 500 ms); origin P0 = counter;
//   THTST sweeps by PolesPairs·65536 at one electrical turn per second, voltage mode; at every tick
//   var_lf_long = counter − P0 (the raw counter: a sine/cosine encoder's interpolated counts) and
//   H123 = HALL; hold 300 ms at the end so that the last readings with the axis on are settled;
//   RAMPDOWN; axis off.
#include <algorithm>
#include <cmath>

#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr double kElectricalTurn_s = 1.0;
constexpr double kHold_s = 0.300;
constexpr double kApproach = 8192.0;  // 45° electrical

// It has no RIncTest: ALIGN ramps by RefTest/100 per Ts_S.
class EncoderResolution : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { approach, settle, sweep, hold, rampDown };

  void Start(ProgramHost& host) override {
    polePairs_ = std::max(1, host.ProgramValue("PolesPairs"));
    host.SetDriveValue(drive::DriveVar::var_lf_long, 0);
  }

  void Aligned(ProgramHost& host) override {
    approachTicks_ = FastTicks(host, 2.0 * kApproach / 65536.0 * kElectricalTurn_s);
    sweepTicks_ = FastTicks(host, polePairs_ * kElectricalTurn_s);
  }

  void OwnSlow(ProgramHost& host) override {
    TrackStillness(host);
    ++phaseSlowTicks_;
    if (phase_ == Phase::settle && Settled(host, phaseSlowTicks_)) {
      origin_ = host.MotorCounter();
      phase_ = Phase::sweep;
    }
    if (phase_ == Phase::hold && phaseSlowTicks_ * host.SpeedLoopPeriod_s() >= kHold_s) phase_ = Phase::rampDown;
    if (phase_ == Phase::rampDown) RampDownAndEndSlow(host);
  }

  void OwnFast(ProgramHost& host) override {
    if (phase_ == Phase::approach) ApproachFast();
    if (phase_ == Phase::sweep) SweepFast();
    if (phase_ != Phase::approach && phase_ != Phase::settle) {
      host.SetDriveValue(drive::DriveVar::var_lf_long, host.MotorCounter() - origin_);
    }
    host.SetProgramValue("H123", host.HallCode());
    ApplyFrame(host);
  }

  // Back by kApproach, then forward to the rest angle at the sweep's pace: the rotor comes to the
  // origin as it will come to the end, lagging the field by the same friction.
  void ApproachFast() {
    ++step_;
    const int half = approachTicks_ / 2;
    const double back =
        step_ <= half ? kApproach * step_ / half : kApproach * (approachTicks_ - step_) / (approachTicks_ - half);
    frameAngle_ = kRestAngle - static_cast<std::int32_t>(std::lround(back));
    if (step_ >= approachTicks_) NextPhase(Phase::settle);
  }

  void SweepFast() {
    ++step_;
    const double turned = 65536.0 * polePairs_ * step_ / sweepTicks_;
    TurnFrameFromRest(turned);
    if (step_ >= sweepTicks_) NextPhase(Phase::hold);
  }

  void NextPhase(Phase phase) {
    phase_ = phase;
    step_ = 0;
    phaseSlowTicks_ = 0;
  }

  Phase phase_ = Phase::approach;
  int polePairs_ = 1;
  std::int32_t origin_ = 0;
  int approachTicks_ = 2;
  int sweepTicks_ = 1;
  int step_ = 0;
  int phaseSlowTicks_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateEncoderResolution() { return std::make_unique<EncoderResolution>(); }

}  // namespace drivesim::programs
