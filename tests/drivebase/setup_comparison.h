// Bit-for-bit comparison of two setups, for round-trip tests.
#pragma once

#include <bit>
#include <cstdint>

#include <gtest/gtest.h>

#include "drivebase/setup.h"

namespace drivebase::test_support {

inline std::uint64_t Bits(double value) { return std::bit_cast<std::uint64_t>(value); }

inline void ExpectQuantitiesIdentical(const Quantity& a, const Quantity& b) {
  EXPECT_EQ(a.GetName(), b.GetName());
  EXPECT_EQ(a.GetType(), b.GetType()) << a.GetName();
  EXPECT_EQ(a.GetUnitName(), b.GetUnitName()) << a.GetName();
  EXPECT_EQ(a.IsDriveScaled(), b.IsDriveScaled()) << a.GetName();
  EXPECT_EQ(Bits(a.GetValueInInternalUnit()), Bits(b.GetValueInInternalUnit())) << a.GetName();
}

inline void ExpectSetupsIdentical(const CMC_Setup& a, const CMC_Setup& b) {
  ASSERT_EQ(a.Parameters().size(), b.Parameters().size());
  for (std::size_t i = 0; i < a.Parameters().size(); ++i) {
    const CMC_Parameter& p = *a.Parameters()[i];
    const CMC_Parameter& q = *b.Parameters()[i];
    ExpectQuantitiesIdentical(p, q);
    EXPECT_EQ(Bits(p.GetMinInBaseUnit()), Bits(q.GetMinInBaseUnit())) << p.GetName();
    EXPECT_EQ(Bits(p.GetMaxInBaseUnit()), Bits(q.GetMaxInBaseUnit())) << p.GetName();
    EXPECT_EQ(p.GetPrecision(), q.GetPrecision()) << p.GetName();
  }
  ASSERT_EQ(a.Variables().size(), b.Variables().size());
  for (std::size_t i = 0; i < a.Variables().size(); ++i) {
    ExpectQuantitiesIdentical(*a.Variables()[i], *b.Variables()[i]);
  }
  ASSERT_EQ(a.Options().size(), b.Options().size());
  for (std::size_t i = 0; i < a.Options().size(); ++i) {
    EXPECT_EQ(a.Options()[i]->name, b.Options()[i]->name);
    EXPECT_EQ(a.Options()[i]->value, b.Options()[i]->value);
  }
  const DriveIdentity& x = a.Identity();
  const DriveIdentity& y = b.Identity();
  EXPECT_EQ(x.firmwareId, y.firmwareId);
  EXPECT_EQ(x.productId, y.productId);
  EXPECT_EQ(x.applicationId, y.applicationId);
  EXPECT_EQ(x.description, y.description);
  EXPECT_EQ(x.e2romSize, y.e2romSize);
  const DriveFamilyData& f = a.DriveFamily();
  const DriveFamilyData& g = b.DriveFamily();
  EXPECT_EQ(f.adcFullScale, g.adcFullScale);
  EXPECT_EQ(f.generation, g.generation);
  EXPECT_EQ(f.maxSensorType, g.maxSensorType);
  EXPECT_EQ(f.sensorNames, g.sensorNames);
  EXPECT_EQ(a.GetDLSensorsArray(), b.GetDLSensorsArray());
  EXPECT_EQ(f.ssiClocks.kHz, g.ssiClocks.kHz);
  EXPECT_EQ(f.ssiClocks.modes, g.ssiClocks.modes);
  EXPECT_EQ(f.bissClocks.kHz, g.bissClocks.kHz);
  EXPECT_EQ(f.bissClocks.modes, g.bissClocks.modes);
  ASSERT_EQ(f.ioPins.size(), g.ioPins.size());
  for (std::size_t i = 0; i < f.ioPins.size(); ++i) {
    EXPECT_EQ(f.ioPins[i].pin, g.ioPins[i].pin);
    EXPECT_EQ(f.ioPins[i].port, g.ioPins[i].port);
    EXPECT_EQ(f.ioPins[i].brakeOutput, g.ioPins[i].brakeOutput);
  }
}

}  // namespace drivebase::test_support
