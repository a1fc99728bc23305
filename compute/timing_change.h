// A change of the drive's timing: the PWM frequency or the sampling divider of the fast (current)
// or the slow (speed and position) loop. The drive holds every time, speed, acceleration and jerk
// in loop samples, so such an edit silently changes the physical meaning of many other values;
// this routine keeps the setup consistent, the same for the Advanced dialog and the command line:
//   - a new PWM frequency keeps both loop periods (the dividers are chosen again, never below 1
//     and the slow one never below the fast one);
//   - the slow loop is never faster than the fast loop;
//   - a serial encoder's clock is raised when its loop becomes too short to read it at that clock;
//   - a new slow-loop period rescales every time-dependent value so that it keeps its meaning in
//     seconds (and the I2t currents so that a clamped I2t time keeps its I2t).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compute/compute_reporter.h"
#include "drivebase/setup.h"

namespace kestrel {

// What the routine remembers between the edits of one setup.
struct LoopTiming {
  double lastSlowPeriod_s = 0.0;  // the slow-loop period the time-dependent values are scaled for
  double keptFastPeriod_s = 0.0;  // the periods that a new PWM frequency keeps
  double keptSlowPeriod_s = 0.0;
};

// The periods as the setup holds them now (Ts_C, Ts_S).
LoopTiming ReadLoopTiming(const CMC_Setup* setup);

// PWM_freq, CLPER and SLPER (in any case): the edits that go through ChangeTiming.
bool IsTimingParameter(std::string_view name);

struct RescaledValue {
  std::string name;
  double before;  // internal values
  double after;
};

enum class SerialClockOutcome { kRaised, kLoopTooShort };

// A serial absolute encoder whose clock was too slow for its loop.
struct SerialClockChange {
  std::string parameter;  // SSI_freq (motor, read in the fast loop) or SSI_freq_LD (load, slow loop)
  SerialClockOutcome outcome;
  double before_Hz;
  double after_Hz;  // kLoopTooShort: unchanged
};

struct TimingChange {
  double ratio = 1.0;  // r = old slow-loop period / new; 1 when nothing was rescaled
  std::vector<RescaledValue> rescaled;
  std::vector<SerialClockChange> serialClocks;
  // Below the drive's minimum (Ts_C_min, Ts_S_min) or too short to read the loop's serial
  // encoder at any clock: the setup cannot be used so.
  bool fastLoopTooShort = false;
  bool slowLoopTooShort = false;
};

// Runs after `changed` (PWM_freq, CLPER or SLPER) has its new value in the setup: chooses the
// dividers, the periods, the serial clocks, rescales the time-dependent values when the slow-loop
// period moved away from timing.lastSlowPeriod_s, recomputes the registers and derives the user
// level back. Updates `timing` for the next edit. The reporter gets what the register
// computation reports.
TimingChange ChangeTiming(CMC_Setup* setup, std::string_view changed, LoopTiming& timing,
                          const ComputeReporter& reporter);

// Whether a loop is too short: below its minimum period, or for reading a serial encoder.
bool IsFastLoopTooShort(const CMC_Setup* setup);
bool IsSlowLoopTooShort(const CMC_Setup* setup);

}  // namespace kestrel
