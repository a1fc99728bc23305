// The drive's slow ADC channels: the analogue reference input AD5 and the linear Hall channels
// AD6 (A), AD3 (B), AD8 and AD9 (C; which one depends on the drive generation, both are filled).
#pragma once

#include <array>
#include <cstdint>

#include "model/power_stage.h"

namespace drivesim::sensors {

// Linear Hall outputs V_x = 2.5 V + 1.5 V·sin(θ_e − 120°·j), j = 0, 1, 2 for A, B, C; a reversed
// sensor has B and C exchanged.
std::array<double, 3> LinearHallVoltages(double electricalAngle_rad, bool reversed);

// Voltage span of the analogue reference input for the setup's AnalogueInputsRange:
// 20 → −10 … 10 V, 5 → 0 … 5 V, otherwise 0 … 3.3 V.
struct VoltageSpan {
  double bottom_V, top_V;
};
VoltageSpan AnalogueInputSpan(double range_V);

// The potentiometer on the analogue reference input: a voltage, or a linear ramp from `from_V`
// at `start_s` to `to_V` at start_s + duration_s, then held.
struct Potentiometer {
  double from_V = 0.0, to_V = 0.0;
  double start_s = 0.0, duration_s = 0.0;

  double At(double t_s) const {
    if (duration_s <= 0.0 || t_s >= start_s + duration_s) return to_V;
    if (t_s <= start_s) return from_V;
    return from_V + (to_V - from_V) * (t_s - start_s) / duration_s;
  }
  // Whether a sample taken at `sampled_s` already shows the end of the ramp.
  bool SettledBy(double sampled_s) const { return duration_s <= 0.0 || sampled_s >= start_s + duration_s; }
};

// An unsigned channel of ADCmax counts over the span; it samples the voltage above the bottom.
model::AdcChannel VoltageChannel(VoltageSpan span, std::uint32_t adcMax, std::int32_t step, double noise_lsb,
                                 bool ideal);

}  // namespace drivesim::sensors
