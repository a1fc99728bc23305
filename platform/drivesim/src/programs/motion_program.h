// The steps that the closed-loop test programs (total inertia or mass, speed and position tuning)
// share: P1; the start method of OSR bits 2–4 (the Hall start and the absolute source commutate
// at once, every other method first aligns the rotor: ALIGN(RefTest, RIncTest)); COMMUTATE and
// the drive's loops engaged as the program configures them; the test protection (|i_dq| >
// Imax_Prot_Test on 2 consecutive fast samples switches the axis off at once); the end of a run,
// the current reference ramped to 0 before the axis goes off, also on the host's stop.
#pragma once

#include <cstdint>

#include "control/servo.h"
#include "programs/frame_program.h"

namespace drivesim::programs {

class MotionProgram : public AligningProgram {
 public:
  void HostStop(ProgramHost& host) final;
  // Only the alignment drives the test frame; with the loops engaged the angle is the sensor's.
  bool DrivesTestFrame() const override { return !InOwnPhases(); }

 protected:
  // The program's own inputs, read at its first slow tick (RefTest, RIncTest and Imax_Prot_Test
  // are read by the base).
  virtual void ReadInputs(const ProgramHost& host) = 0;
  // The loops the program closes.
  virtual control::ServoConfig Loops() const = 0;
  // Every slow tick once the loops are engaged, after the drive's outer loops took their sample.
  virtual void RunSlow(ProgramHost& host, control::Servo& servo) = 0;
  // The test protection has tripped: the program's outputs (the axis goes off right after).
  virtual void WriteProtectionOutputs(ProgramHost& host) = 0;
  // The run ends (its last ramp, or the host's stop, also during the alignment): the outputs,
  // before the axis goes off.
  virtual void WriteFinalOutputs(ProgramHost& host) = 0;

  // Ends the run: the outer loops let go, the current reference ramps from where it stands to 0
  // over `ramp_s` (at least one slow period), then WriteFinalOutputs and axis off.
  void Finish(ProgramHost& host, control::Servo& servo, double ramp_s);
  // Ends at once: axis off (the outputs are written before).
  void EndNow(ProgramHost& host) {
    host.SwitchAxisOff();
    End();
  }

 private:
  enum class Phase { engage, engaged, rampDown };

  void Start(ProgramHost& host) final;
  bool Enabled(ProgramHost& host) final;
  void Aligned(ProgramHost& host) final { Engage(host); }
  bool ProtectionTripped(ProgramHost& host) final;
  void OwnSlow(ProgramHost& host) final;
  void OwnFast(ProgramHost&) final {}
  void Engage(ProgramHost& host);
  void RampDownSlow(ProgramHost& host);

  Phase phase_ = Phase::engage;
  std::int32_t protection_ = 0;
  int overCurrentTicks_ = 0;
  std::int32_t rampFrom_ = 0;
  int rampTicks_ = 1;
  int rampTick_ = 0;
};

}  // namespace drivesim::programs
