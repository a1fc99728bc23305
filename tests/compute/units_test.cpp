#include "compute/units.h"

#include <gtest/gtest.h>

#include "compute_test_setup.h"
#include "kestrel/default_setup.h"

namespace kestrel {
namespace {

struct UnitsCase {
  int transmission;
  const char* motorPosition;  // Motor_transmission, APOS_MT
  const char* motorSpeed;     // TestMaxSpeed
  const char* motorShown;     // ASPD_MT
  const char* loadPosition;   // Load_transmission, ERR_position, POS_max, APOS ...
  const char* loadSpeed;      // Limit_Speed, ERR_speed
  const char* loadShown;      // TestSpeed, SPD_max, ASPD ...
  const char* acceleration;
  const char* jerk;
  const char* inertia;
};

void PrintTo(const UnitsCase& c, std::ostream* out) { *out << "TransmissionType " << c.transmission; }

class ComputeUnitsTest : public ::testing::TestWithParam<UnitsCase> {};

TEST_P(ComputeUnitsTest, SwitchBySide) {
  const UnitsCase& c = GetParam();
  CMC_Setup setup = LoadDefaultSetup();
  test_support::Put(setup, "TransmissionType", c.transmission);
  ASSERT_EQ(ComputeUnits(&setup), 1);
  auto parameterUnit = [&](const char* name) { return setup.FindParameter(name)->GetUnitName(); };
  auto variableUnit = [&](const char* name) { return setup.FindVariable(name)->GetUnitName(); };
  EXPECT_EQ(parameterUnit("Motor_transmission"), c.motorPosition);
  EXPECT_EQ(variableUnit("APOS_MT"), c.motorPosition);
  EXPECT_EQ(parameterUnit("TestMaxSpeed"), c.motorSpeed);
  EXPECT_EQ(variableUnit("ASPD_MT"), c.motorShown);
  for (const char* name : {"Load_transmission", "TestPosition", "ERR_position", "POS_max", "POS_min",
                           "FreezeControl_errband", "Negative_SWLS", "Positive_SWLS"}) {
    EXPECT_EQ(parameterUnit(name), c.loadPosition) << name;
  }
  for (const char* name : {"Load_Position", "APOS", "CAPPOS", "ERRMAX", "ERRMAXL", "POSTRIGG4", "TPOSFAST"}) {
    EXPECT_EQ(variableUnit(name), c.loadPosition) << name;
  }
  EXPECT_EQ(parameterUnit("Limit_Speed"), c.loadSpeed);
  EXPECT_EQ(parameterUnit("ERR_speed"), c.loadSpeed);
  for (const char* name : {"TestSpeed", "ErefMaxSpeed", "SPD_max", "SPD_min"}) {
    EXPECT_EQ(parameterUnit(name), c.loadShown) << name;
  }
  for (const char* name : {"Load_Speed", "ASPD", "CSPD", "SERRMAX", "TSPD"}) {
    EXPECT_EQ(variableUnit(name), c.loadShown) << name;
  }
  EXPECT_EQ(parameterUnit("ErefMaxAcceleration"), c.acceleration);
  EXPECT_EQ(variableUnit("CDEC"), c.acceleration);
  EXPECT_EQ(variableUnit("JERK"), c.jerk);
  EXPECT_EQ(variableUnit("Jt"), c.inertia);
  EXPECT_EQ(parameterUnit("Jt"), "kgm^2 E-7") << "the parameter Jt is not switched";
}

INSTANTIATE_TEST_SUITE_P(
    Transmissions, ComputeUnitsTest,
    ::testing::Values(
        UnitsCase{0, "rot", "rad/s", "rpm", "rot", "rad/s", "rpm", "rad/s^2", "rad/s^3", "kgm^2 E-7"},
        UnitsCase{1, "rot", "rad/s", "rpm", "mm", "m/s", "m/s", "m/s^2", "m/s^3", "kg"},
        UnitsCase{2, "mm", "m/s", "m/s", "rot", "rad/s", "rpm", "rad/s^2", "rad/s^3", "kgm^2 E-7"},
        UnitsCase{3, "mm", "m/s", "m/s", "mm", "m/s", "m/s", "m/s^2", "m/s^3", "kg"}));

TEST(ComputeUnits, OptionalGroupsFollowTheirFeatures) {
  CMC_Setup setup = LoadDefaultSetup();
  test_support::Put(setup, "TransmissionType", 3);
  for (const char* name : {"CADIN", "POSOKLIM_FC", "isSWLS", "ERRMAXL"}) setup.RemoveParameter(name);
  ASSERT_EQ(ComputeUnits(&setup), 1);
  for (const char* name : {"POS_max", "SPD_max", "FreezeControl_errband", "Negative_SWLS"}) {
    EXPECT_NE(setup.FindParameter(name)->GetUnitName(), "mm") << name;
    EXPECT_NE(setup.FindParameter(name)->GetUnitName(), "m/s") << name;
  }
  EXPECT_EQ(setup.FindVariable("ERRMAXL")->GetUnitName(), "rot");
  EXPECT_EQ(setup.FindParameter("TestPosition")->GetUnitName(), "mm");
}

TEST(ComputeUnits, KeepsValuesWhileSwitching) {
  CMC_Setup setup = LoadDefaultSetup();
  const double internal = setup.GetParameterValueInInternalUnit("ERR_position");
  test_support::Put(setup, "TransmissionType", 1);
  ComputeUnits(&setup);
  EXPECT_EQ(setup.GetParameterValueInInternalUnit("ERR_position"), internal);
  EXPECT_TRUE(setup.FindParameter("ERR_position")->IsDriveScaled());
  EXPECT_EQ(setup.FindParameter("ERR_position")->GetBaseUnitName(), "m");
}

}  // namespace
}  // namespace kestrel
