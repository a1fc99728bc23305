// Hall_Signals_Connection_Test.
//
// IE: a monitoring program for the digital Hall inputs while the user turns the shaft by hand;
// the axis stays off.
//   var_i2 := 0, bad := 0, STARTED := 1. Every fast sample the Hall code, debounced over 3
//   samples: a valid code 1 … 6 joins the set of codes seen, 0 or 7 sets bad := 1; var_i2 := the
//   size of the set whenever it changes. Ends when var_i2 differs from the value it last wrote
//   (the host's 1 after a success), on the host's stop, or on the next launch.
//
// LH: the motor turns while the test samples the analogue Hall channels itself.
//   P1; ALIGN(RefTest, RIncTest); while run_test = 1, THTST turns continuously at one electrical
//   turn per second (voltage mode, RefTest); when 0: RAMPDOWN. A missing channel sets MER 0x20
//   without stopping the sweep.
#include <bitset>
#include <cmath>

#include "programs/frame_program.h"
#include "programs/monitoring_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

constexpr int kDebounceSamples = 3;

class DigitalHallSignals : public MonitoringProgram {
  void Begin(ProgramHost& host) override { host.SetProgramValue("bad", 0); }

  void Watch(ProgramHost& host) override {
    const int code = host.HallCode();
    steadySamples_ = code == candidate_ ? steadySamples_ + 1 : 1;
    candidate_ = code;
    if (steadySamples_ != kDebounceSamples) return;
    if (code == 0 || code == 7) {
      host.SetProgramValue("bad", 1);
      return;
    }
    seen_.set(static_cast<std::size_t>(code));
    const auto count = static_cast<std::int32_t>(seen_.count());
    if (count != Reported()) Report(host, count);
  }

  int candidate_ = -1;
  int steadySamples_ = 0;
  std::bitset<8> seen_;
};

class LinearHallSignals : public AligningProgram {
 public:
  bool TriggersLog() const override { return false; }

 private:
  void OwnSlow(ProgramHost& host) override {
    if (rampingDown_) RampDownAndEndSlow(host);
  }

  void OwnFast(ProgramHost& host) override {
    if (host.ProgramValue("run_test") != 1) rampingDown_ = true;
    if (!rampingDown_) {
      sweep16_ = std::fmod(sweep16_ + 65536.0 * host.CurrentLoopPeriod_s(), 65536.0);
      TurnFrameFromRest(sweep16_);
    }
    ApplyFrame(host);
  }

  bool rampingDown_ = false;
  double sweep16_ = 0.0;
};

}  // namespace

std::unique_ptr<Program> CreateHallSignalsConnection(bool linearHalls) {
  if (linearHalls) return std::make_unique<LinearHallSignals>();
  return std::make_unique<DigitalHallSignals>();
}

}  // namespace drivesim::programs
