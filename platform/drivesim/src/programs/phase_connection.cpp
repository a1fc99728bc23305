// Motor_Phase_Connection_Test: the voltage RefTest that drove the test current along phase A in
// the preliminary is applied again at the aligned rest; the drive reports the mean currents of
// phases A and B. In a healthy star motor phase A carries the current and B and C each return half
// of it (var_i1 ≈ In1, var_i2 ≈ −In1/2); an open or unbalanced phase changes that ratio.
//
//   P1; ALIGN(RefTest, RIncTest); hold 200 ms (the current settles, ≥ 5τ); var_i1, var_i2 = means
//   of the calibrated ADC counts of phases A and B over 100 ms (positive into the motor);
//   RAMPDOWN; axis off. No sensor is used; the rotor stays aligned.
#include <array>
#include <cmath>

#include "programs/frame_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr double kSettle_s = 0.200;
constexpr double kMeasure_s = 0.100;

class PhaseConnection : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  enum class Phase { settle, measure, rampDown };

  void OwnSlow(ProgramHost& host) override {
    if (phase_ == Phase::rampDown) RampDownAndEndSlow(host);
  }

  void OwnFast(ProgramHost& host) override {
    ++phaseTicks_;
    if (phase_ == Phase::settle && phaseTicks_ >= FastTicks(host, kSettle_s)) Enter(Phase::measure);
    if (phase_ == Phase::measure) Measure(host);
    ApplyFrame(host);
  }

  void Enter(Phase phase) {
    phase_ = phase;
    phaseTicks_ = 0;
  }

  void Measure(ProgramHost& host) {
    const std::array<std::int32_t, 2> counts = host.PhaseCurrentCounts();
    sumA_ += counts[0];
    sumB_ += counts[1];
    if (phaseTicks_ < FastTicks(host, kMeasure_s)) return;
    const auto mean = [this](std::int64_t sum) {
      return static_cast<std::int32_t>(std::lround(static_cast<double>(sum) / phaseTicks_));
    };
    host.SetDriveValue(drive::DriveVar::var_i1, mean(sumA_));
    host.SetDriveValue(drive::DriveVar::var_i2, mean(sumB_));
    Enter(Phase::rampDown);
  }

  Phase phase_ = Phase::settle;
  int phaseTicks_ = 0;
  std::int64_t sumA_ = 0;
  std::int64_t sumB_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreatePhaseConnection() { return std::make_unique<PhaseConnection>(); }

}  // namespace drivesim::programs
