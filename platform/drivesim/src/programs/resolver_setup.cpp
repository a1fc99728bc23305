// Setup_Resolver_Test: tunes the R/D converter's demodulation phase and finds the resolver's
// offset against the rotor's electrical angle.
//
//   P1; ALIGN(RefTest, ramps of RefTest/100 per Ts_S); at rest the demodulation phase swept over
//   0 … 355° in 5° steps (one a slow tick), the phase of the largest envelope kept; THTST turned one
//   electrical turn forward at IncTheta per Ts_S, then back. At the end of each way the rotor rests
//   (still for 20 ms, at least 50 ms, at most 500 ms) at θ_e = 0, held short of it by friction on
//   the side it came from: ZAOFF := the middle of the two resting counts, reduced into
//   [0, MECRESL/pp) (pp from MECRESL·ENC2THL/2^32); RAMPDOWN; axis off. APOS_MT is live.
#include <algorithm>
#include <cmath>

#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kPhaseSteps = 72;  // 5° apart
constexpr double kElectricalTurn16 = 65536.0;

class ResolverSetup : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { tune, forward, restAhead, back, restBehind, rampDown };

  void Start(ProgramHost& host) override { increment_ = std::max(1, host.ProgramValue("IncTheta")); }

  void OwnSlow(ProgramHost& host) override {
    TrackStillness(host);
    switch (phase_) {
      case Phase::tune: return TuneSlow(host);
      case Phase::forward:
        turned_ = std::min(kElectricalTurn16, turned_ + increment_);
        if (turned_ >= kElectricalTurn16) NextPhase(Phase::restAhead);
        break;
      case Phase::restAhead:
        if (!Settled(host, ++restSlowTicks_)) break;
        cameFromBelow_ = host.MotorCounter();
        NextPhase(Phase::back);
        break;
      case Phase::back:
        turned_ = std::max(0.0, turned_ - increment_);
        if (turned_ <= 0.0) NextPhase(Phase::restBehind);
        break;
      case Phase::restBehind:
        if (!Settled(host, ++restSlowTicks_)) break;
        host.SetDriveValue(drive::DriveVar::ZAOFF, Offset(host, cameFromBelow_, host.MotorCounter()));
        phase_ = Phase::rampDown;
        break;
      case Phase::rampDown: return RampDownAndEndSlow(host);
    }
    TurnFrameFromRest(turned_);
  }

  void OwnFast(ProgramHost& host) override { ApplyFrame(host); }

  // One phase a slow tick; the largest envelope wins (the first of equals).
  void TuneSlow(ProgramHost& host) {
    const double phase_rad = kTwoPi * tuneStep_ / kPhaseSteps;
    const double amplitude = host.ResolverAmplitude(phase_rad);
    if (amplitude > bestAmplitude_) {
      bestAmplitude_ = amplitude;
      bestPhase_rad_ = phase_rad;
    }
    if (++tuneStep_ < kPhaseSteps) return;
    host.SetResolverDemodulationPhase(bestPhase_rad_);
    phase_ = Phase::forward;
  }

  // θ_e = 0 lies midway between the counts of the two rests; its count within one electrical
  // period is the offset.
  static std::int32_t Offset(const ProgramHost& host, std::int32_t fromBelow, std::int32_t fromAbove) {
    const std::int64_t counts = host.Register("MECRESL", 0);
    const std::int64_t polePairs =
        std::llround(std::ldexp(static_cast<double>(counts) * host.Register("ENC2THL", 0), -32));
    if (counts <= 0 || polePairs <= 0) return 0;
    const std::int64_t period = counts / polePairs;
    const double apart = std::remainder(static_cast<double>(fromAbove) - fromBelow, static_cast<double>(period));
    const std::int64_t middle = fromBelow + std::llround(apart / 2.0);
    return static_cast<std::int32_t>(((middle % period) + period) % period);
  }

  void NextPhase(Phase phase) {
    phase_ = phase;
    restSlowTicks_ = 0;
  }

  Phase phase_ = Phase::tune;
  double increment_ = 1.0;
  double turned_ = 0.0;
  int tuneStep_ = 0;
  double bestAmplitude_ = -1.0;
  double bestPhase_rad_ = 0.0;
  int restSlowTicks_ = 0;
  std::int32_t cameFromBelow_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateResolverSetup() { return std::make_unique<ResolverSetup>(); }

}  // namespace drivesim::programs
