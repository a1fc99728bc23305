// Motor_Pole_Pairs_Detection_Test: holds the rotor at the aligned rest and, at each Move of the
// user, turns the stator field by one electrical revolution; the user counts the moves until the
// shaft is back at its mark, which happens after as many moves as the motor has pole pairs.
//
//   var_i2 := −1 (idle: keeps the commands 0 and 1 apart from any count), poles_pairs := 0; P1;
//   ALIGN(RefTest, RIncTest); then waits with the axis on (RefTest at THTST = −16383). At every
//   fast tick while it waits: var_i2 = 0 (Move) → var_i2 := −1 and THTST sweeps by +65536 in 1 s,
//   voltage mode, landing exactly on −16383 (θ_k = θ_0 + round(65536·k/n)), then poles_pairs += 1;
//   var_i2 = 1 (finish) → var_i2 := poles_pairs; RAMPDOWN; axis off. A command written during a
//   sweep is taken when the sweep has ended.
// The sweep's first step is taken in the fast tick that sees the Move, so the host's first read of
// THTST (one link latency, at least 2·Ts_C, later) already differs from −16383; THTST is −16383
// again exactly when the turn is complete, in the same tick as the count.
#include <cmath>

#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr double kTurn_s = 1.0;
constexpr std::int32_t kIdle = -1;
constexpr std::int32_t kMove = 0;
constexpr std::int32_t kFinish = 1;

class PolePairsDetection : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { waitUser, sweep, rampDown };

  void Start(ProgramHost& host) override {
    host.SetDriveValue(drive::DriveVar::var_i2, kIdle);
    host.SetProgramValue("poles_pairs", 0);
  }

  void OwnSlow(ProgramHost& host) override {
    if (phase_ == Phase::rampDown) RampDownAndEndSlow(host);
  }

  void OwnFast(ProgramHost& host) override {
    if (phase_ == Phase::waitUser) TakeCommand(host);
    if (phase_ == Phase::sweep) SweepFast(host);
    ApplyFrame(host);
  }

  void TakeCommand(ProgramHost& host) {
    const std::int32_t command = host.DriveValue(drive::DriveVar::var_i2);
    if (command == kMove) {
      host.SetDriveValue(drive::DriveVar::var_i2, kIdle);
      sweepTicks_ = FastTicks(host, kTurn_s);
      sweepStep_ = 0;
      phase_ = Phase::sweep;
    } else if (command == kFinish) {
      host.SetDriveValue(drive::DriveVar::var_i2, host.ProgramValue("poles_pairs"));
      phase_ = Phase::rampDown;
    }
  }

  void SweepFast(ProgramHost& host) {
    ++sweepStep_;
    TurnFrameFromRest(65536.0 * sweepStep_ / sweepTicks_);
    if (sweepStep_ < sweepTicks_) return;
    host.SetProgramValue("poles_pairs", host.ProgramValue("poles_pairs") + 1);
    phase_ = Phase::waitUser;
  }

  Phase phase_ = Phase::waitUser;
  int sweepTicks_ = 1;
  int sweepStep_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreatePolePairsDetection() { return std::make_unique<PolePairsDetection>(); }

}  // namespace drivesim::programs
