#include "model/power_stage.h"

#include <algorithm>
#include <cmath>

namespace drivesim::model {

std::array<double, 3> LegVoltages(const PowerStageParams& p, PowerStageState& s,
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

std::array<double, 3> DeadTimeCompensation(double deadTime_s, double pwmPeriod_s, double measuredBus_V,
                                           double inductance_H, const std::array<double, 3>& legCurrent_A) {
  std::array<double, 3> duty{};
  if (deadTime_s <= 0.0 || measuredBus_V <= 0.0) return duty;
  const double perKnee = 8.0 * inductance_H / (measuredBus_V * pwmPeriod_s);
  const double share = deadTime_s / pwmPeriod_s;
  for (std::size_t x = 0; x < 3; ++x) duty[x] = share * std::clamp(legCurrent_A[x] * perKnee, -1.0, 1.0);
  return duty;
}

void UpdateBus(const PowerStageParams& p, PowerStageState& s, const std::array<double, 3>& legCurrent_A) {
  double dcCurrent_A = 0.0;
  if (s.driven) {
    for (std::size_t x = 0; x < 3; ++x) dcCurrent_A += std::clamp(s.duty[x], 0.0, 1.0) * legCurrent_A[x];
  }
  s.bus_V = p.supply_V - p.supplyResistance_ohm * dcCurrent_A;
}

}  // namespace drivesim::model
