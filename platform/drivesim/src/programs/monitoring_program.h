// A program that keeps the axis off while the user moves the motor by hand: the drive's counters,
// captures and Hall inputs are live anyway. It marks itself started (var_i2 := 0 first, STARTED
// := 1; nobody polls it with the axis off), then watches every fast sample until var_i2 differs
// from the value it reported last (the host writes 1 to end it), the host's stop, or the next
// launch.
#pragma once

#include <cstdint>

#include "programs/program.h"

namespace drivesim::programs {

class MonitoringProgram : public Program {
 public:
  bool TriggersLog() const override { return false; }
  void HostStop(ProgramHost&) override { End(); }
  void SlowStep(ProgramHost&) override {}

  void FastStep(ProgramHost& host) final {
    if (Ended()) return;
    if (!started_) {
      host.SetDriveValue(drive::DriveVar::var_i2, reported_);
      Begin(host);
      host.SetProgramValue("STARTED", 1);
      started_ = true;
      return;
    }
    if (host.DriveValue(drive::DriveVar::var_i2) != reported_) return End();
    Watch(host);
  }

 protected:
  // The program's own outputs at its start, and its look at each fast sample.
  virtual void Begin(ProgramHost&) {}
  virtual void Watch(ProgramHost&) {}
  // Reports a value in var_i2; the program then ends when the host writes any other.
  std::int32_t Reported() const { return reported_; }
  void Report(ProgramHost& host, std::int32_t value) {
    reported_ = value;
    host.SetDriveValue(drive::DriveVar::var_i2, value);
  }

 private:
  bool started_ = false;
  std::int32_t reported_ = 0;
};

}  // namespace drivesim::programs
