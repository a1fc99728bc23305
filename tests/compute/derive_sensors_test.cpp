#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compute/derivation.h"
#include "drivebase/value_types.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledDefaultSetup;

TEST(SensorCodes, EveryValueOfTheSingleSensorField) {
  const std::map<int, int> codes = {{0x000, 1}, {0x001, 4}, {0x002, 3}, {0x003, 5}, {0x004, 2},
                                    {0x005, 6}, {0x202, 7}, {0x206, 8}};
  for (int field : {0x000, 0x001, 0x002, 0x003, 0x004, 0x005, 0x006, 0x007, 0x200, 0x201, 0x202,
                    0x203, 0x204, 0x205, 0x206, 0x207}) {
    const auto known = codes.find(field);
    EXPECT_EQ(SensorCodeOfLowField(field | 0xA180), known == codes.end() ? 0 : known->second)
        << std::hex << field;
  }
}

TEST(SensorCodes, EveryValueOfTheDualLoopMotorField) {
  const std::map<int, int> codes = {{0x10, 9}, {0x40, 1}, {0x48, 4}, {0x50, 3}, {0x58, 5},
                                    {0x60, 2}, {0x68, 6}, {0x70, 7}, {0x78, 8}};
  for (int field = 0; field <= 0x78; field += 8) {
    const auto known = codes.find(field);
    EXPECT_EQ(SensorCodeOfDualLoopField(field | 0x2587), known == codes.end() ? 0 : known->second)
        << std::hex << field;
  }
}

struct SensorCase {
  int scr, osr, motorSensor, loadSensor, motorConnector, loadConnector;
};
void PrintTo(const SensorCase& c, std::ostream* out) { *out << std::hex << "SCR 0x" << c.scr << ", OSR 0x" << c.osr; }

class SensorTypes : public ScaledDefaultSetup, public ::testing::WithParamInterface<SensorCase> {};

TEST_P(SensorTypes, AndConnectorsFromScrAndOsr) {
  const SensorCase& c = GetParam();
  Set({{"SCR", c.scr}, {"OSR", c.osr}});
  for (auto* derive : {&DeriveMotorSensorType, &DeriveLoadSensorType, &DeriveMotorSensorConnector,
                       &DeriveLoadSensorConnector}) {
    EXPECT_EQ(derive(&setup), 1);
  }
  EXPECT_EQ(Value("MotorSensorType"), c.motorSensor);
  EXPECT_EQ(Value("LoadSensorType"), c.loadSensor);
  EXPECT_EQ(Value("MotorSensorConnector"), c.motorConnector);
  EXPECT_EQ(Value("LoadSensorConnector"), c.loadConnector);
  EXPECT_EQ(Max("MotorSensorType"), 9.0);  // the drive family's highest code
  EXPECT_EQ(Max("LoadSensorConnector"), 1.0);  // two feedback inputs
}

INSTANTIATE_TEST_SUITE_P(
    Registers, SensorTypes,
    ::testing::Values(
        // Single loop (OSR bit 12 clear): the low field is the motor sensor, bit 10 its input.
        SensorCase{0xA180, 0x0008, 1, 0, 0, 0},       // the default: encoder on input 0
        SensorCase{0xA580, 0x0008, 1, 0, 1, 0},       // on input 1
        SensorCase{0x2D83, 0x0008, 5, 0, 1, 1},       // SSI on input 1; bit 11 set too
        SensorCase{0x2002, 0x0000, 3, 0, 0, 0},       // sine/cosine
        SensorCase{0x2007, 0x0000, 0, 0, 0, 0},       // 7: no sensor, both connectors from bit 11
        SensorCase{0x2407, 0x0000, 0, 0, 0, 1},
        // Dual loop (OSR bit 12): the motor field bits 3-6, the load sensor in the low field;
        // bit 11 is the motor sensor's input, bit 10 the load sensor's.
        SensorCase{0x25C0, 0x1008, 1, 1, 0, 1},       // encoder 0x40 and load encoder 0
        SensorCase{0x2848, 0x1000, 4, 1, 1, 0},       // resolver 0x48, load encoder on input 0
        SensorCase{0x2453, 0x1000, 3, 5, 0, 1},       // sine/cosine 0x50, SSI load 3
        SensorCase{0x2415, 0x1000, 9, 6, 0, 1},       // 0x10 and BiSS 5
        SensorCase{0x2245, 0x1000, 1, 0, 0, 0},       // a type 7 load sensor (0x205) reads as none
        SensorCase{0x2005, 0x1000, 0, 6, 0, 0}));     // no motor field: load sensor only

