// Encoder_Offset_Detection_Test (SSI, BiSS): the absolute encoder's position at the electrical
// rest, which the drive subtracts (ZAOFF) to commutate from the encoder.
//
//   var_i1 := 0; P1; ALIGN(RefTest, RIncTest) (θ_e = 0). Friction stops the rotor short of the
//   field's rest on the side it came from, by the same angle from either side: so the field swings
//   45° electrical forward and back (100 ms each way), the rotor settles (the alignment's
//   stillness rule) and 64 readings of the position counter are averaged; then the same from
//   behind. The mean of the two is the rest. The counter is unwrapped, so readings on either side
//   of the single-turn wrap average right. RAMPDOWN; axis off; then ZAOFF := the rest's
//   single-turn position in min(B, 16)-bit units (0 ≤ ZAOFF < 2^min(B, 16)), and var_i1 := 1
//   last: the host polls var_i1 once the axis is off.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr int kReadings = 64;
constexpr double kSwing16 = 8192.0;  // 45° electrical
constexpr double kSwing_s = 0.100;   // each way

// The single-turn position of a counter value in min(B, 16)-bit units.
std::int32_t SingleTurn16(double counter, int bits) {
  const double turn = std::ldexp(1.0, bits);
  const double position = counter - std::floor(counter / turn) * turn;  // 0 ≤ position < 2^B
  return static_cast<std::int32_t>(std::floor(std::ldexp(position, -std::max(0, bits - 16))));
}

class SsiOffsetDetection : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { swing, settle, read, rampDown, report };

  void Start(ProgramHost& host) override { host.SetDriveValue(drive::DriveVar::var_i1, 0); }

  void Aligned(ProgramHost& host) override { swingTicks_ = FastTicks(host, kSwing_s); }

  void OwnFast(ProgramHost& host) override {
    if (phase_ == Phase::swing) Swing();
    if (phase_ == Phase::read) Read(host);
    ApplyFrame(host);
  }

  void OwnSlow(ProgramHost& host) override {
    TrackStillness(host);
    ++settleSlowTicks_;
    if (phase_ == Phase::settle && Settled(host, settleSlowTicks_)) phase_ = Phase::read;
    if (phase_ == Phase::rampDown) {
      if (!RampVoltageDownSlow(AlignStep())) return;
      ApplyFrame(host);
      host.SwitchAxisOff();
      phase_ = Phase::report;
      return;
    }
    if (phase_ == Phase::report) Report(host);
  }

  // Out to ±45° and back to the rest angle, forward on the first side, backward on the second.
  void Swing() {
    ++step_;
    const double out = step_ <= swingTicks_ ? step_ : 2.0 * swingTicks_ - step_;
    TurnFrameFromRest((side_ == 0 ? kSwing16 : -kSwing16) * out / swingTicks_);
    if (step_ < 2 * swingTicks_) return;
    phase_ = Phase::settle;
    settleSlowTicks_ = 0;
  }

  void Read(ProgramHost& host) {
    const std::int32_t counter = host.MotorCounter();
    if (side_ == 0 && readings_ == 0) first_ = counter;
    // The difference on 32 bits: the counter may wrap between readings.
    sum_ += static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) - static_cast<std::uint32_t>(first_));
    if (++readings_ < kReadings) return;
    readings_ = 0;
    step_ = 0;
    phase_ = ++side_ < 2 ? Phase::swing : Phase::rampDown;
  }

  void Report(ProgramHost& host) {
    const int bits = std::clamp(host.Register("SSIREV", 0), 0, 31);
    const double rest = static_cast<double>(first_) + static_cast<double>(sum_) / (2.0 * kReadings);
    host.SetDriveValue(drive::DriveVar::ZAOFF, bits > 0 ? SingleTurn16(rest, bits) : 0);
    host.SetDriveValue(drive::DriveVar::var_i1, 1);
    End();
  }

  Phase phase_ = Phase::swing;
  int side_ = 0;  // 0: approached from ahead, 1: from behind
  int swingTicks_ = 1;
  int step_ = 0;
  int settleSlowTicks_ = 0;
  int readings_ = 0;
  std::int32_t first_ = 0;
  std::int64_t sum_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateSsiOffsetDetection() { return std::make_unique<SsiOffsetDetection>(); }

}  // namespace drivesim::programs
