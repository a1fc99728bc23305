// Hall_Configuration_Detection_Test: finds the Hall configuration code HALLCASE and the Hall
// shift from the Hall edges met while the current vector turns the rotor one electrical
// revolution and a sector beyond, and back.
//
//   P1; ALIGN(RefTest, RIncTest); origin P0 = the counter, the rest code = HALL. Current mode
//   (integral regulator on i_q, magnitude In1, from the feed-forward RefTest, with the drive's
//   dead-time compensation, which would otherwise turn the current by up to ±13° with a 60°
//   period): the rotor follows THTST, θ_e = THTST + 16384 up to the friction lag. Sweep forward
//   420° electrical at 0.5 turn/s, then back 420°, noting THTST of every Hall edge both ways;
//   H123 = HALL live. Then HALLCASE and delta_el_pos (FindHallConfiguration), POSINC = counter −
//   P0, THTST = −16383; RAMPDOWN.
#include <cmath>
#include <vector>

#include "programs/frame_program.h"
#include "programs/hall_edges.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr double kSweepTurnsPerSecond = 0.5;
constexpr double kSweepEnd16 = 65536.0 * 420.0 / 360.0;
constexpr double kRegulatorCrossover_rad_s = 100.0;

class HallConfigurationDetection : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { forward, backward, rampDown };

  void Start(ProgramHost& host) override { in1_ = host.ProgramValue("In1"); }

  void Aligned(ProgramHost& host) override {
    origin_ = host.MotorCounter();
    restCode_ = lastCode_ = host.HallCode();
    // Integral gain per Ts_C for the crossover on a plant of DC gain In1/RefTest.
    gain_ = in1_ > 0 ? kRegulatorCrossover_rad_s * host.CurrentLoopPeriod_s() * RefTest() / in1_ : 0.0;
    step16_ = 65536.0 * kSweepTurnsPerSecond * host.CurrentLoopPeriod_s();
  }

  void OwnSlow(ProgramHost& host) override {
    if (phase_ == Phase::rampDown) RampDownAndEndSlow(host);
  }

  void OwnFast(ProgramHost& host) override {
    const int code = host.HallCode();
    host.SetProgramValue("H123", code);
    if (phase_ == Phase::rampDown) return (void)ApplyFrame(host);
    NoteEdge(code);
    frameVoltage_ += gain_ * (in1_ - FrameCurrent(host).y);
    Sweep(host);
    // The drive's dead-time compensation keeps the current along the frame's q axis.
    ApplyFrame(host, in1_);
  }

  void NoteEdge(int code) {
    if (code == lastCode_) return;
    (phase_ == Phase::forward ? forward_ : backward_).push_back({lastCode_, code, sweep16_});
    lastCode_ = code;
  }

  void Sweep(ProgramHost& host) {
    if (phase_ == Phase::forward) {
      sweep16_ = std::min(kSweepEnd16, sweep16_ + step16_);
      if (sweep16_ >= kSweepEnd16) phase_ = Phase::backward;
    } else {
      sweep16_ = std::max(0.0, sweep16_ - step16_);
      if (sweep16_ <= 0.0) Finish(host);
    }
    TurnFrameFromRest(sweep16_);
  }

  void Finish(ProgramHost& host) {
    const HallConfiguration found = FindHallConfiguration(restCode_, forward_, backward_);
    host.SetProgramValue("delta_el_pos", found.shift16);
    host.SetProgramValue("HALLCASE", found.hallCase);
    host.SetDriveValue(drive::DriveVar::POSINC, host.MotorCounter() - origin_);
    phase_ = Phase::rampDown;
  }

  Phase phase_ = Phase::forward;
  std::int32_t in1_ = 0;
  std::int32_t origin_ = 0;
  int restCode_ = 0;
  int lastCode_ = 0;
  double gain_ = 0.0;
  double step16_ = 0.0;
  double sweep16_ = 0.0;  // θ_e from the aligned rest, 16-bit units, unwrapped
  std::vector<HallEdge> forward_, backward_;
};

}  // namespace

std::unique_ptr<Program> CreateHallConfigurationDetection() { return std::make_unique<HallConfigurationDetection>(); }

}  // namespace drivesim::programs
