#include <string>

#include <gtest/gtest.h>

#include "compute/derivation.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledDefaultSetup;

// Each flag and the register bit it shows, run through the whole derivation.
struct FlagCase {
  const char* flag;
  const char* reg;
  int bit;
  bool inverted;
};
void PrintTo(const FlagCase& c, std::ostream* out) { *out << c.flag << " <- " << c.reg << " bit " << c.bit; }

class FlagsFromBits : public ScaledDefaultSetup, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(FlagsFromBits, FollowTheirBit) {
  const FlagCase& c = GetParam();
  const int original = static_cast<int>(Value(c.reg));
  for (const bool set : {true, false}) {
    Set(c.reg, set ? (original | (1 << c.bit)) : (original & ~(1 << c.bit)));
    DeriveParametersFromRegisters(&setup);
    EXPECT_EQ(Value(c.flag), set != c.inverted ? 1.0 : 0.0) << (set ? "bit set" : "bit clear");
    EXPECT_EQ(Min(c.flag), 0.0);
    EXPECT_EQ(Max(c.flag), 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlagsFromBits,
    ::testing::Values(
        FlagCase{"isMotorTemperatureSensor", "SCR", 7, false}, FlagCase{"isDriveTemperatureSensor", "SCR", 8, false},
        FlagCase{"CommutationMethod", "SCR", 13, false}, FlagCase{"isOverCurrent", "PCR", 0, false},
        FlagCase{"isMotori2t", "PCR", 1, false}, FlagCase{"isMotorOverTemp", "PCR", 2, false},
        FlagCase{"isDriveOverTemp", "PCR", 3, false}, FlagCase{"isOverVoltage", "PCR", 4, false},
        FlagCase{"isUnderVoltage", "PCR", 5, false}, FlagCase{"isDriveI2t", "PCR", 7, false},
        FlagCase{"IsAutoActivatedAfterPowerOn", "ACR", 1, false}, FlagCase{"DigitalReferenceType", "ACR", 2, true},
        FlagCase{"PosSpd_in_FastLoop", "UPGRADE", 6, false}, FlagCase{"isLimitMaximum", "UPGRADE", 2, false},
        FlagCase{"isBrakeResistor", "OSR", 9, false}, FlagCase{"isSWLS", "ASR", 12, false},
        FlagCase{"InputsPolarityType", "ASR", 2, true}, FlagCase{"EnablePolarity", "DIGIN_ACTIVE_LEVEL", 15, false},
        FlagCase{"LSPPolarity", "DIGIN_ACTIVE_LEVEL", 13, false}, FlagCase{"LSNPolarity", "DIGIN_ACTIVE_LEVEL", 14, false},
        FlagCase{"save_CAN_baudrate", "LSS_Active", 1, true}, FlagCase{"save_axis_id", "LSS_Active", 0, true},
        FlagCase{"isMotorBrake", "BRAKECFG", 0, false}, FlagCase{"ExternalReference", "ACR", 7, false}));

// Flags that are off exactly when their register holds one value.
struct UnlessCase {
  const char* flag;
  const char* reg;
  double off, on;
};
void PrintTo(const UnlessCase& c, std::ostream* out) { *out << c.flag << " <- " << c.reg; }

class FlagsFromValues : public ScaledDefaultSetup, public ::testing::WithParamInterface<UnlessCase> {};

TEST_P(FlagsFromValues, OffForTheirValue) {
  const UnlessCase& c = GetParam();
  Set("SCR", 0xA183);  // an SSI motor sensor, for the absolute-encoder flags
  for (const double flag : {0.0, 1.0}) {
    Set(c.reg, flag == 0.0 ? c.off : c.on);
    DeriveParametersFromRegisters(&setup);
    EXPECT_EQ(Value(c.flag), flag);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlagsFromValues,
    ::testing::Values(UnlessCase{"isUseFilterOnCrtCtrlOutput", "FILTERQ", 32767, 32766},
                      UnlessCase{"UseFilter", "FILTER1", 32767, 3118}, UnlessCase{"isCompensateGravitationalLoads", "FFL", 0, -5},
                      UnlessCase{"isPositionControlError", "TERRMAX", 65535, 100},
                      UnlessCase{"isSpeedControlError", "TSERRMAX", 65535, 0}, UnlessCase{"SSI_isMultiTurn", "SSITURNS", 0, 12},
                      UnlessCase{"SSI_isGray", "SSITYPE", 0, 1}));

}  // namespace
}  // namespace kestrel
