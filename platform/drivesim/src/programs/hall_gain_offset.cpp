// Detect_Hall_Gain_Offset_Test: calibrates the three analogue Hall channels from two electrical
// turns of the motor.
//
//   HALLCASE := 0 (running); P1; ALIGN(RefTest, RIncTest); THTST turns two electrical turns
//   forward at one turn per second (voltage mode, RefTest), the channels (AD6, AD3, AD8/AD9)
//   sampled at every slow tick with the angle θ = THTST + 16384; the rotor is then back at the
//   electrical rest: 50 ms to settle, the channels' means over 100 ms.
//   offset_x = (max + min)/2, amplitude A_x = (max − min)/2. Any A_x below 0.1 V → HALLCASE −1.
//   The rising crossings of the mid values in the second turn: B − A near −120° (± 40°: the
//   sequence runs against the positive rotation) → HALLCASE −2; away from +120° ± 40° → −1.
//   Otherwise AD6OFF, AD3OFF, SFTCWEAK := the offsets of A, B, C; SRECTCOMP, SIN2REC, KSLIP :=
//   round(32767·A_min/A_x); ALPHA := the mean spacing B − A, C − B; ZAOFF := the calibrated angle
//   at the rest; then HALLCASE := 1 (last: the host stops waiting once it is not 0); RAMPDOWN.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "control/angle_source.h"
#include "control/fixed_point.h"
#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr double kTurn16 = 65536.0;
constexpr double kSweepTurns = 2.0;
constexpr double kSettle_s = 0.050;
constexpr double kMeasure_s = 0.100;
constexpr double kMinimumAmplitude = 1309.0;  // 0.1 V of the 5 V channels
constexpr double kSpacing16 = kTurn16 / 3.0;
constexpr double kSpacingTolerance16 = kTurn16 * 40.0 / 360.0;
constexpr std::int32_t kDone = 1;
constexpr std::int32_t kSignalMissing = -1;
constexpr std::int32_t kWrongSequence = -2;

struct Sample {
  double angle16;
  std::array<std::int32_t, 3> counts;
};

// The angle at which channel x first rises through `mid` in the second turn.
std::optional<double> RisingCrossing(const std::vector<Sample>& samples, std::size_t x, double mid) {
  for (std::size_t k = 1; k < samples.size(); ++k) {
    const double before = samples[k - 1].counts[x], after = samples[k].counts[x];
    if (samples[k].angle16 < kTurn16 || !(before < mid && after >= mid)) continue;
    const double fraction = (mid - before) / (after - before);
    return samples[k - 1].angle16 + fraction * (samples[k].angle16 - samples[k - 1].angle16);
  }
  return std::nullopt;
}

