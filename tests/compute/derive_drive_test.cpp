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

TEST_F(ScaledDefaultSetup, ExternalReferenceFromEitherReferenceBit) {
  for (const auto& [acr, external] : {std::pair{0x8700, 0.0}, {0x8740, 1.0}, {0x8780, 1.0}, {0x87C0, 1.0}}) {
    Set("ACR", acr);
    ASSERT_EQ(DeriveExternalReference(&setup), 1);
    EXPECT_EQ(Value("ExternalReference"), external) << std::hex << acr;
  }
}

TEST_F(ScaledDefaultSetup, SpeedEstimatorFromTheSensorField) {
  Set("SCR", 0xA180 | 0x30);  // an incremental encoder with the estimator
  ASSERT_EQ(DeriveSpeedEstimator(&setup), 1);
  EXPECT_EQ(Value("isSpeedEstimator"), 1.0);
  Set("SCR", 0xA180 | 0x38);
  DeriveSpeedEstimator(&setup);
  EXPECT_EQ(Value("isSpeedEstimator"), 0.0);
}

TEST_F(ScaledDefaultSetup, MotorOverTemperatureCanBeDisabledByTheDriveFamily) {
  Set("PCR", 0x04);
  setup.SetOption("DisableMotorTemperature", "1");
  ASSERT_EQ(DeriveMotorOverTemperature(&setup), 1);
  EXPECT_EQ(Max("isMotorOverTemp"), 0.0);
  EXPECT_EQ(Value("isMotorOverTemp"), 0.0) << "kept within its maximum";
}

TEST_F(ScaledDefaultSetup, AnalogueReferenceOnlyWithTheAnalogueInput) {
  Set("ACR", 0x8740);
  ASSERT_EQ(DeriveAnalogueReferenceChoice(&setup), 1);
  EXPECT_EQ(Max("isAnalogueReference"), 1.0);
  EXPECT_EQ(Value("isAnalogueReference"), 1.0);
  setup.RemoveVariable("CADIN");
  DeriveAnalogueReferenceChoice(&setup);
  EXPECT_EQ(Max("isAnalogueReference"), 0.0);
  EXPECT_EQ(Value("isAnalogueReference"), 0.0);
}

TEST_F(ScaledDefaultSetup, FreezeControlOnlyInPositionControl) {
  Set("ACR", 0x8710);
  ASSERT_EQ(DeriveFreezeControl(&setup), 1);
  EXPECT_EQ(Internal("isFreezeControl"), 1.0);
  Set("ControlMode", 1);
  DeriveFreezeControl(&setup);
  EXPECT_EQ(Internal("isFreezeControl"), 0.0);
}

TEST_F(ScaledDefaultSetup, ControlModeFromTheModeBits) {
  for (const auto& [acr, mode] : {std::pair{0x0700, 0.0}, {0x0500, 0.0}, {0x0400, 0.0}, {0x0300, 1.0},
                                  {0x0200, 1.0}, {0x0100, 2.0}, {0x0000, 2.0}}) {
    Set("ACR", acr);
    ASSERT_EQ(DeriveControlMode(&setup), 1);
    EXPECT_EQ(Value("ControlMode"), mode) << std::hex << acr;
  }
  EXPECT_EQ(Max("ControlMode"), 2.0);
}

struct StartCase {
  int osr;
  bool hallOption, hallBit;  // hallBit: ACR bit 15
  int mode;
};
void PrintTo(const StartCase& c, std::ostream* out) {
  *out << "OSR bits 4-2 " << ((c.osr >> 2) & 7) << (c.hallOption ? ", option" : "") << (c.hallBit ? ", ACR bit 15" : "");
}

