#include "sensors/analog_inputs.h"

#include <cmath>

namespace drivesim::sensors {

std::array<double, 3> LinearHallVoltages(double electricalAngle_rad, bool reversed) {
  constexpr double kThird = 2.0943951023931953;  // 120°
  std::array<double, 3> v{};
  for (std::size_t j = 0; j < 3; ++j) v[j] = 2.5 + 1.5 * std::sin(electricalAngle_rad - kThird * static_cast<double>(j));
  if (reversed) std::swap(v[1], v[2]);
  return v;
}

VoltageSpan AnalogueInputSpan(double range_V) {
  if (range_V == 20.0) return {-10.0, 10.0};
  if (range_V == 5.0) return {0.0, 5.0};
  return {0.0, 3.3};
}

model::AdcChannel VoltageChannel(VoltageSpan span, std::uint32_t adcMax, std::int32_t step, double noise_lsb,
                                 bool ideal) {
  model::AdcChannel adc;
  adc.countsPerUnit = adcMax / (span.top_V - span.bottom_V);
  adc.step = step;
  adc.lo = 0;
  adc.hi = static_cast<std::int32_t>(adcMax);
  adc.noiseSteps = noise_lsb;
  adc.ideal = ideal;
  return adc;
}

}  // namespace drivesim::sensors