class HallGainOffset : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { sweep, settle, measure, rampDown };

  void Start(ProgramHost& host) override { host.SetProgramValue("HALLCASE", 0); }

  void Aligned(ProgramHost& host) override { step16_ = kTurn16 * host.CurrentLoopPeriod_s(); }

  void OwnFast(ProgramHost& host) override {
    if (phase_ == Phase::sweep) {
      sweep16_ = std::min(kSweepTurns * kTurn16, sweep16_ + step16_);
      TurnFrameFromRest(sweep16_);
    }
    ApplyFrame(host);
  }

  void OwnSlow(ProgramHost& host) override {
    const std::array<std::int32_t, 3> counts = host.LinearHallCounts();
    ++phaseSamples_;
    switch (phase_) {
      case Phase::sweep:
        samples_.push_back({sweep16_, counts});
        if (sweep16_ >= kSweepTurns * kTurn16) Enter(Phase::settle);
        return;
      case Phase::settle:
        if (phaseSamples_ * host.SpeedLoopPeriod_s() >= kSettle_s) Enter(Phase::measure);
        return;
      case Phase::measure:
        for (std::size_t x = 0; x < 3; ++x) restSum_[x] += counts[x];
        if (phaseSamples_ * host.SpeedLoopPeriod_s() >= kMeasure_s) Finish(host);
        return;
      case Phase::rampDown: RampDownAndEndSlow(host); return;
    }
  }

  void Enter(Phase phase) {
    phase_ = phase;
    phaseSamples_ = 0;
  }

  void Finish(ProgramHost& host) {
    for (std::size_t x = 0; x < 3; ++x) rest_[x] = static_cast<std::int32_t>(std::lround(restSum_[x] / phaseSamples_));
    Enter(Phase::rampDown);
    std::array<double, 3> offset{}, amplitude{};
    for (std::size_t x = 0; x < 3; ++x) {
      const auto byChannel = [x](const Sample& a, const Sample& b) { return a.counts[x] < b.counts[x]; };
      const auto [low, high] = std::minmax_element(samples_.begin(), samples_.end(), byChannel);
      offset[x] = (high->counts[x] + low->counts[x]) / 2.0;
      amplitude[x] = (high->counts[x] - low->counts[x]) / 2.0;
    }
    if (*std::min_element(amplitude.begin(), amplitude.end()) < kMinimumAmplitude) {
      return host.SetProgramValue("HALLCASE", kSignalMissing);
    }
    std::array<double, 3> crossing{};
    for (std::size_t x = 0; x < 3; ++x) {
      const std::optional<double> angle = RisingCrossing(samples_, x, offset[x]);
      if (!angle) return host.SetProgramValue("HALLCASE", kSignalMissing);
      crossing[x] = *angle;
    }
    const auto spacing = [](double from, double to) {
      return static_cast<double>(control::WrapAngle16(std::llround(to - from)));
    };
    const double ba = spacing(crossing[0], crossing[1]), cb = spacing(crossing[1], crossing[2]);
    if (std::abs(ba + kSpacing16) <= kSpacingTolerance16) return host.SetProgramValue("HALLCASE", kWrongSequence);
    if (std::abs(ba - kSpacing16) > kSpacingTolerance16) return host.SetProgramValue("HALLCASE", kSignalMissing);
    WriteCalibration(host, offset, amplitude, (ba + cb) / 2.0);
    host.SetProgramValue("HALLCASE", kDone);
  }

  void WriteCalibration(ProgramHost& host, const std::array<double, 3>& offset, const std::array<double, 3>& amplitude,
                        double spacing16) {
    const double smallest = *std::min_element(amplitude.begin(), amplitude.end());
    control::LinearHallCalibration calibration;
    for (std::size_t x = 0; x < 3; ++x) {
      calibration.offset[x] = static_cast<std::int32_t>(std::lround(offset[x]));
      calibration.gain[x] = static_cast<std::int32_t>(std::lround(32767.0 * smallest / amplitude[x]));
    }
    calibration.spacing = static_cast<std::int32_t>(std::lround(spacing16));
    using drive::DriveVar;
    host.SetDriveValue(DriveVar::AD6OFF, calibration.offset[0]);
    host.SetDriveValue(DriveVar::AD3OFF, calibration.offset[1]);
    host.SetDriveValue(DriveVar::SFTCWEAK, calibration.offset[2]);
    host.SetDriveValue(DriveVar::SRECTCOMP, calibration.gain[0]);
    host.SetDriveValue(DriveVar::SIN2REC, calibration.gain[1]);
    host.SetDriveValue(DriveVar::KSLIP, calibration.gain[2]);
    host.SetDriveValue(DriveVar::ALPHA, calibration.spacing);
    host.SetDriveValue(DriveVar::ZAOFF, control::LinearHallAngle16(rest_, calibration));
  }

  Phase phase_ = Phase::sweep;
  int phaseSamples_ = 0;
  double step16_ = 0.0;
  double sweep16_ = 0.0;
  std::vector<Sample> samples_;
  std::array<double, 3> restSum_{};
  std::array<std::int32_t, 3> rest_{};  // the channels' means at the rest
};

}  // namespace

std::unique_ptr<Program> CreateHallGainOffset() { return std::make_unique<HallGainOffset>(); }

}  // namespace drivesim::programs
