// Encoder_Resolution_And_Direction_Test: turns the stator field one mechanical revolution (one
// pole pitch on a linear motor, PolesPairs = 1) in the positive direction a → b → c and reports
// the motor counter's travel; the test judges the counting direction from its sign and the
// encoder's lines (or resolution) from its size.
//
//   P1; ALIGN(RefTest, ramps of RefTest/100 per Ts_S); origin P0 = counter; THTST sweeps by
//   PolesPairs·65536 at one electrical turn per second, voltage mode; at every fast tick
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

class EncoderResolution : public FrameProgram {
 public:
  bool TriggersLog() const override { return false; }

  void SlowStep(ProgramHost& host) override {
    if (Stopping() || Ended()) return;
    switch (phase_) {
      case Phase::start:
        refTest_ = host.ProgramValue("RefTest");
        polePairs_ = std::max(1, host.ProgramValue("PolesPairs"));
        host.SetDriveValue(drive::DriveVar::var_lf_long, 0);
        phase_ = Phase::waitEnable;
        break;
      case Phase::align:
        if (!AlignSlow(host)) break;
        origin_ = host.MotorCounter();
        sweepTicks_ = FastTicks(host, polePairs_ * kElectricalTurn_s);
        phase_ = Phase::sweep;
        break;
      case Phase::hold:
        if (++heldSlowTicks_ * host.SpeedLoopPeriod_s() >= kHold_s) phase_ = Phase::rampDown;
        break;
      case Phase::rampDown: RampDownAndEndSlow(host); break;
      default: break;
    }
  }

  void FastStep(ProgramHost& host) override {
    if (Ended()) return;
    if (Stopping()) return StopRampFast(host);
    if (phase_ == Phase::waitEnable && StartWhenEnabled(host)) {
      BeginAlign(refTest_, 0.0);
      phase_ = Phase::align;
    }
    if (!host.AxisOn()) return;
    if (phase_ == Phase::sweep) SweepFast();
    if (phase_ == Phase::sweep || phase_ == Phase::hold || phase_ == Phase::rampDown) {
      host.SetDriveValue(drive::DriveVar::var_lf_long, host.MotorCounter() - origin_);
    }
    host.SetProgramValue("H123", host.HallCode());
    ApplyFrame(host);
  }

 private:
  enum class Phase { start, waitEnable, align, sweep, hold, rampDown };

  void SweepFast() {
    ++sweepStep_;
    const double turned = 65536.0 * polePairs_ * sweepStep_ / sweepTicks_;
    frameAngle_ = static_cast<std::int16_t>(kRestAngle + std::lround(std::fmod(turned, 65536.0)));
    if (sweepStep_ >= sweepTicks_) phase_ = Phase::hold;
  }

  Phase phase_ = Phase::start;
  double refTest_ = 0.0;
  int polePairs_ = 1;
  std::int32_t origin_ = 0;
  int sweepTicks_ = 1;
  int sweepStep_ = 0;
  int heldSlowTicks_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateEncoderResolution() { return std::make_unique<EncoderResolution>(); }

}  // namespace drivesim::programs
