// Ident_R_or_Rs: the voltage that drives a direct current In1 along phase A at the aligned rest
// (no torque, no motion), averaged over exactly the logged window. Two runs at two currents give
// the resistance from the differences, in which the converter offsets drop out. The dead-time
// loss would drop out too only while every phase current exceeds the ripple knee
// V_bus·T_pwm/(8·L): phases B and C carry a quarter of the test current in the second run, which
// a low-inductance winding (a delta, say) leaves below the knee, so that R came out more than twice
// too high. The drive therefore compensates the dead time it programs, at In1, as its current
// loop does, and var_i1 is the command without that compensation. The currents of the two runs
// differ by half the test current only: the offsets that the drive calibrates at each axis-on
// from 16 samples (ADC noise of one step: 16 counts) would scatter R by about 1 % (4 % on a delta
// winding, in the knee); the program calibrates them again from 1024 samples.
//
//   P1; current offsets calibrated again; ALIGN(RefTest, RIncTest); integral trim of i_q at
//   THTST = −16383, loop gain 0.01 per fast sample (crossover about 100 rad/s whatever the motor;
//   not the setup's gains, R and L being what is measured), the dead-time compensation faded in
//   over its first 50 ms; steady when the 20 ms means of u_q and i_q no longer drift (0.05 % beyond
//   their noise; 100 ms … 2 s); TriggerLog; accumulate u_q, and the bus ADC, until the log is full
//   (400 fast samples without a logger); var_i1 = mean u_q (sinusoidal scale), var_u2 = mean bus
//   ADC; RAMPDOWN; axis off.
#include <algorithm>
#include <cmath>

#include "programs/frame_program.h"
#include "programs/programs.h"
#include "programs/window_means.h"

namespace drivesim::programs {

namespace {

constexpr double kLoopGain = 0.01;          // per fast sample, relative to the plant's DC gain
constexpr double kWindow_s = 0.020;
constexpr double kCompensationFade_s = 0.050;
constexpr double kSteadyMin_s = 0.100;
constexpr double kSteadyMax_s = 2.0;
constexpr double kDrift = 0.0005;
constexpr int kSamplesWithoutLog = 400;
constexpr int kOffsetSamples = 1024;

class ResistanceIdentification : public AligningProgram {
 public:
  bool TriggersLog() const override { return true; }

 private:
  enum class Phase { trim, measure, rampDown };

  void OwnSlow(ProgramHost& host) override {
    if (phase_ == Phase::rampDown) return RampDownAndEndSlow(host);
    if (phase_ != Phase::measure) return;
    busSum_ += host.BusCounts();
    ++busSamples_;
  }

  bool Enabled(ProgramHost& host) override {
    host.CalibrateCurrentOffsets(kOffsetSamples);
    return true;
  }

  void OwnFast(ProgramHost& host) override {
    if (phase_ == Phase::rampDown) {
      ApplyFrame(host);
      return;
    }
    ++phaseTicks_;
    const double current = FrameCurrent(host).y;
    const double limit = host.VoltageLimit();
    frameVoltage_ = std::clamp(frameVoltage_ + gain_ * (in1_ - current), -limit, limit);
    ++compensatedTicks_;
    const double fade = std::min(1.0, compensatedTicks_ * host.CurrentLoopPeriod_s() / kCompensationFade_s);
    const std::int32_t applied = ApplyFrame(host, static_cast<std::int32_t>(std::lround(fade * in1_)));
    if (phase_ == Phase::trim) return Trim(host, applied, current);
    if (MeasurementDone(host)) return Finish(host);
    voltageSum_ += applied;
    ++voltageSamples_;
  }

  void Start(ProgramHost& host) override {
    in1_ = host.ProgramValue("In1");
    // The preliminary's RefTest drove In1: their ratio is the plant's DC gain (dead time included).
    gain_ = kLoopGain * std::max(1.0, RefTest()) / std::max(1, in1_);
    const int window = FastTicks(host, kWindow_s);
    voltageWindows_ = WindowMeans(window);
    currentWindows_ = WindowMeans(window);
  }

  void Enter(Phase phase) {
    phase_ = phase;
    phaseTicks_ = 0;
  }

  void Trim(ProgramHost& host, std::int32_t applied, double current) {
    const bool closed = voltageWindows_.Add(applied);
    currentWindows_.Add(current);
    const double elapsed_s = phaseTicks_ * host.CurrentLoopPeriod_s();
    const bool steady = closed && elapsed_s >= kSteadyMin_s && voltageWindows_.Agree(kDrift) &&
                        currentWindows_.Agree(kDrift);
    if (!steady && elapsed_s < kSteadyMax_s) return;
    host.TriggerLog();
    Enter(Phase::measure);
    voltageSum_ = applied;
    voltageSamples_ = 1;
  }

  bool MeasurementDone(const ProgramHost& host) const {
    return host.LogPoints() > 0 ? host.LogFull() : voltageSamples_ >= kSamplesWithoutLog;
  }

  void Finish(ProgramHost& host) {
    const double bus = busSamples_ > 0 ? busSum_ / busSamples_ : host.BusCounts();
    host.SetDriveValue(drive::DriveVar::var_i1, static_cast<std::int32_t>(std::lround(voltageSum_ / voltageSamples_)));
    host.SetProgramValue("var_u2", static_cast<std::int32_t>(std::lround(bus)));
    Enter(Phase::rampDown);
  }

  Phase phase_ = Phase::trim;
  std::int32_t in1_ = 0;
  double gain_ = 0.0;
  int phaseTicks_ = 0;
  int compensatedTicks_ = 0;
  WindowMeans voltageWindows_, currentWindows_;
  double voltageSum_ = 0.0;
  int voltageSamples_ = 0;
  double busSum_ = 0.0;
  int busSamples_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateResistanceIdentification() { return std::make_unique<ResistanceIdentification>(); }

}  // namespace drivesim::programs
