// What the encoder tests read from the setup and the drive alike: counts truncated toward zero,
// parameters in their internal units, and whether the motor side is linear.
#pragma once

#include <cmath>

#include "dialogs/setup_values.h"
#include "drivebase/setup.h"

namespace kestrel {

// A count as the drive reports it, truncated toward zero (no value or out of range: 0).
inline long TruncatedCount(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 2e9) return 0;
  return static_cast<long>(std::trunc(value));
}

// A setup parameter in its internal unit; 0 when the setup lacks it.
inline double InternalValue(const CMC_Setup* setup, const char* name) {
  const CMC_Parameter* parameter = setup->FindParameter(name);
  return parameter != nullptr ? parameter->GetValueInInternalUnit() : 0.0;
}

// The motor side is linear for TransmissionType 2 (linear to rotary) and 3 (linear to linear).
inline bool LinearMotor(const CMC_Setup* setup) {
  const int transmission = dialogs::Code(setup, "TransmissionType");
  return transmission == 2 || transmission == 3;
}

}  // namespace kestrel