class DigitalReferenceInputs : public ScaledDefaultSetup {
 protected:
  // Records what the External Reference dialog's combo box would show.
  struct Recorder : ConnectorList {
    void Add(const std::string& name, int connector) override { added.emplace_back(name, connector); }
    void Select(int connector) override { selected = connector; }
    std::vector<std::pair<std::string, int>> added;
    int selected = -1;
  };

  void UseConnectors(std::vector<drivebase::FeedbackConnector> connectors) {
    drivebase::DriveFamilyData family = setup.DriveFamily();
    family.connectors = std::move(connectors);
    setup.SetDriveFamily(family);
  }
};

TEST_F(DigitalReferenceInputs, AFreeEncoderInputIsOfferedAndKept) {
  Recorder list;
  int noneFree = -1;
  ASSERT_EQ(FillDigitalReferenceConnectors(&setup, &list, noneFree), 1);
  EXPECT_EQ(noneFree, 0);
  // Input 0 carries the motor encoder; input 1 accepts incremental encoders.
  EXPECT_EQ(list.added, (std::vector<std::pair<std::string, int>>{{"Feedback #2", 1}}));
  EXPECT_EQ(list.selected, 1);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 1.0);
}

TEST_F(DigitalReferenceInputs, WithoutAListTheLastFreeInputIsTaken) {
  UseConnectors({{"Main", {1, 3}}, {"Aux A", {9}}, {"Aux B", {1, 5}}, {"Hall", {2}}});
  Set("DigitalReferenceConnector", 0);  // taken by the motor encoder
  int noneFree = -1;
  ASSERT_EQ(FillDigitalReferenceConnectors(&setup, nullptr, noneFree), 1);
  EXPECT_EQ(noneFree, 0);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 2.0) << "input 2, the last of 1 and 2";
}

TEST_F(DigitalReferenceInputs, NoFreeInputForcesTheAnalogueReference) {
  UseConnectors({{"Main", {1, 3}}, {"Resolver", {4}}});
  Set({{"isAnalogueReference", 0}, {"DigitalReferenceConnector", 1}});
  Recorder list;
  int noneFree = -1;
  ASSERT_EQ(FillDigitalReferenceConnectors(&setup, &list, noneFree), 1);
  EXPECT_EQ(noneFree, 1);
  EXPECT_TRUE(list.added.empty());
  EXPECT_EQ(Value("isAnalogueReference"), 1.0);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 1.0) << "left as it was";
}

TEST_F(DigitalReferenceInputs, ALoadSensorTakesItsInputToo) {
  Set({{"LoadSensorType", 1}, {"LoadSensorConnector", 1}});
  int noneFree = -1;
  FillDigitalReferenceConnectors(&setup, nullptr, noneFree);
  EXPECT_EQ(noneFree, 1);
  Set("MotorSensorType", 0);  // input 0 is free again
  FillDigitalReferenceConnectors(&setup, nullptr, noneFree);
  EXPECT_EQ(noneFree, 0);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 0.0);
}

TEST_F(DigitalReferenceInputs, FromScrBit15ThenChecked) {
  Set("SCR", 0x2180);  // bit 15 clear: input 0, which the motor encoder uses
  ASSERT_EQ(DeriveDigitalReferenceConnector(&setup), 1);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 1.0) << "moved to the free input";
}

// Both counting-direction rules over every combination that matters: m, l = the motor (load)
// sensor counts like an encoder (types 1, 3, 9); mc, lc = the connectors; dM, dL = the counting
// registers of inputs 0 and 1.
struct CountingCase {
  int motorSensor, loadSensor, motorConnector, loadConnector, dM, dL, reverseMotor, reverseLoad;
};
void PrintTo(const CountingCase& c, std::ostream* out) {
  *out << "sensors " << c.motorSensor << "/" << c.loadSensor << ", inputs " << c.motorConnector << "/"
       << c.loadConnector << ", registers " << c.dM << "/" << c.dL;
}