class StartModes : public ScaledDefaultSetup, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartModes, FromTheStartBits) {
  const StartCase& c = GetParam();
  Set({{"OSR", c.osr}, {"ACR", c.hallBit ? 0x8700 : 0x0700}});
  setup.SetOption("PMSMStartwithHalls", c.hallOption ? "1" : "0");
  ASSERT_EQ(DeriveStartMode(&setup), 1);
  EXPECT_EQ(Value("StartMode"), c.mode);
  EXPECT_EQ(Max("StartMode"), 4.0);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, StartModes,
    ::testing::Values(StartCase{0x00, true, true, 0}, StartCase{0x04, true, true, 0}, StartCase{0x10, true, true, 0},
                      StartCase{0x14, false, false, 2}, StartCase{0x1C, true, true, 4}, StartCase{0x08, false, true, 1},
                      StartCase{0x08, true, false, 1}, StartCase{0x08, true, true, 3}, StartCase{0x0C, true, true, 3},
                      StartCase{0x18, true, true, 3}, StartCase{0x18, false, true, 1},
                      StartCase{0x1008 | 0x200, true, true, 3}));

TEST_F(ScaledDefaultSetup, StartModeWithoutAcrKeepsItsNewLimits) {
  Set({{"OSR", 0x08}, {"StartMode", 2}});
  setup.RemoveParameter("ACR");
  EXPECT_EQ(DeriveStartMode(&setup), 0);
  EXPECT_EQ(Value("StartMode"), 2.0);
  EXPECT_EQ(Max("StartMode"), 4.0);
  setup.SetOption("PMSMStartwithHalls", "0");  // ACR is not needed then
  EXPECT_EQ(DeriveStartMode(&setup), 1);
  EXPECT_EQ(Value("StartMode"), 1.0);
}

TEST_F(ScaledDefaultSetup, TimingFromThePwmRegisters) {
  Set("CLPER", 3);
  for (auto* derive : {&DerivePwmFrequency, &DerivePwmPeriod}) EXPECT_EQ(derive(&setup), 1);
  EXPECT_EQ(DeriveLoopPeriod(&setup, "Ts_C", "CLPER"), 1);
  EXPECT_EQ(DeriveLoopPeriod(&setup, "Ts_S", "SLPER"), 1);
  EXPECT_EQ(Value("PWM_freq"), 20000.0);              // 40 MHz * 0.5 / 1000
  EXPECT_DOUBLE_EQ(Value("PWMperiod"), 5e-5);         // 2 * 1000 / 40 MHz
  EXPECT_DOUBLE_EQ(Value("Ts_C"), 1.5e-4);            // 2 * 3 * 1000 / 40 MHz
  EXPECT_DOUBLE_EQ(Value("Ts_S"), 1e-3);
}

TEST_F(ScaledDefaultSetup, PolePairsAndLinesFromTheEncoderRegisters) {
  ASSERT_EQ(DerivePolePairs(&setup), 1);
  EXPECT_EQ(Value("pp"), 4.0);  // 8000 * 2147484 / 2^32 = 4.0000006, held as a whole number
  Set("MECRESL", 8003);
  ASSERT_EQ(DeriveEncoderLines(&setup), 1);
  EXPECT_EQ(Value("No_encoder_lines"), 2000.0);  // 8003 / 4 truncated
  // An interpolated sine/cosine encoder: 512 periods (2048 counts), ELRES_FRACT 1.
  Set({{"MotorSensorType", 3}, {"MECRESL", 2048}, {"ENC2THL", 4194304}, {"ELRES_FRACT", 1}});
  DerivePolePairs(&setup);
  EXPECT_EQ(Value("pp"), 4.0);  // 2048 * 4194304 / 2^32 * 2^1
}

TEST_F(ScaledDefaultSetup, AxisIdFromTheAddressTable) {
  for (const auto& [table, id] : {std::pair{0.0, 0.0}, {257.0, 1.0}, {300.0, 44.0}, {511.0, 255.0}}) {
    Set("AAR_table", table);
    ASSERT_EQ(DeriveAxisId(&setup), 1);
    EXPECT_EQ(Value("Axis_ID_list"), id) << table;
  }
  EXPECT_EQ(Max("Axis_ID_list"), 511.0);
}

