#include "model/power_stage.h"

#include <algorithm>
#include <cmath>

namespace drivesim::model {

std::array<double, 3> DeadTimeCompensation(double deadTime_s, double pwmPeriod_s, double measuredBus_V,
                                           double inductance_H, const std::array<double, 3>& legCurrent_A) {
  std::array<double, 3> duty{};
  if (deadTime_s <= 0.0 || measuredBus_V <= 0.0) return duty;
  const double perKnee = 8.0 * inductance_H / (measuredBus_V * pwmPeriod_s);
  const double share = deadTime_s / pwmPeriod_s;
  for (std::size_t x = 0; x < 3; ++x) duty[x] = share * std::clamp(legCurrent_A[x] * perKnee, -1.0, 1.0);
  return duty;
}

}  // namespace drivesim::model
