// Bit-field registers bit by bit: each routine sets the bits it owns and keeps all others.
#include <string>
#include <tuple>
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

// Puts the values, runs the routine (which must succeed) and reads its register.
int After(bool (*compute)(CMC_Setup*), const char* reg, CMC_Setup& setup, const Values& put = {}) {
  for (const auto& [name, value] : put) Put(setup, name, value);
  EXPECT_TRUE(compute(&setup)) << reg;
  return static_cast<int>(setup.GetParameterValueInBaseUnit(reg));
}

struct StartCase {
  int startMode, motorSensor, loadSensor, halls, angleController, startWithHalls;
  int code;  // bits 2-4
};

// {1, 0, 1, ...}: the load sensor decides without a motor one.
const StartCase kStartCases[] = {
    {1, 1, 0, 1, 0, 0, 8}, {1, 9, 0, 1, 0, 0, 8}, {1, 1, 0, 0, 0, 0, 4}, {1, 3, 0, 1, 0, 0, 4}, {1, 0, 1, 1, 0, 0, 8},
    {1, 4, 1, 1, 0, 0, 4}, {2, 1, 0, 0, 1, 0, 20}, {2, 3, 0, 0, 1, 0, 20}, {2, 9, 2, 0, 1, 0, 20}, {2, 1, 0, 0, 0, 0, 4},
    {2, 2, 0, 0, 1, 0, 4}, {3, 1, 0, 1, 0, 1, 8}, {3, 1, 0, 1, 0, 0, 4}, {3, 1, 0, 0, 0, 1, 4}, {3, 4, 0, 1, 1, 1, 4},
    {4, 2, 0, 0, 1, 0, 28}, {4, 4, 0, 0, 1, 0, 28}, {4, 5, 0, 0, 1, 0, 28}, {4, 6, 1, 0, 1, 0, 28}, {4, 1, 0, 0, 1, 0, 4},
    {4, 4, 0, 0, 0, 0, 4}, {0, 1, 0, 1, 1, 1, 4}, {5, 2, 0, 1, 1, 1, 4}};

TEST(Osr, StartMethodBrakeResistorAndDualLoop) {
  for (const StartCase& c : kStartCases) {
    SCOPED_TRACE(&c - kStartCases);
    // Owned bits 2-4, 9 and 12 all set beforehand; bits 0, 1, 11 and 15 belong to others.
    CMC_Setup setup = MakeSetup({{"OSR", 0x9A1F}, {"isBrakeResistor", 0}, {"StartMode", c.startMode},
                                 {"MotorSensorType", c.motorSensor}, {"LoadSensorType", c.loadSensor},
                                 {"isHallsensors", c.halls}});
    if (c.angleController != 0) Put(setup, "KPTHT", 0);
    if (c.startWithHalls != 0) setup.SetOption("PMSMStartwithHalls", "1");
    const int expected = 0x8803 | c.code | (c.loadSensor != 0 ? 0x1000 : 0);  // bit 12: dual loop
    EXPECT_EQ(After(ComputeOSR, "OSR", setup), expected);
    EXPECT_EQ(After(ComputeOSR, "OSR", setup, {{"isBrakeResistor", 1}}), expected | 0x200);
  }
}

TEST(Osr, HallSensorFlagNeededOnlyForAnEncoder) {
  CMC_Setup setup = MakeSetup({{"OSR", 0}, {"isBrakeResistor", 0}, {"StartMode", 1}, {"MotorSensorType", 4},
                               {"LoadSensorType", 0}});
  EXPECT_EQ(After(ComputeOSR, "OSR", setup), 4);
  Put(setup, "MotorSensorType", 1);
  EXPECT_FALSE(ComputeOSR(&setup));
}

