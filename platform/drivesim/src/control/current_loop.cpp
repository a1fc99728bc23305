#include "control/current_loop.h"

#include <algorithm>
#include <cmath>

namespace drivesim::control {

namespace {
std::int32_t PiAxis(const CurrentLoopGains& g, std::int64_t& integral, std::int32_t reference,
                    std::int32_t measured, std::int32_t limit) {
  const std::int32_t error = SaturateInt16(static_cast<std::int64_t>(reference) - measured);
  const std::int64_t integralLimit = static_cast<std::int64_t>(limit) << 15;
  integral = Clamp(integral + MulShift(g.kii, g.sftkii + 15, error), -integralLimit, integralLimit);
  const std::int64_t u = MulShift(g.kpi, g.sftkpi, error) + (integral >> 15);
  return static_cast<std::int32_t>(Clamp(u, -limit, limit));
}
}  // namespace

TwoAxis StepCurrentLoop(const CurrentLoopGains& g, CurrentLoopState& s, TwoAxis reference, TwoAxis measured) {
  const std::int32_t offset = static_cast<std::int32_t>((static_cast<std::int64_t>(g.ffl) * g.kffl) >> 15);
  const std::int32_t limitD = std::min(g.voltageLimit, g.limitD);
  const std::int32_t ud = PiAxis(g, s.integralD, reference.x, measured.x, limitD);
  const double room = std::sqrt(static_cast<double>(g.voltageLimit) * g.voltageLimit - static_cast<double>(ud) * ud);
  const std::int32_t limitQ = std::min(static_cast<std::int32_t>(room), g.limitQ);
  const std::int32_t uq = PiAxis(g, s.integralQ, reference.y + offset, measured.y, limitQ);
  if (g.filterQ >= 32767) {
    s.filteredQ = uq;
  } else {
    s.filteredQ += static_cast<std::int32_t>((static_cast<std::int64_t>(g.filterQ) * (uq - s.filteredQ)) >> 15);
  }
  return {ud, s.filteredQ};
}

}  // namespace drivesim::control
