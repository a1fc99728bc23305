// The drive's closed loops above the current loop: torque (the program sets the current
// reference), speed (speed PI on the feedback counter's change per sample) and position (the
// position PID, cascaded into the speed PI when ACR bit 9 is set, else driving the current
// reference directly). One Step per outer-loop sample; the current loop itself runs in the fast
// ISR on the reference this produces.
#pragma once

#include <cstdint>
#include <optional>

#include "control/loop_registers.h"
#include "control/position_channel.h"
#include "control/speed_channel.h"

namespace drivesim::control {

enum class ServoMode { torque, speed, position };

// How a program closes the loops.
struct ServoConfig {
  ServoMode mode = ServoMode::torque;
  std::optional<bool> cascade;               // position → speed → current, or position → current; none: ACR bit 9
  std::optional<std::int32_t> currentLimit;  // the program's own current limit (IlimPS_Test) instead of 32767 − SATS
  std::optional<std::int32_t> speedLimit;    // the program's own speed limit of the cascade (LimitSpeed_Test) instead of 32767 − SATP
};

// The counters the outer loops read: the speed sensor's and the position sensor's (the same
// counter on a single-sensor axis).
struct ServoFeedback {
  std::int32_t speedCounter = 0;
  std::int32_t positionCounter = 0;
};

class Servo {
 public:
  // Engages at the present counters: integrators, filters and differences start from here, the
  // position target at the present position, the references at 0. The drive settles
  // `config.cascade` first (std::bad_optional_access when it has not); std::invalid_argument when
  // the filter slots do not match their counts.
  Servo(const ServoConfig& config, const SpeedLoopGains& speedGains, const PositionLoopGains& positionGains,
        const BiquadBank& filters, ServoFeedback start);

  // New register gains (the program's limits stay in force).
  void SetGains(const SpeedLoopGains& speedGains, const PositionLoopGains& positionGains);
  // New filter coefficients (written while the loops run), acting from the next sample.
  void SetFilters(const BiquadBank& filters) {
    speedChannel_.SetFilters(filters);
    positionChannel_.SetFilters(filters);
  }

  void SetCurrentReference(std::int32_t reference) { currentReference_ = reference; }  // torque mode
  void SetSpeedReference16(std::int64_t reference16) { speedReference16_ = reference16; }  // speed mode, 16.16 counts/sample
  void SetTargetPosition(std::int32_t target) { target_ = target; }                    // position mode, counts
  // The program takes the current reference over from the outer loops (to ramp it down): they
  // stop, and the current loop goes on from the reference they gave last.
  void TakeOverCurrent() { config_.mode = ServoMode::torque; }

  // One outer-loop sample:
  //   torque:    i_ref as set
  //   speed:     i_ref = speed channel(v_ref, counter)
  //   position:  out = position channel(target, position)
  //              cascade: v_ref = out << 16, i_ref = speed channel(v_ref, counter);  direct: i_ref = out
  void Step(ServoFeedback feedback);

  std::int32_t CurrentReference() const { return currentReference_; }
  std::int64_t SpeedReference16() const { return speedReference16_; }
  std::int32_t Speed() const { return speed_; }                 // counts per sample (filtered when the speed loop runs)
  std::int32_t Position() const { return position_; }
  std::int32_t TargetPosition() const { return target_; }
  bool SpeedLoopClosed() const;                                  // speed mode, or position in cascade
  bool PositionLoopClosed() const { return config_.mode == ServoMode::position; }
  std::int64_t SpeedError() const { return (speedReference16_ >> 16) - speed_; }   // of the last sample
  std::int32_t PositionError() const;                                              // target − position, wrapping

 private:
  SpeedLoopGains Limited(SpeedLoopGains gains) const;
  PositionLoopGains Limited(PositionLoopGains gains) const;

  ServoConfig config_;
  bool cascade_;
  SpeedChannel speedChannel_;
  PositionChannel positionChannel_;
  std::int32_t previousSpeedCounter_;
  std::int32_t currentReference_ = 0;
  std::int64_t speedReference16_ = 0;
  std::int32_t target_;
  std::int32_t speed_ = 0;
  std::int32_t position_;
};

}  // namespace drivesim::control
