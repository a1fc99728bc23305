// The speed, position and filter settings decoded from the drive's registers, for the programs
// that run these loops.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "control/biquad.h"
#include "control/position_loop.h"
#include "control/speed_loop.h"

namespace drivesim::control {

// A register's value, or the fallback when the drive has no such register.
using RegisterLookup = std::function<std::int32_t(std::string_view name, std::int32_t fallback)>;

// KPS/SFTKPS, KIS/SFTKIS, KFFA/SFTAFFW/SFTKFF; limits 32767 − IMAXS and 32767 − SATS (never negative).
SpeedLoopGains SpeedGainsFromRegisters(const RegisterLookup& registers);

// KPP/SFTKPP, KIP/SFTKIP, KDP/SFTKDP, KDFP (32767 when absent), KFFS/SFTSFFW enabled by ACR bit 14;
// limits 32767 − IMAXP and 32767 − SATP.
PositionLoopGains PositionGainsFromRegisters(const RegisterLookup& registers);

// The counts SPDREF_BQ_INI, IQREF_BQ_INI, ASPD_BQ_INI and, for as many slots as they add up to,
// BQnB0, BQnB1, BQnB2, BQnA1, BQnA2, BQnSF (n from 1). A negative count counts as none.
BiquadBank BiquadsFromRegisters(const RegisterLookup& registers);

}  // namespace drivesim::control
