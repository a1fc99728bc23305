// What the speed and position tuning programs share: the six-segment reference profile (for
// i = 0 … 5, a_i slow periods of ref32 += b_i, ref32 in 16.16 from 0), TriggerLog at the profile
// start, 100 ms of hold after it (a single run also holds until the log is full), MultiC: the next
// cycle at once, the log restarted at each cycle (an upload shows the last complete one), until
// the host stops the program; then the current ramps to 0 and test_flag = 1. The test protection
// gives test_flag = −1.
#pragma once

#include <array>
#include <cstdint>

#include "programs/motion_program.h"

namespace drivesim::programs {

// The reference of a_i periods of b_i each: counts a0 … a5 (uint16), slopes b0 … b5 (16.16).
class SegmentProfile {
 public:
  void Load(const ProgramHost& host);
  void Restart();
  // One period: true while a segment runs (the reference has moved on), false once all have.
  bool Step();
  std::int64_t Reference16() const { return reference16_; }

 private:
  std::array<std::int64_t, 6> counts_{};
  std::array<std::int64_t, 6> slopes16_{};
  std::size_t segment_ = 0;
  std::int64_t periodsDone_ = 0;
  std::int64_t reference16_ = 0;
};

class ProfileProgram : public MotionProgram {
 public:
  bool TriggersLog() const override { return true; }

 protected:
  // The program's limit inputs, read with the profile.
  virtual void ReadLimits(const ProgramHost& host) = 0;
  // The reference of this period to the loops.
  virtual void Apply(control::Servo& servo, std::int64_t reference16) = 0;
  // At the first profile period, with the loops as they stand.
  virtual void BeginProfile(control::Servo&) {}

 private:
  void ReadInputs(const ProgramHost& host) final;
  void RunSlow(ProgramHost& host, control::Servo& servo) final;
  void WriteProtectionOutputs(ProgramHost& host) final { host.SetProgramValue("test_flag", -1); }
  void WriteFinalOutputs(ProgramHost& host) final { host.SetProgramValue("test_flag", 1); }

  SegmentProfile profile_;
  bool multiCycle_ = false;
  bool cycleRunning_ = false;
  int cycles_ = 0;
  int holdTicks_ = 0;
};

}  // namespace drivesim::programs
