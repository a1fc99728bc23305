// Ident_L_or_Tau_el: a voltage vector of constant amplitude Ua turning at 1/N of the current-loop
// rate; the drive reports the frame currents (ID, IQ logged) and the amplitude var_i1 from which
// the identification test's formula L = mID·Ua/(ω·mI2) gives the inductance.
//
//   P1; voltage mode on the q axis of a frame turning by TINCTST = 65536/N per Ts_C (N = 16), u_d
//   = 0; the command computed at sample k (frame angle θ_k, THTST) acts over the next period, so it
//   is applied at θ_k + 1.5·TINCTST, the centre of that period. Ua ramps by U_lim/1000 per Ts_C
//   until the current amplitude reaches In1 or Ua reaches U_lim; a current then below In1/4
//   doubles N (at most 128) and restarts the ramp. Steady when the means of ID and IQ over whole
//   turns (at least 10 ms) no longer drift (0.05 % beyond their noise; 30 ms … 1 s); TriggerLog;
//   means over the log (400 fast samples without a logger); var_i1; Ua to 0 in 5 ms; axis off.
//
// Why the voltage on q: with frame phasors I = j·Ua/Z, ID = Ua·Im Z/|Z|² and |I|² = Ua²/|Z|², so
// mID·Ua/(ω·mI2) = Im Z/ω; a loss in phase with the current (R, iron) enters only Re Z.
// Sampled-data correction: with a held voltage and sampled currents the drive sees exactly
// Z_d = R'·cos(Δθ/2) + j·R'·coth(x)·sin(Δθ/2), Δθ = 2π/N, x = R'·Ts_C/(2L), so the plain formula
// returns L·x·coth(x)·sinc(Δθ/2) (−0.6 % at N = 16). The program inverts Z_d from its own means and
// reports var_i1 = Ua·L/L_plain, L_plain worked out exactly as the test does (means over every
// logged point but the first, ω from TINCTST with 65535 per turn), so the test's formula gives L.
// Dead time: the drive compensates the dead time it programs (as its current loop does) at the
// current it expects at the sample that opens the period in which the command acts: the frame
// currents averaged over about a turn, at that sample's angle. Left in, the loss would act as a
// resistance of (4/π)·V_d/|i| (0.8 Ω in the reference) lagging the current by the half period over
// which the power stage holds it, which takes about R_dt·Ts_C/(2L) off L (3.5 % in the reference).
#include <algorithm>
#include <cmath>
#include <numbers>

#include "programs/frame_program.h"
#include "programs/programs.h"
#include "programs/window_means.h"

namespace drivesim::programs {

namespace {

constexpr int kFirstDivision = 16;          // N: samples per electrical turn of the frame
constexpr int kLastDivision = 128;
constexpr double kRampSteps = 1000.0;       // Ua from 0 to U_lim in this many Ts_C
constexpr double kSteadyWindow_s = 0.010;
constexpr double kSteadyMin_s = 0.030;
constexpr double kSteadyMax_s = 1.0;
constexpr double kDrift = 0.0005;
constexpr int kSamplesWithoutLog = 400;
constexpr double kEndRamp_s = 0.005;
constexpr double kStopRamp_s = 0.020;

// Means of the frame currents as the identification test takes them from the log.
struct FrameMeans {
  double id = 0.0, iq = 0.0, squares = 0.0;
};

// Ua·L/L_plain: the amplitude for which the plain formula gives the inductance of the inverted Z_d.
// Where the means leave no inductance to invert (no reactive current, or a resistance the
// held-voltage model cannot explain), the amplitude is reported as applied.
double CorrectedAmplitude(double ua, const FrameMeans& m, int increment, double ts_s) {
  const double magnitude2 = m.id * m.id + m.iq * m.iq;
  if (m.id <= 0.0 || magnitude2 <= 0.0 || m.squares <= 0.0) return ua;
  const double reZ = ua * m.iq / magnitude2;
  const double imZ = ua * m.id / magnitude2;
  const double halfStep = std::numbers::pi * increment / 65536.0;
  double inductance = imZ * ts_s / (2.0 * std::sin(halfStep));  // the limit R' → 0
  if (reZ > 0.0) {
    const double resistance = reZ / std::cos(halfStep);
    const double cothX = imZ / (resistance * std::sin(halfStep));
    if (cothX <= 1.0) return ua;
    inductance = resistance * ts_s / (2.0 * std::atanh(1.0 / cothX));
  }
  const double omega = increment * 2.0 * std::numbers::pi / (ts_s * 65535.0);
  const double plain = m.id * ua / (omega * m.squares);
  return ua * inductance / plain;
}

class InductanceIdentification : public FrameProgram {
 public:
  bool TriggersLog() const override { return true; }

  void SlowStep(ProgramHost& host) override {
    if (phase_ != Phase::start) return;
    in1_ = host.ProgramValue("In1");
    phase_ = Phase::waitEnable;
  }

