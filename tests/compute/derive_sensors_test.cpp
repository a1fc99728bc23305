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

  // Fills the list (if any) and returns whether no input is free.
  int NoneFree(ConnectorList* list = nullptr) {
    int noneFree = -1;
    EXPECT_EQ(FillDigitalReferenceConnectors(&setup, list, noneFree), 1);
    return noneFree;
  }
};

TEST_F(DigitalReferenceInputs, AFreeEncoderInputIsOfferedAndKept) {
  Recorder list;
  EXPECT_EQ(NoneFree(&list), 0);
  // Input 0 carries the motor encoder; input 1 accepts incremental encoders.
  EXPECT_EQ(list.added, (std::vector<std::pair<std::string, int>>{{"Feedback #2", 1}}));
  EXPECT_EQ(list.selected, 1);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 1.0);
}

TEST_F(DigitalReferenceInputs, WithoutAListTheLastFreeInputIsTaken) {
  UseConnectors({{"Main", {1, 3}}, {"Aux A", {9}}, {"Aux B", {1, 5}}, {"Hall", {2}}});
  Set("DigitalReferenceConnector", 0);  // taken by the motor encoder
  EXPECT_EQ(NoneFree(), 0);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 2.0) << "input 2, the last of 1 and 2";
}

TEST_F(DigitalReferenceInputs, NoFreeInputForcesTheAnalogueReference) {
  UseConnectors({{"Main", {1, 3}}, {"Resolver", {4}}});
  Set({{"isAnalogueReference", 0}, {"DigitalReferenceConnector", 1}});
  Recorder list;
  EXPECT_EQ(NoneFree(&list), 1);
  EXPECT_TRUE(list.added.empty());
  EXPECT_EQ(Value("isAnalogueReference"), 1.0);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 1.0) << "left as it was";
}

TEST_F(DigitalReferenceInputs, ALoadSensorTakesItsInputToo) {
  Set({{"LoadSensorType", 1}, {"LoadSensorConnector", 1}});
  EXPECT_EQ(NoneFree(), 1);
  Set("MotorSensorType", 0);  // input 0 is free again
  EXPECT_EQ(NoneFree(), 0);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 0.0);
}

TEST_F(DigitalReferenceInputs, FromScrBit15ThenChecked) {
  Set("SCR", 0x2180);  // bit 15 clear: input 0, which the motor encoder uses
  ASSERT_EQ(DeriveDigitalReferenceConnector(&setup), 1);
  EXPECT_EQ(Value("DigitalReferenceConnector"), 1.0) << "moved to the free input";
}

class AbsoluteEncoder : public ScaledDefaultSetup {
 protected:
  void SetUp() override {  // SSIBR 29: 60 MHz / 30 = 2 MHz
    Set({{"MotorSensorType", 5}, {"SSITURNS", 12}, {"SSIREV", 17}, {"SSITYPE", 1}, {"SSISENSE", -1}, {"SSIBR", 29}});
  }
};

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

TEST_F(AbsoluteEncoder, OneWordTargetsAreWidenedToHoldHertz) {
  ASSERT_TRUE(P("SSI_freq")->ChangeType(drivebase::kUnsigned16));
  ASSERT_EQ(DeriveSerialClock(&setup, EncoderSide::kMotor), 1);
  EXPECT_EQ(P("SSI_freq")->GetType(), drivebase::kReal);
  EXPECT_EQ(Value("SSI_freq"), 2e6);
}

}  // namespace
}  // namespace kestrel