TEST(Asr, SoftwareLimitsInputPolarityAndNegativeTransmission) {
  CMC_Setup setup = MakeSetup({{"ASR", 0x0A0B}, {"Motor_transmission", 1}, {"Load_transmission", -3}});
  // Without the optional parameters only bit 7 is owned (and cleared without the option).
  EXPECT_EQ(After(ComputeASR, "ASR", setup), 0x0A0B);
  EXPECT_EQ(After(ComputeASR, "ASR", setup, {{"ASR", 0x0A8B}}), 0x0A0B);
  setup.SetOption("hasNegTransmission", "1");
  EXPECT_EQ(After(ComputeASR, "ASR", setup, {{"isSWLS", 1}, {"InputsPolarityType", 0}}), 0x0A0B | 0x1000 | 0x4 | 0x80);
  EXPECT_EQ(After(ComputeASR, "ASR", setup, {{"isSWLS", 0}, {"InputsPolarityType", 1}, {"Load_transmission", 3}}),
            0x0A0B & ~0x4);
}

TEST(Pcr, LowByteFromTheProtectionsHighByteKept) {
  CMC_Setup setup = MakeSetup({{"PCR", 0xAB55}, {"isDriveI2t", 1}, {"isUnderVoltage", 0}, {"isOverVoltage", 1},
                               {"isDriveOverTemp", 0}, {"isMotorOverTemp", 1}, {"isMotorI2t", 0},
                               {"isOverCurrent", 1}, {"MotorSensorType", 1}});
  EXPECT_EQ(After(ComputePCR, "PCR", setup), 0xAB00 | 0x80 | 0x10 | 0x04 | 0x01);
  EXPECT_EQ(After(ComputePCR, "PCR", setup, {{"isOverCurrent", 2}}), 0xAB94);  // only 1 switches a protection on
}

// Every protection on, with the given register and sensors.
CMC_Setup Protected(const Values& more) {
  CMC_Setup setup = MakeSetup({{"isDriveI2t", 1}, {"isUnderVoltage", 1}, {"isOverVoltage", 1}, {"isDriveOverTemp", 1},
                               {"isMotorOverTemp", 1}, {"isMotorI2t", 1}, {"isOverCurrent", 1}});
  for (const auto& [name, value] : more) Put(setup, name, value);
  return setup;
}

TEST(Pcr, EncoderBrokenWireWatchedThroughItsHallSensors) {
  for (const auto& [motorSensor, halls, bit] : std::vector<std::tuple<int, int, int>>{
           {1, 1, 0x40}, {9, 1, 0x40}, {1, 0, 0}, {3, 1, 0}, {0, 1, 0}}) {
    CMC_Setup setup = Protected({{"PCR", 0}, {"MotorSensorType", motorSensor}, {"isHallsensors", halls}});
    setup.SetOption("hasEncoderBrokenWireProtection", "2");
    EXPECT_EQ(After(ComputePCR, "PCR", setup), 0xBF | bit) << motorSensor << "/" << halls;
  }
  CMC_Setup setup = Protected({{"PCR", 0x1234}, {"MotorSensorType", 1}});
  EXPECT_EQ(After(ComputePCR, "PCR", setup), 0x12BF);
  setup.SetOption("hasEncoderBrokenWireProtection", "1");  // needs the Hall sensor flag
  Put(setup, "PCR", 0x1234);
  EXPECT_FALSE(ComputePCR(&setup));
  EXPECT_EQ(static_cast<int>(setup.GetParameterValueInBaseUnit("PCR")), 0x1234);
}

struct ReferenceCase {
  std::string name;
  Values inputs;
  int old, expected;  // expected: bits 2, 6, 7
};

TEST(Acr, ReferenceSourceBits) {
  for (const ReferenceCase& c : std::vector<ReferenceCase>{
        {"no external reference keeps bit 2", {{"ExternalReference", 0}}, 0xC4, 0x04},
        {"no external reference, bit 2 clear", {{"ExternalReference", 0}}, 0xC0, 0},
        {"analogue", {{"isAnalogueReference", 1}}, 0x84, 0x44},
        {"load encoder as reference", {{"LoadSensorType", 1}}, 0x80, 0x40},
        {"digital in speed mode", {{"ControlMode", 1}}, 0x04, 0x44},
        {"pulse and direction", {}, 0x44, 0x80},
        {"reference type 0", {{"DigitalReferenceType", 0}}, 0x40, 0x84}}) {
    CMC_Setup setup = MakeSetup({{"isAutoActivatedAfterPowerOn", 0}, {"ExternalReference", 1}, {"ControlMode", 0},
                                 {"PositionControlType", 0}, {"isAnalogueReference", 0}, {"LoadSensorType", 0},
                                 {"DigitalReferenceType", 1}, {"ACR", c.old}});
    EXPECT_EQ(After(ComputeACR, "ACR", setup, c.inputs) & 0xC4, c.expected) << c.name;
  }
}