class CountingDirection : public ScaledDefaultSetup, public ::testing::WithParamInterface<CountingCase> {};

TEST_P(CountingDirection, ReadBackFromTheInputRegisters) {
  const CountingCase& c = GetParam();
  Set({{"MotorSensorType", c.motorSensor}, {"LoadSensorType", c.loadSensor},
       {"MotorSensorConnector", c.motorConnector}, {"LoadSensorConnector", c.loadConnector},
       {"COUNTINGDIR_MT", c.dM}, {"COUNTINGDIR_LD", c.dL}});
  ASSERT_EQ(DeriveReverseCountingMotor(&setup), 1);
  ASSERT_EQ(DeriveReverseCountingLoad(&setup), 1);
  EXPECT_EQ(Value("ReverseCounting_MT"), c.reverseMotor);
  EXPECT_EQ(Value("ReverseCounting_LD"), c.reverseLoad);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CountingDirection,
    ::testing::Values(
        // One encoder: the register of its own input counts.
        CountingCase{1, 0, 0, 0, 1, 0, 1, 0}, CountingCase{1, 0, 0, 0, 0, 1, 0, 0}, CountingCase{1, 0, 1, 0, 0, 1, 1, 0},
        CountingCase{1, 0, 1, 0, 1, 0, 0, 0}, CountingCase{3, 0, 0, 0, 1, 0, 1, 0}, CountingCase{9, 0, 1, 0, 0, 1, 1, 0},
        // Two encoders on separate inputs: each reads its input's register; on one input neither reverses.
        CountingCase{1, 1, 0, 1, 1, 0, 1, 0}, CountingCase{1, 1, 0, 1, 0, 1, 0, 1}, CountingCase{1, 1, 1, 0, 1, 0, 0, 1},
        CountingCase{1, 1, 1, 0, 0, 1, 1, 0}, CountingCase{1, 1, 0, 0, 1, 0, 0, 0}, CountingCase{1, 1, 1, 1, 0, 1, 0, 0},
        // A load encoder alone; no encoder-type sensor at all.
        CountingCase{0, 1, 0, 0, 1, 0, 0, 1}, CountingCase{0, 1, 0, 1, 0, 1, 0, 1}, CountingCase{0, 1, 0, 1, 1, 0, 0, 0},
        CountingCase{4, 1, 0, 1, 0, 1, 0, 1}, CountingCase{4, 1, 1, 0, 1, 0, 0, 1}, CountingCase{5, 0, 0, 0, 1, 0, 0, 0},
        CountingCase{5, 5, 0, 1, 1, 1, 0, 0}));

TEST_F(ScaledDefaultSetup, EncoderFiltersFromTheQualificationRegisters) {
  Set("QUAL_AQ2", 0x8A00);  // six samples on input A
  Set("QUAL_BQ2", 0);
  ASSERT_EQ(DeriveEncoderFilterMotor(&setup), 1);
  ASSERT_EQ(DeriveEncoderFilterLoad(&setup), 1);
  EXPECT_EQ(Value("isFilterEnc_MT"), 1.0);  // the motor encoder on input A (SCR bit 10 clear)
  EXPECT_EQ(Value("isFilterEnc_LD"), 1.0);  // bit 10 decides for the load flag as well
  Set("SCR", 0x2180 | 0x400);  // the motor sensor on input B
  Set("QUAL_BQ2", 0x15000);   // three samples on input B
  Set("QUAL_AQ2", 0x00FF);    // other bits only
  DeriveEncoderFilterMotor(&setup);
  EXPECT_EQ(Value("isFilterEnc_MT"), 1.0);
  Set("LoadSensorType", 1);  // dual loop: the motor flag reads bit 11
  DeriveEncoderFilterMotor(&setup);
  EXPECT_EQ(Value("isFilterEnc_MT"), 0.0);
  Set("QUAL_BQ2", 4294967296.0 + 0x2A000);  // above 32 bits the 64-bit value counts
  Set("SCR", 0x2180 | 0xC00);
  DeriveEncoderFilterMotor(&setup);
  EXPECT_EQ(Value("isFilterEnc_MT"), 1.0);
}

