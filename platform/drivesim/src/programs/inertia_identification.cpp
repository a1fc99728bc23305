// Total_Inertia_Identification_Test and Total_Mass_Identification_Test (one algorithm: the
// counter is the motor's, in counts of angle or of travel).
//
//   P1; ALIGN; COMMUTATE; the register current loop on the commutation angle.
//   up    i_q* = +In1 until the speed (counts per slow sample) reaches LimitSpeedMax
//   down  i_q* = −In1 until the speed is back at 0 or below; then i_q* = 0 and axis off.
// In each phase the slow samples whose speed lies in [0.2, 0.8]·LimitSpeedMax are fitted with
// counter = c0 + c1·k + c2·k² (least squares): α = 2·c2 counts per sample². α is normalised to the
// commanded current, α_n = α·In1/|ī| with ī the mean measured i_q over the same samples (the
// current loop lags the rising back-EMF a little); friction cancels in
// α_eff = (α_up,n − α_down,n)/2.
// Out: test_flag = 1, delta_time = n_up (samples of the up window), delta_speed = α_eff·n_up
// (16.16): the speed change that the test current alone gives in delta_time samples.
// Failures: speed below −LimitSpeedMax/8 at any time: test_flag = −1, axis off at once. Otherwise
// test_flag = 1 and delta_time = −1 (5 s without reaching the speed, last speed negative), −2 (the
// rotor stands: |speed| < 1 for 0.5 s after the first 0.2 s; the current stays below 0.9·In1 for
// 50 ms; too few samples to fit; the test protection) or −3 (moving, but the speed is not reached
// in 5 s).
#include <array>
#include <cmath>
#include <cstdlib>

#include "control/fixed_point.h"
#include "programs/motion_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr double kTimeout_s = 5.0;
constexpr double kStallGrace_s = 0.2;
constexpr double kStall_s = 0.5;
constexpr double kLowCurrent_s = 0.050;
constexpr std::int32_t kNegativeSpeed = -1, kNoMotion = -2, kSpeedNotReached = -3;

// Least squares fit of y = c0 + c1·x + c2·x² over the samples added.
class QuadraticFit {
 public:
  void Add(double x, double y) {
    double power = 1.0;
    for (std::size_t n = 0; n < moments_.size(); ++n, power *= x) {
      moments_[n] += power;
      if (n < weighted_.size()) weighted_[n] += power * y;
    }
  }
  int Count() const { return static_cast<int>(moments_[0]); }
  // c2 from the normal equations by Cramer's rule.
  double Curvature() const {
    const auto& s = moments_;
    const auto& t = weighted_;
    const auto det = [](double a, double b, double c, double d, double e, double f, double g, double h, double i) {
      return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    };
    const double d = det(s[0], s[1], s[2], s[1], s[2], s[3], s[2], s[3], s[4]);
    return det(s[0], s[1], t[0], s[1], s[2], t[1], s[2], s[3], t[2]) / d;
  }

 private:
  std::array<double, 5> moments_{};    // Σx⁰ … Σx⁴
  std::array<double, 3> weighted_{};   // Σy, Σx·y, Σx²·y
};

// One phase's window: the fit (counter against sample index, both from the window's first sample)
// and the measured current.
struct Window {
  QuadraticFit fit;
  double currentSum = 0.0;
  bool open = false;
  int firstSample = 0;
  std::int32_t firstCounter = 0;

  void Add(int sample, std::int32_t counter, std::int32_t current) {
    if (!open) {
      open = true;
      firstSample = sample;
      firstCounter = counter;
    }
    fit.Add(sample - firstSample, control::CounterDelta(counter, firstCounter));
    currentSum += current;
  }
  double MeanCurrent() const { return currentSum / fit.Count(); }
  // Acceleration at the commanded current, counts per sample².
  double NormalisedAcceleration(std::int32_t in1) const {
    return 2.0 * fit.Curvature() * in1 / std::abs(MeanCurrent());
  }
};

