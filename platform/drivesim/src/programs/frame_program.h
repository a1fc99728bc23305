// The steps that the energising test programs share: waiting for ENABLE and switching the axis
// on (P1), the test frame (angle THTST, a voltage on its q axis), ALIGN, the ramps down and the
// host's stop. A program derives from FrameProgram and sequences these steps.
//
// A program that first aligns the rotor derives from AligningProgram, which reads RefTest and
// RIncTest, waits for ENABLE, aligns and handles the host's stop; the program writes only its
// own phases:
//   Start(host)             its own inputs and first outputs (first slow tick)
//   Enabled(host)           at P1; return false to skip the alignment (rotor already placed)
//   ProtectionTripped(host) every fast tick with the axis on, alignment included; true ends it
//   Aligned(host)           in the slow tick that completes the alignment
//   OwnSlow / OwnFast       its phases: from the slow tick after the alignment, and from the
//                           fast ticks that follow it (axis on; ApplyFrame is theirs to call)
// A program ends with RampDownAndEndSlow (RAMPDOWN at ALIGN's step, axis off) or End().
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "programs/program.h"

namespace drivesim::programs {

// Angle of the aligned rest: current along phase A, rotor d axis at θ_e = 0.
inline constexpr std::int32_t kRestAngle = -16383;

class FrameProgram : public Program {
 public:
  void HostStop(ProgramHost& host) override;
  bool DrivesTestFrame() const override { return true; }

 protected:
  // P1: true once ENABLE is active and the axis is on with STARTED = 1 (same fast tick).
  bool StartWhenEnabled(ProgramHost& host);
  // Applies the frame's voltage command (rounded, limited to ±U_lim) at the frame angle; returns
  // the u_q applied. With a current on q, the drive adds its dead-time compensation for it.
  std::int32_t ApplyFrame(ProgramHost& host, std::int32_t compensatedCurrent = 0) {
    const double limit = host.VoltageLimit();
    const auto uq = static_cast<std::int32_t>(std::clamp(std::round(frameVoltage_), -limit, limit));
    host.SetDriveValue(drive::DriveVar::THTST, frameAngle_);
    if (compensatedCurrent == 0) {
      host.ApplyVoltage(frameAngle_, {0, uq});
    } else {
      host.ApplyRegulatedVoltage(frameAngle_, {0, uq}, {0, compensatedCurrent});
    }
    return uq;
  }
  // The frame turned from the aligned rest by `turned16` (16-bit electrical units, any number of
  // turns); THTST wraps as the drive's 16-bit angle does.
  void TurnFrameFromRest(double turned16) {
    const auto withinTurn = static_cast<std::int32_t>(std::lround(std::fmod(turned16, 65536.0)));
    frameAngle_ = static_cast<std::int16_t>(kRestAngle + withinTurn);
  }
  // Frame current (ID, IQ) of the latest samples.
  control::TwoAxis FrameCurrent(const ProgramHost& host) const { return host.MeasuredCurrent(frameAngle_); }

  // ALIGN at the rest angle, voltage mode: ramp to `target` by `increment` per Ts_S, then hold
  // until the counter has been still for 20 ms (at least 50 ms, at most 500 ms). Call at every
  // slow tick; true when aligned.
  bool AlignSlow(ProgramHost& host);
  void BeginAlign(double target, double increment);
  // Fast ticks in a duration, at least one.
  static int FastTicks(const ProgramHost& host, double duration_s) {
    return std::max(1, static_cast<int>(std::lround(duration_s / host.CurrentLoopPeriod_s())));
  }
  // Voltage to 0 by `rampStep` per Ts_S; true when it is 0.
  bool RampVoltageDownSlow(double rampStep);
  // ALIGN's step per Ts_S: RIncTest, or max(1, RefTest/100) when it is 0 or less.
  double AlignStep() const { return alignIncrement_; }
  // RAMPDOWN by AlignStep per Ts_S, then the axis off and the end. Call at every slow tick.
  void RampDownAndEndSlow(ProgramHost& host);
  // Counts slow ticks during which the motor counter has not moved; reset when it moves.
  void TrackStillness(const ProgramHost& host);
  // After `heldSlowTicks` of holding: the counter still for 20 ms (held at least 50 ms), or held
  // 500 ms.
  bool Settled(const ProgramHost& host, int heldSlowTicks) const;

  // Whether the host's stop is in progress (FastStep then ramps and ends by itself).
  bool Stopping() const { return stopping_; }
  // The host-stop ramp: voltage to 0 within 20 ms, then axis off and end. Call at fast ticks.
  void StopRampFast(ProgramHost& host);

  std::int32_t frameAngle_ = kRestAngle;   // THTST
  double frameVoltage_ = 0.0;              // u_q of the frame, internal voltage units
  int stillSlowTicks_ = 0;

 private:
  double alignTarget_ = 0.0;
  double alignIncrement_ = 1.0;
  int alignSlowTicks_ = 0;
  std::int32_t lastCounter_ = 0;
  bool stopping_ = false;
  double stopStep_ = 0.0;
};

// P1; ALIGN(RefTest, RIncTest); then the program's own phases. The host's stop ramps the frame
// voltage down from any of them.
class AligningProgram : public FrameProgram {
 public:
  void SlowStep(ProgramHost& host) final;
  void FastStep(ProgramHost& host) final;

 protected:
  virtual void Start(ProgramHost&) {}
  virtual bool Enabled(ProgramHost&) { return true; }
  virtual bool ProtectionTripped(ProgramHost&) { return false; }
  virtual void Aligned(ProgramHost&) {}
  virtual void OwnSlow(ProgramHost& host) = 0;
  virtual void OwnFast(ProgramHost& host) = 0;

  double RefTest() const { return refTest_; }
  // Whether the program's own phases have begun (P1 and the alignment are behind).
  bool InOwnPhases() const { return stage_ == Stage::own; }

 private:
  enum class Stage { start, waitEnable, align, own };

  Stage stage_ = Stage::start;
  double refTest_ = 0.0;
  double rampStep_ = 0.0;
};

}  // namespace drivesim::programs