CMC_Setup AcrSetup(int old, int controlMode) {
  return MakeSetup({{"ACR", old}, {"isAutoActivatedAfterPowerOn", 1}, {"ExternalReference", 0},
                    {"ControlMode", controlMode}, {"PositionControlType", 0}});
}

TEST(Acr, LoopsThatCloseByControlMode) {
  // control mode, position control type, bits 8-10
  for (const auto& [mode, type, bits] : std::vector<std::tuple<int, int, int>>{
           {0, 0, 0x500}, {0, 1, 0x700}, {1, 1, 0x300}, {2, 0, 0x100}}) {
    CMC_Setup setup = AcrSetup(0x0600, mode);
    EXPECT_EQ(After(ComputeACR, "ACR", setup, {{"PositionControlType", type}}), bits | 0x2) << mode << "/" << type;
  }
  CMC_Setup unknown = AcrSetup(0x1234, 3);  // writes nothing
  EXPECT_FALSE(ComputeACR(&unknown));
  EXPECT_EQ(static_cast<int>(unknown.GetParameterValueInBaseUnit("ACR")), 0x1234);
}

TEST(Acr, SpeedFeedForwardFreezeControlAndHallStart) {
  CMC_Setup setup = AcrSetup(0xC012, 2);
  // Without SpeedForward bit 14 clears; without the freeze feature and the option bits 4 and 15 stay.
  EXPECT_EQ(After(ComputeACR, "ACR", setup, {{"isAutoActivatedAfterPowerOn", 0}, {"StartMode", 3}}), 0x8010 | 0x100);
  setup.SetOption("PMSMStartwithHalls", "1");
  EXPECT_EQ(After(ComputeACR, "ACR", setup,
                  {{"SpeedForward", 1}, {"POSOKLIM_FC", 0}, {"TONPOSOK_FC", 0}, {"isFreezeControl", 0}, {"StartMode", 2}}),
            0x4000 | 0x100);
  EXPECT_EQ(After(ComputeACR, "ACR", setup, {{"isFreezeControl", 1}, {"StartMode", 3}}), 0x8000 | 0x4000 | 0x10 | 0x100);
}

CMC_Setup ScrSetup(int motorSensor, int loadSensor) {
  return MakeSetup({{"SCR", 0xFFFF}, {"CommutationMethod", 0}, {"isMotorTemperatureSensor", 0},
                    {"isDriveTemperatureSensor", 0}, {"DigitalReferenceConnector", 0},
                    {"MotorSensorType", motorSensor}, {"LoadSensorType", loadSensor},
                    {"MotorSensorConnector", 0}, {"LoadSensorConnector", 0}});
}

TEST(Scr, SingleSensorCodeOnEitherSideAndInput) {
  // Sensor type and its code.
  for (const auto& [type, code] : std::vector<std::pair<int, int>>{
           {0, 7}, {1, 0}, {2, 4}, {3, 2}, {4, 1}, {5, 3}, {6, 5}, {7, 0x202}, {8, 0x206}, {9, 0x17}, {10, 0}}) {
    SCOPED_TRACE(type);
    CMC_Setup onMotor = ScrSetup(type, 0);
    EXPECT_EQ(After(ComputeSCR, "SCR", onMotor), code);
    // Without any sensor the load's input is the one that counts.
    EXPECT_EQ(After(ComputeSCR, "SCR", onMotor, {{"MotorSensorConnector", 1}}), type == 0 ? code : code | 0x400);
    if (type == 0) continue;
    CMC_Setup onLoad = ScrSetup(0, type);
    // The missing motor sensor's input does not count.
    EXPECT_EQ(After(ComputeSCR, "SCR", onLoad, {{"MotorSensorConnector", 1}}), code);
    EXPECT_EQ(After(ComputeSCR, "SCR", onLoad, {{"LoadSensorConnector", 1}}), code | 0x400);
  }
}

