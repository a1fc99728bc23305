// VDC_Detection_Test: with the axis off, the mean of the bus ADC over 256 fast samples goes to
// var_u2 (rounded, in program memory so that the drive's own bus sample does not overwrite it);
// then STARTED := 1 with the axis still off: started and ended at once.
#include <cmath>

#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr int kSamples = 256;

class VdcDetection : public Program {
 public:
  bool TriggersLog() const override { return false; }
  void HostStop(ProgramHost&) override { End(); }
  void SlowStep(ProgramHost&) override {}
  void FastStep(ProgramHost& host) override {
    if (Ended()) return;
    sum_ += host.BusCounts();
    if (++samples_ < kSamples) return;
    host.SetProgramValue("var_u2", static_cast<std::int32_t>(std::lround(sum_ / kSamples)));
    host.SetProgramValue("STARTED", 1);
    End();
  }

 private:
  double sum_ = 0.0;
  int samples_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateVdcDetection() { return std::make_unique<VdcDetection>(); }

}  // namespace drivesim::programs