TEST_F(ScaledDefaultSetup, VoltagesAndTemperatureFromTheirCounts) {
  // Kdc = 65472 / 87 counts per volt.
  EXPECT_EQ(DeriveProtectionVoltage(&setup, "UMAX_PROT", "UMAXPROT"), 1);
  EXPECT_DOUBLE_EQ(Value("UMAX_PROT"), 59.998533724340184);  // 45152 / Kdc
  EXPECT_EQ(Min("UMAX_PROT"), 1.0);
  EXPECT_EQ(Max("UMAX_PROT"), 2000.0);
  EXPECT_EQ(DeriveBrakeVoltage(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("Vbrake"), 56.00013746334311);  // 42143 / Kdc
  EXPECT_EQ(Max("Vbrake"), 87.0);
  EXPECT_EQ(DeriveDriveTemperatureLimit(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("Temp_2"), 90.0);  // (3.3 * 27776 / 65472 - 0.5 V) / 10 mV/°C
}

TEST_F(ScaledDefaultSetup, AlignmentTimeInHundredthsOrInFractions) {
  ASSERT_EQ(DeriveAlignmentTime(&setup), 1);  // UPGRADE bit 9: T1ONA 50 hundredths
  EXPECT_DOUBLE_EQ(Value("time_AB"), 0.5);
  EXPECT_DOUBLE_EQ(Max("time_AB"), 655.35);
  Set({{"UPGRADE", 0}, {"T1ONA", 32767}});
  DeriveAlignmentTime(&setup);
  EXPECT_NEAR(Value("time_AB"), 32767.0 / 65535.0, 1e-12);  // held in speed-loop samples
  EXPECT_EQ(Max("time_AB"), 1.0);
}

TEST_F(ScaledDefaultSetup, StartCurrentFromTheStartVoltage) {
  // Kv = 65534 / (1.1 * 48); dead time 80 * 0.5 / 40 MHz = 1 us, so Vd = 1 us * 40 MHz / 2000 *
  // 48 V = 0.96 V; REFTST 2979 counts over Kv * 3.2 A * 0.9 Ohm gives 50.005 %.
  ASSERT_EQ(DeriveStartCurrent(&setup, "StartCurrent"), 1);
  EXPECT_DOUBLE_EQ(Value("StartCurrent"), 50.00508641824601);
  EXPECT_EQ(Max("StartCurrent"), 300.0);
  Set("MotorPhaseConnectionType", 1);  // delta: a third of the resistance per phase
  DeriveStartCurrent(&setup, "TestStartCurrent");
  EXPECT_DOUBLE_EQ(Value("TestStartCurrent"), 150.01525925473803);
}

TEST_F(ScaledDefaultSetup, RiseTimeAsAShareOfTheAlignment) {
  Set("RINCTST", 29.79);  // 100 steps of 1 ms over 0.5 s
  ASSERT_EQ(DeriveRiseTime(&setup), 1);
  EXPECT_DOUBLE_EQ(Value("rise_time_AB"), 20.0);
}

TEST_F(ScaledDefaultSetup, LoadRatiosAndBrake) {
  ASSERT_EQ(DeriveLoadRatio(&setup, "Jload_over_J", "Jt", "Jm"), 1);
  EXPECT_DOUBLE_EQ(Value("Jload_over_J"), 1.0);  // 66e-6 / 33e-6 - 1
  Set("BRAKECFG", 26 * 256 + 1);                 // pin 26 is port 1
  Set("BRAKERELEASEDELAY", 250);
  ASSERT_EQ(DeriveMotorBrake(&setup), 1);
  ASSERT_EQ(DeriveMotorBrakeOutput(&setup), 1);
  ASSERT_EQ(DeriveBrakeDelay(&setup, "MotorBrake_releasetime", "BRAKERELEASEDELAY"), 1);
  EXPECT_EQ(Internal("isMotorBrake"), 1.0);
  EXPECT_EQ(Internal("MotorBrake_output"), 1.0);
  EXPECT_DOUBLE_EQ(Value("MotorBrake_releasetime"), 0.25);
}

TEST_F(ScaledDefaultSetup, FastLoopControlWithoutItsParameterIsDone) {
  setup.RemoveParameter("PosSpd_in_FastLoop");
  EXPECT_EQ(DeriveFastLoopControl(&setup), 1);
}

}  // namespace
}  // namespace kestrel
