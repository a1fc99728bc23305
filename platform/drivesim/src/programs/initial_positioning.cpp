// Initial_Positioning_Test: brings the rotor to the aligned rest (θ_e = 0) and finds the voltage
// REFTST_V that drives the test current In1 along phase A, and its ramp RINCTST_V.
//
//   pre-align  THTST = 0 (current at +90°), current mode, |i| ramped to In1 over n_rise slow
//              samples, n_rise = max(20, round(REFTST/RINCTST)); hold 100 ms
//   turn       THTST 0 → −16383 in 100 ms (avoids the dead point 180° from phase A)
//   trim       voltage mode at −16383, u ← u + g·(In1 − ī_q) per Ts_S, g = 0.3·Δu/Δi of the second
//              half of the ramp, until |In1 − ī_q| < 0.5 % over 20 ms and the counter still for
//              50 ms (at least T1ONA slow samples, at most 5 s)
//   result     REFTST_V = mean u over the last 20 ms, RINCTST_V = REFTST_V/n_rise; ramp down
#include <algorithm>
#include <cmath>
#include <deque>

#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

class InitialPositioning : public FrameProgram {
 public:
  bool TriggersLog() const override { return false; }

  void SlowStep(ProgramHost& host) override {
    if (Stopping() || Ended()) return;
    switch (phase_) {
      case Phase::start: Start(host); break;
      case Phase::waitEnable: break;
      case Phase::preAlign: PreAlignSlow(host); break;
      case Phase::turn: TurnSlow(host); break;
      case Phase::trim: TrimSlow(host); break;
      case Phase::rampDown:
        if (RampVoltageDownSlow(rampStep_)) Finish(host);
        break;
    }
  }

  void FastStep(ProgramHost& host) override {
    if (Ended()) return;
    if (Stopping()) return StopRampFast(host);
    if (phase_ == Phase::waitEnable && StartWhenEnabled(host)) phase_ = Phase::preAlign;
    if (!host.AxisOn()) return;
    const std::int32_t iq = FrameCurrent(host).y;
    if (phase_ == Phase::preAlign || phase_ == Phase::turn) {
      // Current mode: integral regulator with a crossover of about 100 rad/s.
      frameVoltage_ += currentGain_ * (currentReference_ - iq);
    }
    slowSum_ += iq;
    ++slowCount_;
    ApplyFrame(host);
  }

 private:
  enum class Phase { start, waitEnable, preAlign, turn, trim, rampDown };

  void Start(ProgramHost& host) {
    in1_ = host.ProgramValue("In1");
    if (in1_ <= 0) {
      host.SetDriveValue(drive::DriveVar::REFTST_V, 0);
      host.SetDriveValue(drive::DriveVar::RINCTST_V, 0);
      host.SetProgramValue("STARTED", 1);
      End();
      return;
    }
    const double firstGuess = std::max(1, host.Register("REFTST", 0));
    const double firstIncrement = host.Register("RINCTST", 0);
    riseSamples_ = firstIncrement > 0.0 ? std::max(20, static_cast<int>(std::lround(firstGuess / firstIncrement))) : 20;
    // Integral gain per Ts_C for a crossover of 100 rad/s on a plant of DC gain In1/REFTST.
    currentGain_ = 100.0 * host.CurrentLoopPeriod_s() * firstGuess / in1_;
    timeAbSamples_ = std::max(0, host.Register("T1ONA", 0));
    frameAngle_ = 0;
    frameVoltage_ = 0.0;
    phase_ = Phase::waitEnable;
  }

  void PreAlignSlow(ProgramHost& host) {
    ++phaseSamples_;
    const auto meanCurrent = TakeSlowMean();
    if (phaseSamples_ <= riseSamples_) {
      currentReference_ = static_cast<double>(in1_) * phaseSamples_ / riseSamples_;
      if (phaseSamples_ == riseSamples_ / 2) RememberRampPoint(rampMid_, meanCurrent);
      if (phaseSamples_ == riseSamples_) RememberRampPoint(rampEnd_, meanCurrent);
      return;
    }
    if ((phaseSamples_ - riseSamples_) * host.SpeedLoopPeriod_s() >= 0.100) {
      phase_ = Phase::turn;
      phaseSamples_ = 0;
      turnSamples_ = std::max(1, static_cast<int>(std::lround(0.100 / host.SpeedLoopPeriod_s())));
    }
  }

