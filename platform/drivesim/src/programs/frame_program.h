// The steps that the energising test programs share: waiting for ENABLE and switching the axis
// on (P1), the test frame (angle THTST, a voltage on its q axis), ALIGN, the ramps down and the
// host's stop. A program derives from FramePrograms and sequences these steps.
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
  // RAMPDOWN by ALIGN's step per Ts_S (RIncTest, or RefTest/100 when none is given), then the
  // axis off and the end. Call at every slow tick.
  void RampDownAndEndSlow(ProgramHost& host);
  // Counts slow ticks during which the motor counter has not moved; reset when it moves.
  void TrackStillness(const ProgramHost& host);

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

}  // namespace drivesim::programs