  void FastStep(ProgramHost& host) override {
    if (Ended()) return;
    if (phase_ == Phase::waitEnable && StartWhenEnabled(host)) BeginRamp(host, kFirstDivision);
    if (!host.AxisOn() || phase_ == Phase::start || phase_ == Phase::waitEnable) return;
    frameAngle_ = static_cast<std::int16_t>(frameAngle_ + increment_);
    const control::TwoAxis current = FrameCurrent(host);
    ++phaseTicks_;
    switch (phase_) {
      case Phase::ramp: RampFast(host, current); break;
      case Phase::settle: SettleFast(host, current); break;
      case Phase::measure: MeasureFast(host, current); break;
      case Phase::rampDown: RampDownFast(host); break;
      default: break;
    }
    if (Ended()) return;
    host.SetDriveValue(drive::DriveVar::THTST, frameAngle_);
    const auto uq = static_cast<std::int32_t>(std::lround(amplitude_));
    host.ApplyRegulatedVoltage(frameAngle_ + 3 * increment_ / 2, {0, uq}, ExpectedCurrent(current));
  }

  // The host's stop: the vector keeps turning while its amplitude falls to 0 (a standing vector
  // of this amplitude would drive far more than the test current).
  void HostStop(ProgramHost& host) override {
    if (!host.AxisOn()) return End();
    BeginRampDown(host, kStopRamp_s);
  }

 private:
  enum class Phase { start, waitEnable, ramp, settle, measure, rampDown };

  void Enter(Phase phase) {
    phase_ = phase;
    phaseTicks_ = 0;
  }

  void BeginRamp(ProgramHost& host, int division) {
    division_ = division;
    increment_ = 65536 / division;
    host.SetDriveValue(drive::DriveVar::TINCTST, increment_);
    amplitude_ = 0.0;
    Enter(Phase::ramp);
  }

  void RampFast(ProgramHost& host, control::TwoAxis current) {
    const double limit = host.VoltageLimit();
    const double magnitude = std::hypot(static_cast<double>(current.x), static_cast<double>(current.y));
    if (magnitude < in1_ && amplitude_ < limit) {
      amplitude_ = std::min(limit, amplitude_ + limit / kRampSteps);
      return;
    }
    if (magnitude < in1_ / 4.0 && division_ < kLastDivision) return BeginRamp(host, 2 * division_);
    const int turns = static_cast<int>(std::ceil(kSteadyWindow_s / (division_ * host.CurrentLoopPeriod_s())));
    idWindows_ = WindowMeans(turns * division_);
    iqWindows_ = WindowMeans(turns * division_);
    Enter(Phase::settle);
  }

  void SettleFast(ProgramHost& host, control::TwoAxis current) {
    const bool closed = idWindows_.Add(current.x);
    iqWindows_.Add(current.y);
    const double elapsed_s = phaseTicks_ * host.CurrentLoopPeriod_s();
    const bool steady = closed && elapsed_s >= kSteadyMin_s && idWindows_.Agree(kDrift) && iqWindows_.Agree(kDrift);
    if (!steady && elapsed_s < kSteadyMax_s) return;
    host.TriggerLog();
    sums_ = {};
    samples_ = 0;
    Enter(Phase::measure);
    MeasureFast(host, current);
  }

  // The samples of the logged window; the first is left out, as the test's mean leaves it out.
  void MeasureFast(ProgramHost& host, control::TwoAxis current) {
    const bool done = host.LogPoints() > 0 ? host.LogFull() : samples_ >= kSamplesWithoutLog;
    if (!done) {
      if (samples_++ == 0) return;
      const double id = current.x, iq = current.y;
      sums_.id += id;
      sums_.iq += iq;
      sums_.squares += id * id + iq * iq;
      return;
    }
    const double n = std::max(1, samples_ - 1);
    const FrameMeans means{sums_.id / n, sums_.iq / n, sums_.squares / n};
    const double corrected = CorrectedAmplitude(amplitude_, means, increment_, host.CurrentLoopPeriod_s());
    host.SetDriveValue(drive::DriveVar::var_i1, static_cast<std::int32_t>(std::lround(corrected)));
    BeginRampDown(host, kEndRamp_s);
  }

  // The frame currents averaged over about a turn, turned back by half a step: the current expected
  // at the next sample, in the frame of the command's angle (θ_k + 1.5·TINCTST).
  control::TwoAxis ExpectedCurrent(control::TwoAxis current) {
    const double weight = 1.0 / division_;
    averageId_ += weight * (current.x - averageId_);
    averageIq_ += weight * (current.y - averageIq_);
    const double back = std::numbers::pi * increment_ / 65536.0;
    const double c = std::cos(back), s = std::sin(back);
    return {static_cast<std::int32_t>(std::lround(averageId_ * c + averageIq_ * s)),
            static_cast<std::int32_t>(std::lround(-averageId_ * s + averageIq_ * c))};
  }

  void BeginRampDown(ProgramHost& host, double duration_s) {
    rampStep_ = amplitude_ / FastTicks(host, duration_s);
    Enter(Phase::rampDown);
  }

  void RampDownFast(ProgramHost& host) {
    amplitude_ = std::max(0.0, amplitude_ - rampStep_);
    if (amplitude_ > 0.0) return;
    host.ApplyVoltage(frameAngle_, {0, 0});
    host.SwitchAxisOff();
    End();
  }

  Phase phase_ = Phase::start;
  std::int32_t in1_ = 0;
  int division_ = kFirstDivision;
  std::int32_t increment_ = 65536 / kFirstDivision;
  double amplitude_ = 0.0;            // Ua, internal voltage units
  double rampStep_ = 0.0;
  double averageId_ = 0.0, averageIq_ = 0.0;
  int phaseTicks_ = 0;
  WindowMeans idWindows_, iqWindows_;
  FrameMeans sums_;
  int samples_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateInductanceIdentification() { return std::make_unique<InductanceIdentification>(); }

}  // namespace drivesim::programs