  void TurnSlow(ProgramHost& host) {
    TakeSlowMean();
    ++phaseSamples_;
    frameAngle_ = static_cast<std::int32_t>(std::lround(static_cast<double>(kRestAngle) * phaseSamples_ / turnSamples_));
    if (phaseSamples_ < turnSamples_) return;
    const double du = rampEnd_.voltage - rampMid_.voltage;
    const double di = rampEnd_.current - rampMid_.current;
    trimGain_ = di > 0.0 && du > 0.0 ? 0.3 * du / di : 0.3 * frameVoltage_ / std::max(1, in1_);
    phase_ = Phase::trim;
    phaseSamples_ = 0;
    (void)host;
  }

  void TrimSlow(ProgramHost& host) {
    TrackStillness(host);
    const double current = TakeSlowMean();
    frameVoltage_ += trimGain_ * (in1_ - current);
    const double limit = host.VoltageLimit();
    frameVoltage_ = std::clamp(frameVoltage_, -limit, limit);
    ++phaseSamples_;
    const int window = std::max(1, static_cast<int>(std::lround(0.020 / host.SpeedLoopPeriod_s())));
    recent_.push_back({frameVoltage_, current});
    if (static_cast<int>(recent_.size()) > window) recent_.pop_front();
    double meanVoltage = 0.0, meanCurrent = 0.0;
    for (const RampPoint& p : recent_) {
      meanVoltage += p.voltage / static_cast<double>(recent_.size());
      meanCurrent += p.current / static_cast<double>(recent_.size());
    }
    const double elapsed_s = phaseSamples_ * host.SpeedLoopPeriod_s();
    const bool settled = static_cast<int>(recent_.size()) == window &&
                         std::abs(in1_ - meanCurrent) < 0.005 * in1_ &&
                         stillSlowTicks_ * host.SpeedLoopPeriod_s() >= 0.050 && phaseSamples_ >= timeAbSamples_;
    if (!settled && elapsed_s < 5.0) return;
    const std::int32_t reference = static_cast<std::int32_t>(std::lround(meanVoltage));
    rampStep_ = static_cast<double>(reference) / riseSamples_;
    host.SetDriveValue(drive::DriveVar::REFTST_V, reference);
    host.SetDriveValue(drive::DriveVar::RINCTST_V, static_cast<std::int32_t>(std::lround(rampStep_)));
    phase_ = Phase::rampDown;
  }

  void Finish(ProgramHost& host) {
    ApplyFrame(host);
    host.SwitchAxisOff();
    End();
  }

  struct RampPoint {
    double voltage = 0.0;
    double current = 0.0;
  };
  void RememberRampPoint(RampPoint& point, double current) const { point = {frameVoltage_, current}; }

  double TakeSlowMean() {
    const double mean = slowCount_ > 0 ? static_cast<double>(slowSum_) / slowCount_ : 0.0;
    slowSum_ = 0;
    slowCount_ = 0;
    return mean;
  }

  Phase phase_ = Phase::start;
  std::int32_t in1_ = 0;
  int riseSamples_ = 20;
  int turnSamples_ = 100;
  int timeAbSamples_ = 0;
  int phaseSamples_ = 0;
  double currentGain_ = 0.0;
  double currentReference_ = 0.0;
  double trimGain_ = 0.0;
  double rampStep_ = 1.0;
  RampPoint rampMid_, rampEnd_;
  std::deque<RampPoint> recent_;
  std::int64_t slowSum_ = 0;
  int slowCount_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateInitialPositioning() { return std::make_unique<InitialPositioning>(); }

}  // namespace drivesim::programs
