// Factor and offset from the drive's internal unit to a named unit, for a parameter or drive
// variable name: the host shows an internal value v as (v + offset) * factor. Unit and name are
// compared without regard to case; "V " (with its blank, the DC bus) is not "V".
#pragma once

#include <string_view>

#include "drivebase/setup.h"

namespace kestrel {

// 1.0 for a unit the drive does not scale.
double UnitScaleFactor(const CMC_Setup* setup, std::string_view unit, std::string_view name);

// Non-zero only for drive temperatures in "°C".
double UnitScaleOffset(const CMC_Setup* setup, std::string_view unit);

}  // namespace kestrel
