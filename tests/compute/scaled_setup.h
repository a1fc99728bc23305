// The default setup converting through the plug-in's scale functions, as the host holds it,
// with helpers to set registers and read results.
#pragma once

#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "compute/gain_pairs.h"
#include "compute/scale_functions.h"
#include "compute/tuning.h"
#include "compute/unit_scale.h"
#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"

namespace kestrel::test_support {

inline double PlugInFactor(CMC_Setup* setup, const char* unit, const char* name) {
  return UnitScaleFactor(setup, unit, name);
}

inline double PlugInOffset(CMC_Setup* setup, const char* unit, const char*) {
  return UnitScaleOffset(setup, unit);
}

inline CMC_Setup Scaled(CMC_Setup setup) {
  setup.SetScaleFunctions({&PlugInFactor, &PlugInOffset});
  return setup;
}

inline CMC_Setup ScaledSetupFile(const std::string& name) {
  return Scaled(drivebase::ReadSetupFile(std::string(KESTREL_SETUPS_DIR) + "/" + name + ".json"));
}

// "Tune" as the current test does it, with the sinusoidal voltage scale, then the register pairs.
inline void TuneCurrentLoop(CMC_Setup& setup) {
  const int wasSinusoidal = std::exchange(g_bKufSinusoidalMode, 1);
  const bool tuned = TuneCurrentController(&setup);
  g_bKufSinusoidalMode = wasSinusoidal;
  ASSERT_TRUE(tuned);
  for (const GainPair& pair : {kCurrentProportional, kCurrentIntegral}) {
    ASSERT_EQ(ComputeShiftRegister(&setup, pair) + ComputeMantissaRegister(&setup, pair), 2) << pair.mantissa;
  }
}

class ScaledDefaultSetup : public ::testing::Test {
 protected:
  CMC_Setup setup = Scaled(LoadDefaultSetup());

  CMC_Parameter* P(const std::string& name) {
    CMC_Parameter* parameter = setup.FindParameter(name);
    EXPECT_NE(parameter, nullptr) << name;
    return parameter;
  }
  double Value(const std::string& name) { return P(name)->GetValueInBaseUnit(); }
  double Internal(const std::string& name) { return P(name)->GetValueInInternalUnit(); }
  double Min(const std::string& name) { return P(name)->GetMinInBaseUnit(); }
  double Max(const std::string& name) { return P(name)->GetMaxInBaseUnit(); }
  void ExpectLimits(const std::string& name, double min, double max) {
    EXPECT_DOUBLE_EQ(Min(name), min) << name;
    EXPECT_DOUBLE_EQ(Max(name), max) << name;
  }
  void ExpectMaxima(std::initializer_list<std::pair<const char*, double>> maxima) {
    for (const auto& [name, max] : maxima) EXPECT_DOUBLE_EQ(Max(name), max) << name;
  }

  // Sets a value whatever its limits (which stay open).
  void Set(const std::string& name, double value) {
    P(name)->SetMinInBaseUnit(-std::numeric_limits<double>::infinity());
    P(name)->SetMaxInBaseUnit(std::numeric_limits<double>::infinity());
    ASSERT_TRUE(P(name)->SetValueInBaseUnit(value)) << name;
  }
  void Set(std::initializer_list<std::pair<const char*, double>> values) {
    for (const auto& [name, value] : values) Set(name, value);
  }
};

}  // namespace kestrel::test_support
