#include "control/loop_registers.h"

#include <algorithm>
#include <string>

namespace drivesim::control {

namespace {
// 32767 − a saturation register; one beyond full scale leaves no room rather than a negative limit.
std::int32_t RoomBelow(const RegisterLookup& registers, std::string_view name) {
  return std::max(0, 32767 - registers(name, 0));
}

std::size_t Count(const RegisterLookup& registers, std::string_view name) {
  return static_cast<std::size_t>(std::max(0, registers(name, 0)));
}
}  // namespace

SpeedLoopGains SpeedGainsFromRegisters(const RegisterLookup& r) {
  return {.kps = r("KPS", 0), .sftkps = r("SFTKPS", 0), .kis = r("KIS", 0), .sftkis = r("SFTKIS", 0),
          .integralLimit = RoomBelow(r, "IMAXS"), .outputLimit = RoomBelow(r, "SATS"),
          .kffa = r("KFFA", 0), .sftaffw = r("SFTAFFW", 0), .sftkff = r("SFTKFF", 0)};
}

PositionLoopGains PositionGainsFromRegisters(const RegisterLookup& r) {
  return {.kpp = r("KPP", 0), .sftkpp = r("SFTKPP", 0), .kip = r("KIP", 0), .sftkip = r("SFTKIP", 0),
          .kdp = r("KDP", 0), .sftkdp = r("SFTKDP", 0), .kdfp = r("KDFP", 32767),
          .integralLimit = RoomBelow(r, "IMAXP"), .outputLimit = RoomBelow(r, "SATP"),
          .kffs = r("KFFS", 0), .sftsffw = r("SFTSFFW", 0), .speedFeedForward = ((r("ACR", 0) >> 14) & 1) != 0};
}

BiquadBank BiquadsFromRegisters(const RegisterLookup& r) {
  BiquadBank bank;
  bank.counts = {Count(r, "SPDREF_BQ_INI"), Count(r, "IQREF_BQ_INI"), Count(r, "ASPD_BQ_INI")};
  const std::size_t total = bank.counts.positionOutput + bank.counts.currentReference + bank.counts.measuredSpeed;
  for (std::size_t n = 1; n <= total; ++n) {
    const std::string slot = "BQ" + std::to_string(n);
    bank.slots.push_back({r(slot + "B0", 0), r(slot + "B1", 0), r(slot + "B2", 0), r(slot + "A1", 0),
                          r(slot + "A2", 0), r(slot + "SF", 1)});
  }
  return bank;
}

}  // namespace drivesim::control