TEST_F(ScaledDefaultSetup, LinearHallResolutionPerPitchOrPerTurn) {
  Set("DBTTH", 4);
  ASSERT_EQ(DeriveLinearHallResolution(&setup), 1);
  EXPECT_EQ(Value("LHResolution"), 16384.0);  // 2^12 per pitch * 4 pole pairs
  Set("TransmissionType", 2);                 // linear motor, rotary load
  DeriveLinearHallResolution(&setup);
  DeriveLinearHallResolutionLoad(&setup);
  EXPECT_EQ(Value("LHResolution"), 4096.0);
  EXPECT_EQ(Value("LHResolution_LD"), 16384.0);
}

class AbsoluteEncoder : public ScaledDefaultSetup {
 protected:
  void SetUp() override {  // SSIBR 29: 60 MHz / 30 = 2 MHz
    Set({{"MotorSensorType", 5}, {"SSITURNS", 12}, {"SSIREV", 17}, {"SSITYPE", 1}, {"SSISENSE", -1}, {"SSIBR", 29}});
  }
};

TEST_F(AbsoluteEncoder, SettingsFromTheRegisters) {
  for (const EncoderSide side : {EncoderSide::kMotor, EncoderSide::kLoad}) {
    const std::string suffix = side == EncoderSide::kLoad ? "_LD" : "";
    EXPECT_EQ(DeriveMultiTurn(&setup, side), 1);
    EXPECT_EQ(DeriveRevolutionBits(&setup, side), 1);
    EXPECT_EQ(DeriveTurnBits(&setup, side), 1);
    EXPECT_EQ(DeriveGrayCode(&setup, side), 1);
    EXPECT_EQ(DeriveReverseSerial(&setup, side), 1);
    EXPECT_EQ(Value("SSI_isMultiTurn" + suffix), 1.0);
    EXPECT_EQ(Value("SSI_No_Bits_Revolution" + suffix), 17.0);
    EXPECT_EQ(Max("SSI_No_Bits_Revolution" + suffix), 31.0);
    EXPECT_EQ(Value("SSI_No_Bits_Turns" + suffix), 12.0);
    EXPECT_EQ(Max("SSI_No_Bits_Turns" + suffix), 32.0);
    EXPECT_EQ(Value("SSI_isGray" + suffix), 1.0);
    EXPECT_EQ(Value("SSI_isReverseCounting" + suffix), 1.0);
  }
  Set({{"SSITURNS", 0}, {"SSISENSE", 1}});
  DeriveMultiTurn(&setup, EncoderSide::kMotor);
  DeriveReverseSerial(&setup, EncoderSide::kMotor);
  EXPECT_EQ(Value("SSI_isMultiTurn"), 0.0);
  EXPECT_EQ(Value("SSI_isReverseCounting"), 0.0);
}

TEST_F(AbsoluteEncoder, OffsetWithinOneElectricalTurn) {
  // 2^16 counts (17 bits limited to 16) over 4 pole pairs (8000 * 2147484 / 2^32 = 4.0000006,
  // truncated): N = 16384; ZAOFF 40000 leaves 40000 - 2 * 16384 = 7232.
  Set("ZAOFF", 40000);
  ASSERT_EQ(DeriveSerialEncoderOffset(&setup), 1);
  EXPECT_EQ(Value("SSI_Offset"), 7232.0);
  Set("ZAOFF", -40000);
  DeriveSerialEncoderOffset(&setup);
  EXPECT_EQ(Value("SSI_Offset"), -7232.0) << "the sign of the dividend";
}

TEST_F(AbsoluteEncoder, OffsetWithoutAnElectricalTurnIsLeftAlone) {
  Set({{"ZAOFF", 40000}, {"SSI_Offset", 123}});
  Set("ENC2THL", 100);  // 8000 * 100 / 2^32 truncates to 0 pole pairs
  EXPECT_EQ(DeriveSerialEncoderOffset(&setup), 0);
  EXPECT_EQ(Value("SSI_Offset"), 123.0);
  Set("ENC2THL", 2147484.0 * 20);  // 80 pole pairs against 2^5 counts: N = 0
  Set("SSIREV", 5);
  EXPECT_EQ(DeriveSerialEncoderOffset(&setup), 0);
  EXPECT_EQ(Value("SSI_Offset"), 123.0);
}

