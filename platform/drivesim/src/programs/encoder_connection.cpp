// Encoder_Connection_Test, Encoder_LD_Connection_Test: monitoring programs that keep the axis off
// while the user turns the shaft by hand. The counters, the index captures and the Hall inputs
// are the drive's own and live anyway; the program only marks itself started and waits for the
// host to end it.
//
//   var_i2 := 0; STARTED := 1 (axis off: nobody polls it); runs until var_i2 leaves 0 (the host
//   writes 1), the host's stop, or the next launch.
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr std::int32_t kRunning = 0;

class EncoderConnection : public Program {
 public:
  bool TriggersLog() const override { return false; }

  void SlowStep(ProgramHost&) override {}

  void FastStep(ProgramHost& host) override {
    if (Ended()) return;
    if (!started_) {
      host.SetDriveValue(drive::DriveVar::var_i2, kRunning);
      host.SetProgramValue("STARTED", 1);
      started_ = true;
      return;
    }
    if (host.DriveValue(drive::DriveVar::var_i2) != kRunning) End();
  }

  void HostStop(ProgramHost&) override { End(); }

 private:
  bool started_ = false;
};

}  // namespace

std::unique_ptr<Program> CreateEncoderConnection() { return std::make_unique<EncoderConnection>(); }

}  // namespace drivesim::programs