TEST(Scr, DualLoopEveryPairOfTypes) {
  const int motorCodes[] = {0, 0x40, 0x60, 0x50, 0x48, 0x58, 0x68, 0x70, 0x78, 0x10, 0};
  const int loadCodes[] = {0, 0, 4, 2, 1, 3, 5, 0x205, 0x206, 0, 0};
  for (int motor = 1; motor <= 10; ++motor) {
    for (int load = 1; load <= 10; ++load) {
      CMC_Setup setup = ScrSetup(motor, load);
      EXPECT_EQ(After(ComputeSCR, "SCR", setup), motorCodes[motor] | loadCodes[load]) << motor << "/" << load;
    }
  }
}

TEST(Scr, ResolverOnTheMotorEncoderOnTheLoad) {
  CMC_Setup setup = ScrSetup(4, 1);
  EXPECT_EQ(After(ComputeSCR, "SCR", setup, {{"MotorSensorConnector", 1}}), 0x48 | 0x800);
  EXPECT_EQ(After(ComputeSCR, "SCR", setup, {{"LoadSensorConnector", 1}, {"MotorSensorConnector", 0}}), 0x48 | 0x400);
}

TEST(Scr, CommutationTemperatureSensorsReferenceInputAndSpeedEstimator) {
  CMC_Setup setup = ScrSetup(1, 0);
  EXPECT_EQ(After(ComputeSCR, "SCR", setup,
                  {{"CommutationMethod", 1}, {"isMotorTemperatureSensor", 1}, {"isDriveTemperatureSensor", 1},
                   {"DigitalReferenceConnector", 1}, {"isSpeedEstimator", 1}}),
            0x2000 | 0x80 | 0x100 | 0x8000 | 0x30);
  // Only a single incremental encoder of type 1 estimates its speed.
  EXPECT_EQ(After(ComputeSCR, "SCR", setup, {{"MotorSensorType", 9}}), 0xA197);
  EXPECT_EQ(After(ComputeSCR, "SCR", setup, {{"LoadSensorType", 1}}), 0xA190);
}

TEST(Upgrade, LimitMaximumAndFastLoopPositionControl) {
  CMC_Setup setup = MakeSetup({{"UPGRADE", 0x8241}, {"isLimitMaximum", 1}, {"MotorSensorType", 1},
                               {"LoadSensorType", 0}});
  EXPECT_EQ(After(ComputeUPGRADE, "UPGRADE", setup), 0x0245);  // bit 6 kept without PosSpd_in_FastLoop
  const Values fastLoop = {{"PosSpd_in_FastLoop", 1}, {"isLimitMaximum", 0}, {"UPGRADE", 0x8201}};
  EXPECT_EQ(After(ComputeUPGRADE, "UPGRADE", setup, fastLoop), 0x0241);
  // The load's sin/cos encoder closes the loop.
  EXPECT_EQ(After(ComputeUPGRADE, "UPGRADE", setup, {{"LoadSensorType", 3}}), 0x0201);
  EXPECT_EQ(After(ComputeUPGRADE, "UPGRADE", setup, {{"LoadSensorType", 1}, {"MotorSensorType", 4}}), 0x0241);
}

TEST(DigitalInputLevels, EnableAndLimitSwitchPolarities) {
  CMC_Setup setup = MakeSetup({{"DIGIN_ACTIVE_LEVEL", 0x1FFF}, {"EnablePolarity", 1}, {"LSNPolarity", 0},
                               {"LSPPolarity", 1}});
  EXPECT_EQ(After(ComputeDIGIN_ACTIVE_LEVEL, "DIGIN_ACTIVE_LEVEL", setup), 0xBFFF);
  EXPECT_EQ(After(ComputeDIGIN_ACTIVE_LEVEL, "DIGIN_ACTIVE_LEVEL", setup,
                  {{"EnablePolarity", 0}, {"LSNPolarity", 1}, {"LSPPolarity", 0}}),
            0x5FFF);
}

}  // namespace
}  // namespace kestrel
