// The test current that a test hands its programs: the setup's TestCurrent in the drive's internal
// unit, truncated to a 32-bit integer (saturated at its range; no parameter or no value gives 0).
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "drivebase/setup.h"

namespace kestrel {

// An internal value truncated to an integer and held within the range of T (no value gives 0).
template <class T>
int TruncatedWithin(double internal) {
  if (std::isnan(internal)) return 0;
  return static_cast<int>(
      std::clamp(std::trunc(internal), double{std::numeric_limits<T>::min()}, double{std::numeric_limits<T>::max()}));
}

inline int TestCurrentCounts(const CMC_Setup* setup) {
  return TruncatedWithin<int>(setup->GetParameterValueInInternalUnit("TestCurrent"));
}

}  // namespace kestrel
