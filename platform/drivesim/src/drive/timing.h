// The drive's periods from its registers: T_pwm = 2·PWMPER/f_clk, Ts_C = CLPER·T_pwm,
// Ts_S = SLPER·T_pwm, and the simulated time as a base plus whole PWM periods.
#pragma once

#include <cstdint>

namespace drivesim::drive {

struct Timing {
  double clock_Hz = 40e6;
  std::int32_t pwmPeriodTicks = 1000;   // PWMPER
  std::int32_t currentLoopTicks = 2;    // CLPER
  std::int32_t speedLoopTicks = 20;     // SLPER
  double base_s = 0.0;                  // time of tick 0

  double pwm_s() const { return 2.0 * pwmPeriodTicks / clock_Hz; }
  double currentLoop_s() const { return currentLoopTicks * pwm_s(); }
  double speedLoop_s() const { return speedLoopTicks * pwm_s(); }
  double TimeOf(std::int64_t tick) const { return base_s + static_cast<double>(tick) * pwm_s(); }
};

}  // namespace drivesim::drive
