// The inverter and its measurements: DC bus, PWM legs with duty quantisation and dead time,
// and the current and bus ADCs.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "model/random.h"

namespace drivesim::model {

struct PowerStageParams {
  int pwmPeriodTicks = 1000;          // PWMPER: compare values lie in [0, PWMPER]
  double pwmPeriod_s = 50e-6;         // T_pwm = 2·PWMPER/f_clk
  double deadTime_s = 0.0;            // T_dead + t_sw
  double supply_V = 48.0;
  double supplyResistance_ohm = 0.1;
  bool quantiseDuty = true;           // false: ideal modulator (exact averages)
};

struct PowerStageState {
  std::array<double, 3> duty{0.5, 0.5, 0.5};   // commanded duty per leg, 0 … 1
  std::array<double, 3> carry{};               // quantisation residual carried to the next period
  bool driven = false;                         // legs switching (axis on) or all open
  double bus_V = 48.0;
};

// Leg voltages (to the negative rail) averaged over the coming `periods` PWM periods of one
// duty. The compare values of those periods sum to the duty in ticks plus the carried residual,
// rounded; the residual goes to the next step, so the average voltage equals the command. Dead
// time, per leg:
//   v_x = d_x·V_bus − V_d·sat(i_x/i_knee),  V_d = T_dead·f_pwm·V_bus,  i_knee = V_bus·T_pwm/(8·L_s).
// Inline: the drive steps it at every ISR tick.
inline std::array<double, 3> LegVoltages(const PowerStageParams& p, PowerStageState& s,
                                         const std::array<double, 3>& legCurrent_A, double inductance_H, int periods) {
  std::array<double, 3> duty{};
  for (std::size_t x = 0; x < 3; ++x) duty[x] = std::clamp(s.duty[x], 0.0, 1.0);
  if (p.quantiseDuty) {
    const double ticks = static_cast<double>(p.pwmPeriodTicks) * periods;
    const double perTick = 1.0 / ticks;
    for (std::size_t x = 0; x < 3; ++x) {
      const double wanted = duty[x] * ticks + s.carry[x];
      // Round half up; negative values clamp to 0 anyway.
      const double compare = std::clamp(static_cast<double>(static_cast<std::int64_t>(wanted + 0.5)), 0.0, ticks);
      s.carry[x] = wanted - compare;
      duty[x] = compare * perTick;
    }
  }
  std::array<double, 3> v{};
  const double deadLoss_V = p.deadTime_s / p.pwmPeriod_s * s.bus_V;
  if (deadLoss_V <= 0.0) {
    for (std::size_t x = 0; x < 3; ++x) v[x] = duty[x] * s.bus_V;
    return v;
  }
  // 1/i_knee; the knee only matters with a dead time.
  const double perKnee = 8.0 * inductance_H / (s.bus_V * p.pwmPeriod_s);
  for (std::size_t x = 0; x < 3; ++x) v[x] = duty[x] * s.bus_V - deadLoss_V * std::clamp(legCurrent_A[x] * perKnee, -1.0, 1.0);
  return v;
}

// The drive's dead-time compensation in its register current loop: per leg it adds the duty
// that restores the loss it expects, (T_dead/T_pwm)·sat(i_x/i_knee) (V_d·sat(i_x/i_knee) over the
// measured bus), with T_dead the dead time it programs itself (DBT, DBTPC), the leg currents it
// expects and the ripple knee i_knee = V_bus·T_pwm/(8·L_s) at the measured bus. A hardware
// switching asymmetry is unknown to the drive and stays uncompensated.
std::array<double, 3> DeadTimeCompensation(double deadTime_s, double pwmPeriod_s, double measuredBus_V,
                                           double inductance_H, const std::array<double, 3>& legCurrent_A);

// Stiff supply behind R_s: V_bus = V_supply − R_s·i_dc, i_dc = Σ d_x·i_x.
inline void UpdateBus(const PowerStageParams& p, PowerStageState& s, const std::array<double, 3>& legCurrent_A) {
  double dcCurrent_A = 0.0;
  if (s.driven) {
    for (std::size_t x = 0; x < 3; ++x) dcCurrent_A += std::clamp(s.duty[x], 0.0, 1.0) * legCurrent_A[x];
  }
  s.bus_V = p.supply_V - p.supplyResistance_ohm * dcCurrent_A;
}

// One ADC channel: counts = clamp(Q(signal·gain + offset + σ·n), lo, hi), Q the rounding to the
// ADC's codes lo + k·step (a signed current channel is the unsigned code minus half the full
// scale, so its grid lies half a step off zero); the ideal channel rounds to whole counts without
// noise or offset.
struct AdcChannel {
  double countsPerUnit = 0.0;
  double offset = 0.0;
  double noiseSteps = 0.0;
  std::int32_t step = 64;
  std::int32_t lo = 0, hi = 65472;
  bool ideal = false;
  std::int32_t Sample(double signal, NoiseSource& noise) const;  // inline: sampled at every fast tick
};

inline std::int32_t AdcChannel::Sample(double signal, NoiseSource& noise) const {
  const double exact = signal * countsPerUnit;
  double counts = 0.0;
  if (ideal) {
    counts = std::round(exact);
  } else {
    const double noisy = exact + offset + (noiseSteps > 0.0 ? noiseSteps * step * noise.Gaussian() : 0.0);
    // Nearest code; the argument is ≥ 0 except far below the range, where the clamp applies.
    const double code = std::max(0.0, (noisy - lo) / step + 0.5);
    counts = lo + static_cast<double>(static_cast<std::int64_t>(std::min(code, 1e15))) * step;
  }
  return static_cast<std::int32_t>(std::clamp(counts, static_cast<double>(lo), static_cast<double>(hi)));
}

}  // namespace drivesim::model
