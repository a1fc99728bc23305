#include "drivebase/parameter.h"

#include <cmath>
#include <limits>
#include <numbers>

#include <gtest/gtest.h>

#include "fake_scale.h"

namespace drivebase {
namespace {

using test_support::ScaledSetup;
using test_support::Spec;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A drive-scaled value is (internal + offset)·factor; a base value set is stored in whole counts,
// rounded away from zero and saturated to the type after the conversion.
TEST(Parameter, DriveScaledValueIsInternalPlusOffsetTimesFactor) {
  CMC_Setup setup = ScaledSetup();
  CMC_Parameter& current = setup.AddParameter(Spec("TestCurrent", kSigned16, "A", true, 2000));
  EXPECT_EQ(current.GetValueInBaseUnit(), 2.0);
  ASSERT_TRUE(current.SetValueInBaseUnit(1.2345));
  EXPECT_EQ(current.GetValueInInternalUnit(), 1235.0) << "1234.5 counts round away from zero";
  EXPECT_EQ(current.GetValueInBaseUnit(), 1.235);
  EXPECT_TRUE(current.ChangeUnitType("mA"));
  EXPECT_DOUBLE_EQ(current.GetValueInDisplayUnit(), 1235.0);
  EXPECT_EQ(current.PrintValue(), "1235");
  ASSERT_TRUE(current.SetValueInBaseUnit(100.0));
  EXPECT_EQ(current.GetValueInInternalUnit(), 32767.0);

  CMC_Parameter& temperature = setup.AddParameter(Spec("Temp_2", kUnsigned16, "°C", true, 300));
  EXPECT_EQ(temperature.GetValueInBaseUnit(), (300 - 100) * 0.5);
  ASSERT_TRUE(temperature.SetValueInBaseUnit(60.0));
  EXPECT_EQ(temperature.GetValueInInternalUnit(), 220.0);
  EXPECT_EQ(setup.AddParameter(Spec("In", kReal, "A", false, 3.2)).GetValueInBaseUnit(), 3.2) << "not drive-scaled";
}

// Sets in base and internal units clamp into [min, max]; crossed limits clamp nothing, and
// setting the limits leaves the value as it is.
TEST(Parameter, SetsClampIntoTheLimits) {
  struct Case {
    double min, max, set, kept;
  };
  for (const Case& c : {Case{0, 10, 5, 5}, Case{0, 10, 12, 10}, Case{0, 10, -4, 0}, Case{-kInf, kInf, 1e9, 1e9},
                        Case{3, 3, 7, 3}, Case{10, 0, 5, 5}, Case{10, 0, 20, 20}}) {
    SCOPED_TRACE(::testing::Message() << "[" << c.min << ", " << c.max << "] set " << c.set);
    CMC_Setup setup = ScaledSetup();
    ParameterSpec spec = Spec("Doubled", kReal, "A", true);
    spec.min = c.min;
    spec.max = c.max;
    CMC_Parameter& parameter = setup.AddParameter(spec);
    ASSERT_TRUE(parameter.SetValueInBaseUnit(c.set));
    EXPECT_EQ(parameter.GetValueInBaseUnit(), c.kept);
    ASSERT_TRUE(parameter.SetValueInInternalUnit(c.set / 2.0));
    EXPECT_EQ(parameter.GetValueInBaseUnit(), c.kept);
  }
  CMC_Setup setup;
  CMC_Parameter& parameter = setup.AddParameter(Spec("X", kReal, "", false, 50));
  EXPECT_TRUE(parameter.SetMinInBaseUnit(60));
  EXPECT_TRUE(parameter.SetMaxInBaseUnit(40));
  EXPECT_TRUE(parameter.AreLimitsCrossed());
  EXPECT_EQ(parameter.GetValueInBaseUnit(), 50.0);
  EXPECT_EQ(parameter.GetMinInBaseUnit(), 60.0);
}

// NaN is refused everywhere, infinity by a real; a zero scale input (factor 1/0) saturates an
// integer to 0 counts, which then reads 0·inf.
TEST(Parameter, NonFiniteValuesAreRefusedOrSaturated) {
  CMC_Setup setup = ScaledSetup();
  CMC_Parameter& real = setup.AddParameter(Spec("R", kReal, "Ohm", false, 0.9));
  EXPECT_FALSE(real.SetValueInBaseUnit(kNaN));
  EXPECT_FALSE(real.SetValueInInternalUnit(kNaN));
  EXPECT_FALSE(real.SetValueInBaseUnit(kInf));
  EXPECT_FALSE(real.SetMinInBaseUnit(kNaN));
  EXPECT_FALSE(real.SetMaxInBaseUnit(kNaN));
  EXPECT_EQ(real.GetValueInBaseUnit(), 0.9);
  setup.SetParameterValueInBaseUnit("CountsPerAmp", 0.0);
  CMC_Parameter& integer = setup.AddParameter(Spec("I1", kSigned16, "A", true, 5));
  EXPECT_TRUE(std::isinf(integer.GetValueInBaseUnit()));
  ASSERT_TRUE(integer.SetValueInBaseUnit(2.0));
  EXPECT_EQ(integer.GetValueInInternalUnit(), 0.0);
  EXPECT_TRUE(std::isnan(integer.GetValueInBaseUnit()));
}

// A drive-scaled quantity changes only among the families the drive scales, keeping its value;
// a plain one moves to any family; flags and choices have no unit.
TEST(Parameter, ChangeUnitTypeKeepsTheValueAndScaling) {
  CMC_Setup setup = ScaledSetup();
  CMC_Parameter& position = setup.AddParameter(Spec("TestPosition", kSigned32, "rad", true, 100));
  ASSERT_TRUE(position.ChangeUnitType("mm"));
  EXPECT_EQ(position.GetUnitType().name, "length");
  EXPECT_EQ(position.GetBaseUnitName(), "m");
  EXPECT_TRUE(position.IsDriveScaled());
  EXPECT_EQ(position.GetValueInInternalUnit(), 100.0);
  EXPECT_DOUBLE_EQ(position.GetValueInDisplayUnit(), 100000.0);
  ASSERT_TRUE(position.ChangeUnitType("rot"));
  EXPECT_DOUBLE_EQ(position.GetValueInDisplayUnit(), 100.0 / (2 * std::numbers::pi));
  EXPECT_FALSE(position.ChangeUnitType("kg")) << "the drive scales no mass";
  EXPECT_FALSE(position.ChangeUnitType("furlong"));
  EXPECT_EQ(position.GetUnitName(), "rot");

  CMC_Parameter& inertia = setup.AddParameter(Spec("Jt", kReal, "kgm^2 E-7", false, 6.6e-5));
  EXPECT_DOUBLE_EQ(inertia.GetValueInDisplayUnit(), 660.0);
  ASSERT_TRUE(inertia.ChangeUnitType("kg"));
  EXPECT_EQ(inertia.GetValueInBaseUnit(), 6.6e-5);

  CMC_Parameter& flag = setup.AddParameter(Spec("isSWLS", kFlag));
  EXPECT_FALSE(flag.ChangeUnitType("s"));
  EXPECT_TRUE(flag.ChangeType(kChoice));
  EXPECT_THROW(setup.AddParameter(Spec("Bad", kChoice, "A")), std::invalid_argument);
  EXPECT_THROW(setup.AddParameter(Spec("Bad", kReal, "kg", true)), std::invalid_argument);
  EXPECT_THROW(setup.AddParameter(Spec("Bad", 9)), std::invalid_argument);
}

TEST(Parameter, ChangeTypeStoresTheValueAgain) {
  CMC_Setup setup;
  CMC_Parameter& frequency = setup.AddParameter(Spec("SSI_freq", kUnsigned16, "Hz", false, 2000));
  EXPECT_EQ(frequency.GetSizeInWords(), 1);
  ASSERT_TRUE(frequency.ChangeType(kReal));
  EXPECT_EQ(frequency.GetSizeInWords(), 2);
  ASSERT_TRUE(frequency.SetValueInBaseUnit(2.5e6));
  ASSERT_TRUE(frequency.ChangeType(kUnsigned16));
  EXPECT_EQ(frequency.GetValueInBaseUnit(), 65535.0);
  EXPECT_FALSE(frequency.ChangeType(kFlag)) << "a quantity with a unit cannot become a flag";
}

TEST(Parameter, CopyAsKeepsEverythingButTheNameAndPrecisionBoundsThePrintedDigits) {
  CMC_Setup setup = ScaledSetup();
  ParameterSpec spec = Spec("Resolution", kReal, "um", false, 1e-6);
  spec.max = 0.032;
  spec.precision = 9;
  const CMC_Parameter& original = setup.AddParameter(spec);
  const CMC_Parameter copy = original.CopyAs("ResolutionWithInterpolation");
  EXPECT_EQ(copy.GetName(), "ResolutionWithInterpolation");
  EXPECT_EQ(std::make_tuple(copy.GetValueInBaseUnit(), copy.GetMaxInBaseUnit(), copy.GetPrecision(), copy.GetSetup()),
            std::make_tuple(1e-6, 0.032, 9, &setup));
  EXPECT_EQ(setup.FindParameter("Resolution"), &original);

  CMC_Parameter& pi = setup.AddParameter(Spec("Pi", kReal, "", false, std::numbers::pi));
  EXPECT_EQ(pi.PrintValue(), "3.14159");
  EXPECT_TRUE(pi.SetPrecision(3));
  EXPECT_EQ(pi.PrintValue(), "3.14");
  EXPECT_FALSE(pi.SetPrecision(0));
  EXPECT_FALSE(pi.SetPrecision(18));
  EXPECT_EQ(pi.GetPrecision(), 3);
}

}  // namespace
}  // namespace drivebase
