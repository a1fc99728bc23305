// Bit-field registers bit by bit: each routine sets the bits it owns and keeps all others.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "compute/registers.h"
#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::MakeSetup;
using test_support::Put;

using Values = std::vector<std::pair<std::string, double>>;

int Reg(const CMC_Setup& setup, const char* name) {
  return static_cast<int>(setup.GetParameterValueInBaseUnit(name));
}

// --- OSR

struct StartCase {
  int startMode, motorSensor, loadSensor, halls;
  bool angleController, startWithHalls;
  int code;  // bits 2-4
};
void PrintTo(const StartCase& c, std::ostream* out) {
  *out << "mode " << c.startMode << " sensors " << c.motorSensor << "/" << c.loadSensor << " halls " << c.halls
       << (c.angleController ? " angle" : "") << (c.startWithHalls ? " option" : "");
}

class OsrStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(OsrStart, StartMethodBrakeResistorAndDualLoop) {
  const StartCase& c = GetParam();
  // Owned bits 2-4, 9 and 12 all set beforehand; bits 0, 1, 11 and 15 belong to others.
  CMC_Setup setup = MakeSetup({{"OSR", 0x9A1F}, {"isBrakeResistor", 0}, {"StartMode", c.startMode},
                               {"MotorSensorType", c.motorSensor}, {"LoadSensorType", c.loadSensor},
                               {"isHallsensors", c.halls}});
  if (c.angleController) Put(setup, "KPTHT", 0);
  if (c.startWithHalls) setup.SetOption("PMSMStartwithHalls", "1");
  const int dualLoop = c.loadSensor != 0 ? 0x1000 : 0;
  ASSERT_TRUE(ComputeOSR(&setup));
  EXPECT_EQ(Reg(setup, "OSR"), 0x8803 | c.code | dualLoop);
  Put(setup, "isBrakeResistor", 1);
  ASSERT_TRUE(ComputeOSR(&setup));
  EXPECT_EQ(Reg(setup, "OSR"), 0x8803 | 0x200 | c.code | dualLoop);
}

INSTANTIATE_TEST_SUITE_P(
    StartModes, OsrStart,
    ::testing::Values(
        // StartCase{1, 0, 1, ...}: the load sensor decides without a motor one
        StartCase{1, 1, 0, 1, false, false, 8}, StartCase{1, 9, 0, 1, false, false, 8}, StartCase{1, 1, 0, 0, false, false, 4},
        StartCase{1, 3, 0, 1, false, false, 4}, StartCase{1, 0, 1, 1, false, false, 8}, StartCase{1, 4, 1, 1, false, false, 4},
        StartCase{2, 1, 0, 0, true, false, 20}, StartCase{2, 3, 0, 0, true, false, 20}, StartCase{2, 9, 2, 0, true, false, 20},
        StartCase{2, 1, 0, 0, false, false, 4}, StartCase{2, 2, 0, 0, true, false, 4}, StartCase{3, 1, 0, 1, false, true, 8},
        StartCase{3, 1, 0, 1, false, false, 4}, StartCase{3, 1, 0, 0, false, true, 4}, StartCase{3, 4, 0, 1, true, true, 4},
        StartCase{4, 2, 0, 0, true, false, 28}, StartCase{4, 4, 0, 0, true, false, 28}, StartCase{4, 5, 0, 0, true, false, 28},
        StartCase{4, 6, 1, 0, true, false, 28}, StartCase{4, 1, 0, 0, true, false, 4}, StartCase{4, 4, 0, 0, false, false, 4},
        StartCase{0, 1, 0, 1, true, true, 4}, StartCase{5, 2, 0, 1, true, true, 4}));

TEST(Osr, HallSensorFlagNeededOnlyForAnEncoder) {
  CMC_Setup setup = MakeSetup({{"OSR", 0}, {"isBrakeResistor", 0}, {"StartMode", 1}, {"MotorSensorType", 4},
                               {"LoadSensorType", 0}});
  ASSERT_TRUE(ComputeOSR(&setup));
  EXPECT_EQ(Reg(setup, "OSR"), 4);
  Put(setup, "MotorSensorType", 1);
  EXPECT_FALSE(ComputeOSR(&setup));
}

