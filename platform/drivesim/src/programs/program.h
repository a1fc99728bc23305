// A test program running on the drive, and what the drive offers it. The drive calls SlowStep at
// every slow tick and FastStep at every fast tick (after the ADC samples) while it runs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "control/current_loop.h"
#include "control/loop_registers.h"
#include "control/fixed_point.h"
#include "control/servo.h"
#include "drive/drive_variables.h"
#include "drivesim/catalogue.h"

namespace drivesim::programs {

// The drive's side of a running program.
class ProgramHost {
 public:
  virtual ~ProgramHost() = default;
  virtual double CurrentLoopPeriod_s() const = 0;                 // Ts_C
  virtual double SpeedLoopPeriod_s() const = 0;                   // Ts_S
  virtual std::int32_t Register(std::string_view name, std::int32_t fallback) const = 0;
  virtual std::int32_t ProgramValue(std::string_view name) const = 0;   // program memory
  virtual void SetProgramValue(std::string_view name, std::int32_t value) = 0;
  virtual void SetDriveValue(drive::DriveVar variable, std::int32_t value) = 0;  // drive variables
  virtual const control::CurrentLoopGains& CurrentGains() const = 0;  // the current loop's registers
  virtual const control::SpeedLoopGains& SpeedGains() const = 0;      // the speed loop's registers
  virtual const control::PositionLoopGains& PositionGains() const = 0;  // the position loop's registers
  virtual const control::BiquadBank& Biquads() const = 0;              // the filter slots and their counts
  virtual bool EnableActive() const = 0;                          // ENABLE at its active level
  virtual bool AxisOn() const = 0;
  virtual void SwitchAxisOn() = 0;                                // calibrates the ADC offsets, zero voltage
  virtual void CalibrateCurrentOffsets(int samples) = 0;          // again, over more samples, at zero current
  virtual void SwitchAxisOff() = 0;
  virtual control::TwoAxis MeasuredCurrent(std::int32_t angle16) const = 0;  // (ID, IQ) in a frame, counts
  virtual std::array<std::int32_t, 2> PhaseCurrentCounts() const = 0;  // calibrated samples of phases A and B
  virtual std::int32_t BusCounts() const = 0;                     // the bus ADC sample of the last slow tick
  virtual std::int32_t DriveValue(drive::DriveVar variable) const = 0;  // a mailbox the host writes (var_i2)
  virtual void ApplyVoltage(std::int32_t angle16, control::TwoAxis dq) = 0;  // acts one control period later
  // The register current loop's output: as ApplyVoltage, plus the drive's dead-time compensation.
  virtual void ApplyRegulatedVoltage(std::int32_t angle16, control::TwoAxis dq, control::TwoAxis currentReference) = 0;
  virtual std::int32_t VoltageLimit() const = 0;                  // U_lim = 32767 − SATPWM
  virtual std::int32_t MotorCounter() const = 0;                  // APOS_MT
  // The motor resolver's R/D converter: the signed amplitude of its demodulated envelope (relative
  // to nominal; negative against the carrier) were it to demodulate at a phase, and the phase it
  // demodulates at from now on. The amplitude is 0 without a resolver.
  virtual double ResolverAmplitude(double demodulationPhase_rad) const = 0;
  virtual void SetResolverDemodulationPhase(double demodulationPhase_rad) = 0;
  virtual int HallCode() const = 0;                               // HALL: 4·H1 + 2·H2 + H3
  virtual std::array<std::int32_t, 3> LinearHallCounts() const = 0;  // AD6, AD3, AD8/AD9 of the last slow tick
  virtual void TriggerLog() = 0;
  // A new capture from the present tick; uploads show the previous one until the new one is full.
  virtual void RestartLog() = 0;
  virtual bool LogFull() const = 0;                               // also true when no logger is attached
  virtual int LogPoints() const = 0;                              // points of the attached logger, 0 if none

  // The drive's closed loops. COMMUTATE: the commutation angle from the motor sensor, as the
  // setup's start method and sensor give it (an incremental sensor takes θ_e16 = 0 at the
  // present counter: the rotor has just been aligned). EngageServo then closes the loops the
  // config names from the present counters; the register current loop runs on the commutation
  // angle every Ts_C and the outer loops every Ts_S (Ts_C with UPGRADE bit 6), before the
  // program's own steps. The servo is released with the axis (SwitchAxisOff, a latched fault, a
  // limit switch's quick stop): a program must not keep the reference beyond that.
  virtual void Commutate() = 0;
  virtual control::Servo& EngageServo(const control::ServoConfig& config) = 0;
  virtual control::Servo* EngagedServo() = 0;                     // null while none is engaged
  virtual void ReleaseServo() = 0;                                // back to the program's own voltages
  virtual std::int32_t CommutationAngle() const = 0;              // θ_e16 of the active angle source
  // The motor encoder's electrical angle (16 bits) at the present counter, from an offset that
  // EncoderOffset32 gave (ENC2THL and the sin/cos interpolation, as the incremental commutation).
  virtual std::int32_t EncoderAngle16(std::uint32_t offset32) const = 0;
  virtual std::uint32_t EncoderOffset32(std::int32_t angle16) const = 0;  // θ_e16 = angle16 at the present counter
  // The commutation from the motor encoder with θ_e16 = angle16 at the present counter (a
  // motionless start's estimate), kept for the closed loops that follow.
  virtual void KeepCommutationAngle(std::int32_t angle16) = 0;
};

class Program {
 public:
  virtual ~Program() = default;
  virtual void SlowStep(ProgramHost& host) = 0;
  virtual void FastStep(ProgramHost& host) = 0;
  virtual void HostStop(ProgramHost& host) = 0;   // the host's stop: ramp down, then end
  virtual bool TriggersLog() const = 0;           // calls TriggerLog itself (else logging starts at once)
  virtual bool DrivesTestFrame() const { return false; }  // its angle is THTST (identification, alignment, Hall tests)
  bool Ended() const { return ended_; }

 protected:
  void End() { ended_ = true; }

 private:
  bool ended_ = false;
};

// A new instance of a catalogue program.
std::unique_ptr<Program> CreateProgram(const ProgramDescriptor& descriptor);

}  // namespace drivesim::programs
