// The drive's own protections, enabled by PCR: over-current (IMAXPROT for TIMAXPROT slow
// samples), over- and under-voltage of the bus ADC (UMAXPROT, UMINPROT; under-voltage only with
// the axis on; over-voltage also while the drive idles) and the Hall monitoring (code 0 or 7 on 3 consecutive fast samples; also whenever
// the servo commutates with the Halls). Each latches
// its MER bit and switches the axis off, except a missing Hall while the running program drives
// the test frame: that program does not need the Halls and still reports its own result.
#include <cmath>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {
constexpr int kInvalidHallSamples = 3;
constexpr std::int32_t kOsrBrakeChopper = 1 << 9;
}  // namespace

void Drive::Impl::RefreshProtectionSettings() {
  protection.pcr = Register("PCR", 0);
  protection.overCurrentCounts = Register("IMAXPROT", 32767);
  protection.overCurrentSamples = std::max(1, Register("TIMAXPROT", 1));
  protection.overVoltageCounts = Register("UMAXPROT", 65535);
  protection.underVoltageCounts = Register("UMINPROT", 0);
  protection.brakeEnabled = (Register("OSR", 0) & kOsrBrakeChopper) != 0;
  protection.brakeLimitCounts = Register("BRAKELIM", 65535);
  RefreshSupervisionSettings();
}

void Drive::Impl::Trip(std::uint16_t bit) {
  latchedErrors |= bit;
  SwitchAxisOff();
  EndProgramOnFault();
}

void Drive::Impl::CheckSlowProtections() {
  const bool on = stage.driven;
  if (on && (protection.pcr & Pcr::kOverCurrent) != 0) {
    const control::TwoAxis ab = control::Clarke(phaseCurrentCounts[0], phaseCurrentCounts[1]);
    const double magnitude = std::hypot(static_cast<double>(ab.x), static_cast<double>(ab.y));
    overCurrentRun = magnitude > protection.overCurrentCounts ? overCurrentRun + 1 : 0;
    if (overCurrentRun >= protection.overCurrentSamples) {
      overCurrentRun = 0;
      Trip(mer::kOverCurrent);
    }
  } else {
    overCurrentRun = 0;
  }
  CheckBusVoltage();
  CheckSupervision();
}

// The last bus sample against UMAXPROT, with the axis on or off, and against UMINPROT while the
// power stage runs (a drive whose supply is off or low is not faulty until it drives the motor).
void Drive::Impl::CheckBusVoltage() {
  if ((protection.pcr & Pcr::kOverVoltage) != 0 && busCounts > protection.overVoltageCounts) Trip(mer::kOverVoltage);
  if (stage.driven && (protection.pcr & Pcr::kUnderVoltage) != 0 && busCounts < protection.underVoltageCounts) {
    Trip(mer::kUnderVoltage);
  }
}

void Drive::Impl::CountInvalidHallCodes() {
  const int code = HallInputs();
  invalidHallRun = (code == 0 || code == 7) ? invalidHallRun + 1 : 0;
  if (invalidHallRun < kInvalidHallSamples) return;
  if (program && program->DrivesTestFrame()) {
    latchedErrors |= mer::kHallMissing;
    return;
  }
  Trip(mer::kHallMissing);
}

}  // namespace drivesim