// --- ASR

TEST(Asr, SoftwareLimitsInputPolarityAndNegativeTransmission) {
  CMC_Setup setup = MakeSetup({{"ASR", 0x0A0B}, {"Motor_transmission", 1}, {"Load_transmission", -3}});
  // Without the optional parameters only bit 7 is owned (and cleared without the option).
  ASSERT_TRUE(ComputeASR(&setup));
  EXPECT_EQ(Reg(setup, "ASR"), 0x0A0B);
  Put(setup, "ASR", 0x0A8B);
  ASSERT_TRUE(ComputeASR(&setup));
  EXPECT_EQ(Reg(setup, "ASR"), 0x0A0B);

  setup.SetOption("hasNegTransmission", "1");
  Put(setup, {{"isSWLS", 1}, {"InputsPolarityType", 0}});
  ASSERT_TRUE(ComputeASR(&setup));
  EXPECT_EQ(Reg(setup, "ASR"), 0x0A0B | 0x1000 | 0x4 | 0x80);

  Put(setup, {{"isSWLS", 0}, {"InputsPolarityType", 1}, {"Load_transmission", 3}});
  ASSERT_TRUE(ComputeASR(&setup));
  EXPECT_EQ(Reg(setup, "ASR"), 0x0A0B & ~0x4);
}

// --- PCR

TEST(Pcr, LowByteFromTheProtectionsHighByteKept) {
  CMC_Setup setup = MakeSetup({{"PCR", 0xAB55}, {"isDriveI2t", 1}, {"isUnderVoltage", 0}, {"isOverVoltage", 1},
                               {"isDriveOverTemp", 0}, {"isMotorOverTemp", 1}, {"isMotorI2t", 0},
                               {"isOverCurrent", 1}, {"MotorSensorType", 1}});
  ASSERT_TRUE(ComputePCR(&setup));
  EXPECT_EQ(Reg(setup, "PCR"), 0xAB00 | 0x80 | 0x10 | 0x04 | 0x01);
  Put(setup, "isOverCurrent", 2);  // only 1 switches a protection on
  ASSERT_TRUE(ComputePCR(&setup));
  EXPECT_EQ(Reg(setup, "PCR"), 0xAB94);
}

struct BrokenWireCase {
  int motorSensor, halls, bit;
};

class PcrBrokenWire : public ::testing::TestWithParam<BrokenWireCase> {};

TEST_P(PcrBrokenWire, EncoderWatchedThroughItsHallSensors) {
  CMC_Setup setup = MakeSetup({{"PCR", 0}, {"isDriveI2t", 1}, {"isUnderVoltage", 1}, {"isOverVoltage", 1},
                               {"isDriveOverTemp", 1}, {"isMotorOverTemp", 1}, {"isMotorI2t", 1},
                               {"isOverCurrent", 1}, {"MotorSensorType", GetParam().motorSensor},
                               {"isHallsensors", GetParam().halls}});
  setup.SetOption("hasEncoderBrokenWireProtection", "2");
  ASSERT_TRUE(ComputePCR(&setup));
  EXPECT_EQ(Reg(setup, "PCR"), 0xBF | GetParam().bit);
}

INSTANTIATE_TEST_SUITE_P(Sensors, PcrBrokenWire,
                         ::testing::Values(BrokenWireCase{1, 1, 0x40}, BrokenWireCase{9, 1, 0x40},
                                           BrokenWireCase{1, 0, 0}, BrokenWireCase{3, 1, 0},
                                           BrokenWireCase{0, 1, 0}));