struct ClockCase {
  std::vector<int> kHz, modes;
  double divider;   // SSIBR: 60 MHz / (divider + 1)
  double expected;  // Hz; 0: nothing written
};

void PrintTo(const ClockCase& c, std::ostream* out) { *out << "SSIBR " << c.divider; }

class SerialClock : public AbsoluteEncoder, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(SerialClock, ChosenFromTheSelectableClocks) {
  const ClockCase& c = GetParam();
  drivebase::DriveFamilyData family = setup.DriveFamily();
  family.ssiClocks = {c.kHz, c.modes};
  setup.SetDriveFamily(family);
  Set({{"SSIBR", c.divider}, {"SSI_freq", 12345}});
  Set("AEI_ReadTime1Mhz", 1e-6);  // a fast read: the lowest usable clock is ~11 kHz
  EXPECT_EQ(DeriveSerialClock(&setup, EncoderSide::kMotor), c.expected != 0.0 ? 1 : 0);
  EXPECT_EQ(Value("SSI_freq"), c.expected != 0.0 ? c.expected : 12345.0);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SerialClock,
    ::testing::Values(
        ClockCase{{250, 500, 1000, 2000, 4000}, {4, 3, 1, 0, 5}, 29, 2e6},     // 2 MHz, in the list
        ClockCase{{250, 500, 1000, 2000, 4000}, {4, 3, 1, 0, 5}, 23, 2e6},     // 2.5 MHz: nearer 2
        ClockCase{{250, 500, 1000, 2000, 4000}, {4, 3, 1, 0, 5}, 16, 4e6},     // 3.53 MHz: nearer 4
        ClockCase{{250, 500, 1000, 2000, 4000}, {4, 3, 1, 0, 5}, 39, 1e6},     // 1.5 MHz: a tie, lower
        ClockCase{{250, 500, 1000, 2000, 4000}, {4, 3, 1, 0, 5}, 9, 250e3},    // 6 MHz: none brackets
        ClockCase{{250, 500, 1000, 2000, 4000}, {4, 3, 1, 0, 5}, 999, 250e3},  // 60 kHz: the first
        ClockCase{{4000, 1000}, {0, 1}, 19, 4e6},                              // unsorted, 3 MHz
        ClockCase{{750}, {2}, 29, 750e3},                                      // one entry
        ClockCase{{250, 500}, {1}, 29, 0},                                     // unequal lists
        ClockCase{{}, {}, 29, 0}));                                            // no clock at all

TEST_F(AbsoluteEncoder, SerialClockAtLeastTheLowestThatFitsTheLoop) {
  Set("AEI_ReadTime1Mhz", 40e-6);  // 40 bits in 100 us - 25 ns - 9 us: 439681 Hz at least
  Set("SSIBR", 999);
  ASSERT_EQ(DeriveSerialClock(&setup, EncoderSide::kMotor), 1);
  EXPECT_DOUBLE_EQ(Value("SSI_freq"), 439681.231107447);
}

TEST_F(AbsoluteEncoder, OneWordTargetsAreWidenedToHoldHertz) {
  ASSERT_TRUE(P("SSI_freq")->ChangeType(drivebase::kUnsigned16));
  ASSERT_EQ(DeriveSerialClock(&setup, EncoderSide::kMotor), 1);
  EXPECT_EQ(P("SSI_freq")->GetType(), drivebase::kReal);
  EXPECT_EQ(Value("SSI_freq"), 2e6);
}

TEST_F(AbsoluteEncoder, LoadClockFollowsTheLoadSensorsList) {
  Set("LoadSensorType", 6);  // BiSS: 1000, 2000, 2500, 4000, 5000 kHz
  Set("SSIBR", 23);          // 2.5 MHz
  ASSERT_EQ(DeriveSerialClock(&setup, EncoderSide::kLoad), 1);
  EXPECT_EQ(Value("SSI_freq_LD"), 2.5e6);
}

}  // namespace
}  // namespace kestrel
