// What the encoder tests read from the setup and the drive alike: counts truncated toward zero
// (kestrel::TruncatedCount, shared with the Hall tests), parameters in their internal units, and
// whether the motor side is linear.
#pragma once

#include "commissioning/hall_test_displays.h"
#include "dialogs/setup_values.h"
#include "drivebase/setup.h"

namespace kestrel {

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