TEST(Pcr, BrokenWireOptionNeedsTheHallSensorFlag) {
  CMC_Setup setup = MakeSetup({{"PCR", 0x1234}, {"isDriveI2t", 1}, {"isUnderVoltage", 1}, {"isOverVoltage", 1},
                               {"isDriveOverTemp", 1}, {"isMotorOverTemp", 1}, {"isMotorI2t", 1},
                               {"isOverCurrent", 1}, {"MotorSensorType", 1}});
  ASSERT_TRUE(ComputePCR(&setup));
  EXPECT_EQ(Reg(setup, "PCR"), 0x12BF);
  setup.SetOption("hasEncoderBrokenWireProtection", "1");
  Put(setup, "PCR", 0x1234);
  EXPECT_FALSE(ComputePCR(&setup));
  EXPECT_EQ(Reg(setup, "PCR"), 0x1234);
}

// --- ACR

struct ReferenceCase {
  std::string name;
  Values inputs;
  int old, expected;  // expected: bits 2, 6, 7
};
void PrintTo(const ReferenceCase& c, std::ostream* out) { *out << c.name; }

class AcrReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(AcrReference, SourceBits) {
  CMC_Setup setup = MakeSetup({{"isAutoActivatedAfterPowerOn", 0}, {"ExternalReference", 1}, {"ControlMode", 0},
                               {"PositionControlType", 0}, {"isAnalogueReference", 0}, {"LoadSensorType", 0},
                               {"DigitalReferenceType", 1}});
  Put(setup, "ACR", GetParam().old);
  for (const auto& [name, value] : GetParam().inputs) Put(setup, name, value);
  ASSERT_TRUE(ComputeACR(&setup));
  EXPECT_EQ(Reg(setup, "ACR") & 0xC4, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AcrReference,
    ::testing::Values(
        ReferenceCase{"no external reference keeps bit 2", {{"ExternalReference", 0}}, 0xC4, 0x04},
        ReferenceCase{"no external reference, bit 2 clear", {{"ExternalReference", 0}}, 0xC0, 0},
        ReferenceCase{"analogue", {{"isAnalogueReference", 1}}, 0x84, 0x44},
        ReferenceCase{"load encoder as reference", {{"LoadSensorType", 1}}, 0x80, 0x40},
        ReferenceCase{"digital in speed mode", {{"ControlMode", 1}}, 0x04, 0x44},
        ReferenceCase{"pulse and direction", {}, 0x44, 0x80},
        ReferenceCase{"reference type 0", {{"DigitalReferenceType", 0}}, 0x40, 0x84}));

struct ModeCase {
  int controlMode, positionControlType, bits;  // bits 8-10
};

class AcrMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(AcrMode, LoopsThatClose) {
  CMC_Setup setup = MakeSetup({{"ACR", 0x0600}, {"isAutoActivatedAfterPowerOn", 1}, {"ExternalReference", 0},
                               {"ControlMode", GetParam().controlMode},
                               {"PositionControlType", GetParam().positionControlType}});
  ASSERT_TRUE(ComputeACR(&setup));
  EXPECT_EQ(Reg(setup, "ACR"), GetParam().bits | 0x2);
}

INSTANTIATE_TEST_SUITE_P(ControlModes, AcrMode,
                         ::testing::Values(ModeCase{0, 0, 0x500}, ModeCase{0, 1, 0x700}, ModeCase{1, 1, 0x300},
                                           ModeCase{2, 0, 0x100}));

TEST(Acr, UnknownControlModeWritesNothing) {
  CMC_Setup setup = MakeSetup({{"ACR", 0x1234}, {"isAutoActivatedAfterPowerOn", 1}, {"ExternalReference", 0},
                               {"ControlMode", 3}, {"PositionControlType", 0}});
  EXPECT_FALSE(ComputeACR(&setup));
  EXPECT_EQ(Reg(setup, "ACR"), 0x1234);
}

TEST(Acr, SpeedFeedForwardFreezeControlAndHallStart) {
  CMC_Setup setup = MakeSetup({{"ACR", 0xC012}, {"isAutoActivatedAfterPowerOn", 0}, {"ExternalReference", 0},
                               {"ControlMode", 2}, {"PositionControlType", 0}, {"StartMode", 3}});
  // Without SpeedForward bit 14 clears; without the freeze feature and the option bits 4 and 15 stay.
  ASSERT_TRUE(ComputeACR(&setup));
  EXPECT_EQ(Reg(setup, "ACR"), 0x8010 | 0x100);

  Put(setup, {{"SpeedForward", 1}, {"POSOKLIM_FC", 0}, {"TONPOSOK_FC", 0}, {"isFreezeControl", 0}, {"StartMode", 2}});
  setup.SetOption("PMSMStartwithHalls", "1");
  ASSERT_TRUE(ComputeACR(&setup));
  EXPECT_EQ(Reg(setup, "ACR"), 0x4000 | 0x100);

  Put(setup, {{"isFreezeControl", 1}, {"StartMode", 3}});
  ASSERT_TRUE(ComputeACR(&setup));
  EXPECT_EQ(Reg(setup, "ACR"), 0x8000 | 0x4000 | 0x10 | 0x100);
}

// --- SCR

CMC_Setup ScrSetup(int motorSensor, int loadSensor) {
  return MakeSetup({{"SCR", 0xFFFF}, {"CommutationMethod", 0}, {"isMotorTemperatureSensor", 0},
                    {"isDriveTemperatureSensor", 0}, {"DigitalReferenceConnector", 0},
                    {"MotorSensorType", motorSensor}, {"LoadSensorType", loadSensor},
                    {"MotorSensorConnector", 0}, {"LoadSensorConnector", 0}});
}

struct SingleCase {
  int type, code;
};

class ScrSingleSensor : public ::testing::TestWithParam<SingleCase> {};

TEST_P(ScrSingleSensor, CodeOnEitherSideAndInput) {
  const auto [type, code] = GetParam();
  CMC_Setup onMotor = ScrSetup(type, 0);
  ASSERT_TRUE(ComputeSCR(&onMotor));
  EXPECT_EQ(Reg(onMotor, "SCR"), code);
  Put(onMotor, "MotorSensorConnector", 1);
  ASSERT_TRUE(ComputeSCR(&onMotor));
  // Without any sensor the load's input is the one that counts.
  EXPECT_EQ(Reg(onMotor, "SCR"), type == 0 ? code : code | 0x400);

  if (type == 0) return;
  CMC_Setup onLoad = ScrSetup(0, type);
  Put(onLoad, "MotorSensorConnector", 1);  // the missing motor sensor's input does not count
  ASSERT_TRUE(ComputeSCR(&onLoad));
  EXPECT_EQ(Reg(onLoad, "SCR"), code);
  Put(onLoad, "LoadSensorConnector", 1);
  ASSERT_TRUE(ComputeSCR(&onLoad));
  EXPECT_EQ(Reg(onLoad, "SCR"), code | 0x400);
}

INSTANTIATE_TEST_SUITE_P(SensorTypes, ScrSingleSensor,
                         ::testing::Values(SingleCase{0, 7}, SingleCase{1, 0}, SingleCase{2, 4}, SingleCase{3, 2},
                                           SingleCase{4, 1}, SingleCase{5, 3}, SingleCase{6, 5},
                                           SingleCase{7, 0x202}, SingleCase{8, 0x206}, SingleCase{9, 0x17},
                                           SingleCase{10, 0}));

TEST(Scr, DualLoopEveryPairOfTypes) {
  const int motorCodes[] = {0, 0x40, 0x60, 0x50, 0x48, 0x58, 0x68, 0x70, 0x78, 0x10, 0};
  const int loadCodes[] = {0, 0, 4, 2, 1, 3, 5, 0x205, 0x206, 0, 0};
  for (int motor = 1; motor <= 10; ++motor) {
    for (int load = 1; load <= 10; ++load) {
      CMC_Setup setup = ScrSetup(motor, load);
      ASSERT_TRUE(ComputeSCR(&setup));
      EXPECT_EQ(Reg(setup, "SCR"), motorCodes[motor] | loadCodes[load]) << motor << "/" << load;
    }
  }
}

TEST(Scr, ResolverOnTheMotorEncoderOnTheLoad) {
  CMC_Setup setup = ScrSetup(4, 1);
  Put(setup, "MotorSensorConnector", 1);
  ASSERT_TRUE(ComputeSCR(&setup));
  EXPECT_EQ(Reg(setup, "SCR"), 0x48 | 0x800);
  Put(setup, {{"LoadSensorConnector", 1}, {"MotorSensorConnector", 0}});
  ASSERT_TRUE(ComputeSCR(&setup));
  EXPECT_EQ(Reg(setup, "SCR"), 0x48 | 0x400);
}

TEST(Scr, CommutationTemperatureSensorsReferenceInputAndSpeedEstimator) {
  CMC_Setup setup = ScrSetup(1, 0);
  for (const char* name : {"CommutationMethod", "isMotorTemperatureSensor", "isDriveTemperatureSensor",
                           "DigitalReferenceConnector", "isSpeedEstimator"}) {
    Put(setup, name, 1);
  }
  ASSERT_TRUE(ComputeSCR(&setup));
  EXPECT_EQ(Reg(setup, "SCR"), 0x2000 | 0x80 | 0x100 | 0x8000 | 0x30);
  // Only a single incremental encoder of type 1 estimates its speed.
  Put(setup, "MotorSensorType", 9);
  ASSERT_TRUE(ComputeSCR(&setup));
  EXPECT_EQ(Reg(setup, "SCR"), 0xA197);
  Put(setup, "LoadSensorType", 1);
  ASSERT_TRUE(ComputeSCR(&setup));
  EXPECT_EQ(Reg(setup, "SCR"), 0xA190);
}

// --- UPGRADE and DIGIN_ACTIVE_LEVEL

TEST(Upgrade, LimitMaximumAndFastLoopPositionControl) {
  CMC_Setup setup = MakeSetup({{"UPGRADE", 0x8241}, {"isLimitMaximum", 1}, {"MotorSensorType", 1},
                               {"LoadSensorType", 0}});
  ASSERT_TRUE(ComputeUPGRADE(&setup));
  EXPECT_EQ(Reg(setup, "UPGRADE"), 0x0245);  // bit 6 kept without PosSpd_in_FastLoop
  Put(setup, {{"PosSpd_in_FastLoop", 1}, {"isLimitMaximum", 0}, {"UPGRADE", 0x8201}});
  ASSERT_TRUE(ComputeUPGRADE(&setup));
  EXPECT_EQ(Reg(setup, "UPGRADE"), 0x0241);
  Put(setup, "LoadSensorType", 3);  // the load's sin/cos encoder closes the loop
  ASSERT_TRUE(ComputeUPGRADE(&setup));
  EXPECT_EQ(Reg(setup, "UPGRADE"), 0x0201);
  Put(setup, {{"LoadSensorType", 1}, {"MotorSensorType", 4}});
  ASSERT_TRUE(ComputeUPGRADE(&setup));
  EXPECT_EQ(Reg(setup, "UPGRADE"), 0x0241);
}

TEST(DigitalInputLevels, EnableAndLimitSwitchPolarities) {
  CMC_Setup setup = MakeSetup({{"DIGIN_ACTIVE_LEVEL", 0x1FFF}, {"EnablePolarity", 1}, {"LSNPolarity", 0},
                               {"LSPPolarity", 1}});
  ASSERT_TRUE(ComputeDIGIN_ACTIVE_LEVEL(&setup));
  EXPECT_EQ(Reg(setup, "DIGIN_ACTIVE_LEVEL"), 0xBFFF);
  Put(setup, {{"EnablePolarity", 0}, {"LSNPolarity", 1}, {"LSPPolarity", 0}});
  ASSERT_TRUE(ComputeDIGIN_ACTIVE_LEVEL(&setup));
  EXPECT_EQ(Reg(setup, "DIGIN_ACTIVE_LEVEL"), 0x5FFF);
}

}  // namespace
}  // namespace kestrel
