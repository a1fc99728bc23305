// Analogue_Reference_Test: the reference input's ADC (AD5) is live anyway; the program only marks
// itself started with the axis off and idles until the host stops it or launches another.
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

class AnalogueReference : public Program {
 public:
  bool TriggersLog() const override { return false; }
  void HostStop(ProgramHost&) override { End(); }
  void SlowStep(ProgramHost&) override {}
  void FastStep(ProgramHost& host) override {
    if (Ended() || started_) return;
    host.SetProgramValue("STARTED", 1);
    started_ = true;
  }

 private:
  bool started_ = false;
};

}  // namespace

std::unique_ptr<Program> CreateAnalogueReference() { return std::make_unique<AnalogueReference>(); }

}  // namespace drivesim::programs
