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

// It has no RIncTest: ALIGN ramps by RefTest/100 per Ts_S.
class EncoderResolution : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { sweep, hold, rampDown };

  void Start(ProgramHost& host) override {
    polePairs_ = std::max(1, host.ProgramValue("PolesPairs"));
    host.SetDriveValue(drive::DriveVar::var_lf_long, 0);
  }

  void Aligned(ProgramHost& host) override {
    origin_ = host.MotorCounter();
    sweepTicks_ = FastTicks(host, polePairs_ * kElectricalTurn_s);
  }

  void OwnSlow(ProgramHost& host) override {
    if (phase_ == Phase::hold && ++heldSlowTicks_ * host.SpeedLoopPeriod_s() >= kHold_s) phase_ = Phase::rampDown;
    if (phase_ == Phase::rampDown) RampDownAndEndSlow(host);
  }

  void OwnFast(ProgramHost& host) override {
    if (phase_ == Phase::sweep) SweepFast();
    host.SetDriveValue(drive::DriveVar::var_lf_long, host.MotorCounter() - origin_);
    host.SetProgramValue("H123", host.HallCode());
    ApplyFrame(host);
  }

  void SweepFast() {
    ++sweepStep_;
    const double turned = 65536.0 * polePairs_ * sweepStep_ / sweepTicks_;
    frameAngle_ = static_cast<std::int16_t>(kRestAngle + std::lround(std::fmod(turned, 65536.0)));
    if (sweepStep_ >= sweepTicks_) phase_ = Phase::hold;
  }

  Phase phase_ = Phase::sweep;
  int polePairs_ = 1;
  std::int32_t origin_ = 0;
  int sweepTicks_ = 1;
  int sweepStep_ = 0;
  int heldSlowTicks_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateEncoderResolution() { return std::make_unique<EncoderResolution>(); }

}  // namespace drivesim::programs
