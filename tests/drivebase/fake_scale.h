// Scale functions for tests: "A" converts with the factor held by the plain parameter
// "CountsPerAmp" (so conversions follow the setup they belong to), "°C" has factor 0.5 and
// offset -100, the name "Doubled" gives factor 2 in any unit, other units factor 1.
#pragma once

#include <string_view>

#include "drivebase/setup.h"
#include "drivebase/value_types.h"

namespace drivebase::test_support {

inline double FakeFactor(CMC_Setup* setup, const char* unit, const char* name) {
  if (std::string_view(name) == "Doubled") return 2.0;
  if (std::string_view(unit) == "A") return 1.0 / setup->GetParameterValueInBaseUnit("CountsPerAmp");
  if (std::string_view(unit) == "°C") return 0.5;
  return 1.0;
}

inline double FakeOffset(CMC_Setup*, const char* unit, const char*) {
  return std::string_view(unit) == "°C" ? -100.0 : 0.0;
}

inline constexpr ScaleFunctions kFakeScale{&FakeFactor, &FakeOffset};

// A setup with "CountsPerAmp" = 1000 and the fake scale functions.
inline CMC_Setup ScaledSetup() {
  CMC_Setup setup;
  ParameterSpec counts;
  counts.name = "CountsPerAmp";
  counts.type = kReal;
  counts.internal = 1000.0;
  setup.AddParameter(counts);
  setup.SetScaleFunctions(kFakeScale);
  return setup;
}

inline ParameterSpec Spec(std::string name, int type, std::string unit = "", bool scaled = false,
                          double internal = 0.0) {
  ParameterSpec spec;
  spec.name = std::move(name);
  spec.type = type;
  spec.unit = std::move(unit);
  spec.driveScaled = scaled;
  spec.internal = internal;
  return spec;
}

}  // namespace drivebase::test_support