class TotalInertiaIdentification : public MotionProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  void ReadInputs(const ProgramHost& host) override {
    in1_ = host.ProgramValue("In1");
    limit_ = host.ProgramValue("LimitSpeedMax");
  }
  control::ServoConfig Loops() const override { return {control::ServoMode::torque, {}, {}, {}}; }

  void RunSlow(ProgramHost& host, control::Servo& servo) override {
    const std::int32_t speed = servo.Speed();
    if (speed < -limit_ / 8.0) {
      host.SetProgramValue("test_flag", -1);
      return EndNow(host);
    }
    const double elapsed_s = ++sample_ * host.SpeedLoopPeriod_s();
    const std::int32_t current = host.MeasuredCurrent(host.CommutationAngle()).y;
    const bool inWindow = speed >= 0.2 * limit_ && speed <= 0.8 * limit_;
    if (down_) {
      if (speed <= 0) return Complete(host, servo);
      if (inWindow) downWindow_.Add(sample_, host.MotorCounter(), current);
      if (elapsed_s - downStart_s_ >= kTimeout_s) Fail(host, kSpeedNotReached);
      return;
    }
    if (speed >= limit_) {
      down_ = true;
      downStart_s_ = elapsed_s;
      return servo.SetCurrentReference(-in1_);
    }
    servo.SetCurrentReference(in1_);
    if (inWindow) upWindow_.Add(sample_, host.MotorCounter(), current);
    UpChecks(host, speed, current, elapsed_s);
  }

  // The rotor that stands, the current that is not reached, the speed not reached in time.
  void UpChecks(ProgramHost& host, std::int32_t speed, std::int32_t current, double elapsed_s) {
    const double Ts = host.SpeedLoopPeriod_s();
    stillSamples_ = elapsed_s > kStallGrace_s && std::abs(speed) < 1 ? stillSamples_ + 1 : 0;
    lowCurrentSamples_ = std::abs(current) < 0.9 * in1_ ? lowCurrentSamples_ + 1 : 0;
    if (stillSamples_ * Ts >= kStall_s - 1e-12 || lowCurrentSamples_ * Ts >= kLowCurrent_s - 1e-12) {
      return Fail(host, kNoMotion);
    }
    if (elapsed_s < kTimeout_s) return;
    Fail(host, speed < 0 ? kNegativeSpeed : (speed > 0 ? kSpeedNotReached : kNoMotion));
  }

  void Complete(ProgramHost& host, control::Servo& servo) {
    servo.SetCurrentReference(0);
    if (upWindow_.fit.Count() < 3 || downWindow_.fit.Count() < 3 || upWindow_.MeanCurrent() == 0.0 ||
        downWindow_.MeanCurrent() == 0.0) {
      return Fail(host, kNoMotion);
    }
    const double acceleration =
        (upWindow_.NormalisedAcceleration(in1_) - downWindow_.NormalisedAcceleration(in1_)) / 2.0;
    const int samples = upWindow_.fit.Count();
    host.SetProgramValue("test_flag", 1);
    host.SetProgramValue("delta_time", samples);
    host.SetProgramValue("delta_speed", static_cast<std::int32_t>(std::lround(acceleration * samples * 65536.0)));
    EndNow(host);
  }

  void Fail(ProgramHost& host, std::int32_t code) {
    host.SetProgramValue("test_flag", 1);
    host.SetProgramValue("delta_time", code);
    EndNow(host);
  }

  void WriteProtectionOutputs(ProgramHost& host) override {
    host.SetProgramValue("test_flag", 1);
    host.SetProgramValue("delta_time", kNoMotion);
  }
  // The host's stop leaves the outputs unwritten: the run has not measured anything.
  void WriteFinalOutputs(ProgramHost&) override {}

  std::int32_t in1_ = 0;
  std::int32_t limit_ = 0;
  int sample_ = 0;
  bool down_ = false;
  double downStart_s_ = 0.0;
  int stillSamples_ = 0;
  int lowCurrentSamples_ = 0;
  Window upWindow_, downWindow_;
};

}  // namespace

std::unique_ptr<Program> CreateTotalInertiaIdentification() { return std::make_unique<TotalInertiaIdentification>(); }

}  // namespace drivesim::programs
