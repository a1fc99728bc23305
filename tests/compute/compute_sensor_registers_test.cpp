// Sensor registers of a 4-pole-pair motor beyond their hand-worked values
// (cases/sensor_registers.json): counting directions, encoder filters and serial encoders.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "compute/registers.h"
#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::DemoDrive;
using test_support::Put;

using Values = std::vector<std::pair<std::string, double>>;

CMC_Setup Motor(const Values& inputs) {
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"pp", 4}, {"No_encoder_lines", 2000}, {"PolePitch", 0.032}, {"Resolution", 1e-6},
              {"LHResolution", 4096}, {"SSI_No_Bits_Revolution", 17}, {"SINCOS_fract", 3}});
  for (const auto& [name, value] : inputs) Put(setup, name, value);
  return setup;
}

// Compares each register with its expected value.
void ExpectRegisters(const CMC_Setup& setup, const Values& expected) {
  for (const auto& [name, value] : expected) EXPECT_EQ(setup.GetParameterValueInBaseUnit(name), value) << name;
}

struct CountingCase {
  std::string name;
  int motorType, motorConnector, motorReverse, loadType, loadConnector, loadReverse;
  int input0, input1;  // COUNTINGDIR_MT, COUNTINGDIR_LD
};

TEST(CountingDirectionRegisters, EachInputFollowsItsOneEncoder) {
  for (const CountingCase& c : std::vector<CountingCase>{
           {"motor encoder reversed", 1, 0, 1, 0, 1, 1, 1, 0}, {"motor encoder forward", 1, 0, 0, 0, 1, 1, 0, 0},
           {"flag other than 1", 1, 0, 2, 0, 1, 1, 0, 0}, {"motor encoder on the second input", 9, 1, 1, 0, 0, 0, 0, 1},
           {"separate inputs", 1, 0, 1, 3, 1, 1, 1, 1}, {"separate inputs, load forward", 3, 0, 0, 1, 1, 0, 0, 0},
           {"shared input", 1, 0, 1, 1, 0, 1, 0, 0}, {"shared second input", 1, 1, 1, 9, 1, 1, 0, 0},
           {"resolver beside a load encoder", 4, 0, 1, 1, 0, 1, 1, 0},
           {"Hall motor, reversed load on 2", 2, 0, 1, 1, 1, 1, 0, 1}, {"no encoder", 5, 0, 1, 6, 1, 1, 0, 0}}) {
    SCOPED_TRACE(c.name);
    CMC_Setup setup = Motor({{"MotorSensorType", c.motorType}, {"MotorSensorConnector", c.motorConnector},
                             {"ReverseCounting_MT", c.motorReverse}, {"LoadSensorType", c.loadType},
                             {"LoadSensorConnector", c.loadConnector}, {"ReverseCounting_LD", c.loadReverse},
                             {"COUNTINGDIR_MT", 7}, {"COUNTINGDIR_LD", 7}});
    ASSERT_TRUE(ComputeCountingDirection(&setup, 0) && ComputeCountingDirection(&setup, 1));
    ExpectRegisters(setup, {{"COUNTINGDIR_MT", c.input0}, {"COUNTINGDIR_LD", c.input1}});
  }
}

struct FilterFields {
  int periodCode, samples;
};

constexpr FilterFields kFilterTable[13] = {{0, 3}, {0, 6}, {1, 6}, {3, 3}, {2, 6}, {5, 3}, {3, 6},
                                           {7, 3}, {4, 6}, {9, 3}, {5, 6}, {11, 3}, {6, 6}};

class EncoderFilter : public ::testing::Test {
 protected:
  // Unowned bits set in every register, so that they must survive.
  CMC_Setup setup = Motor({{"MotorSensorType", 1}, {"MotorSensorConnector", 0}, {"LoadSensorType", 0},
                           {"LoadSensorConnector", 1}, {"isFilterEnc_MT", 1}, {"FilterEncValue_MT", 0},
                           {"isFilterEnc_LD", 0}, {"FilterEncValue_LD", 0}, {"QUAL", 0},
                           {"QUAL_ACT", 0x1000FFFF}, {"QUAL_AQ2", 0x30FF}, {"QUAL_BCT", 0xFF00FFFF},
                           {"QUAL_BQ2", 0xFC0FFF}});
};

TEST_F(EncoderFilter, EveryIndexOnEitherInput) {
  for (const int input : {0, 1}) {
    Put(setup, "MotorSensorConnector", input);
    for (int index = 0; index <= 12; ++index) {
      Put(setup, "FilterEncValue_MT", index);
      ASSERT_TRUE(ComputeEncoderFilters(&setup));
      const FilterFields f = kFilterTable[index];
      const double count = f.periodCode * 65536;
      SCOPED_TRACE(index);
      ExpectRegisters(setup, {{"QUAL", 3.0}, {"QUAL_ACT", 0x1000FFFF + (input == 0 ? count : 0)},
                              {"QUAL_AQ2", 0x30FF | (input == 1 ? 0 : f.samples == 3 ? 0x4500 : 0x8A00)},
                              {"QUAL_BCT", 0xFF00FFFF + (input == 1 ? count : 0)},
                              {"QUAL_BQ2", 0xFC0FFF | (input == 0 ? 0 : f.samples == 3 ? 0x15000 : 0x2A000)}});
    }
  }
}

TEST_F(EncoderFilter, IndexBeyondTheTableOrFilterOffClearsTheFields) {
  for (const Values& inputs :
       {Values{{"FilterEncValue_MT", 13}}, Values{{"FilterEncValue_MT", 12}, {"isFilterEnc_MT", 0}}}) {
    for (const auto& [name, value] : inputs) Put(setup, name, value);
    ASSERT_TRUE(ComputeEncoderFilters(&setup));
    ExpectRegisters(setup, {{"QUAL_ACT", 0x1000FFFF}, {"QUAL_AQ2", 0x30FF}});
  }
}

TEST_F(EncoderFilter, LoadSensorWinsAnInputBothClaim) {
  Put(setup, "FilterEncValue_MT", 12);  // c 6, 6 samples
  Put(setup, {{"LoadSensorType", 3}, {"LoadSensorConnector", 0}, {"isFilterEnc_LD", 1}});
  Put(setup, "FilterEncValue_LD", 7);  // c 7, 3 samples
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  ExpectRegisters(setup, {{"QUAL_ACT", 0x1000FFFF + 7 * 65536}, {"QUAL_AQ2", 0x30FF | 0x4500}, {"QUAL_BCT", 0xFF00FFFF}});
  // On separate inputs each gets its own; a load sensor that is no encoder has no filter.
  Put(setup, "LoadSensorConnector", 1);
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  ExpectRegisters(setup, {{"QUAL_ACT", 0x1000FFFF + 6 * 65536}, {"QUAL_BCT", 0xFF00FFFF + 7 * 65536},
                          {"QUAL_BQ2", 0xFC0FFF | 0x15000}});
  Put(setup, "LoadSensorType", 4);
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  ExpectRegisters(setup, {{"QUAL_BCT", 0xFF00FFFF}, {"QUAL_BQ2", 0xFC0FFF}});
}

TEST_F(EncoderFilter, MotorFilterAppliesWhateverTheSensorType) {
  Put(setup, {{"MotorSensorType", 4}, {"FilterEncValue_MT", 2}});
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  ExpectRegisters(setup, {{"QUAL_ACT", 0x1000FFFF + 1 * 65536}, {"QUAL_AQ2", 0x30FF | 0x8A00}});
}

class SerialEncoder : public ::testing::Test {
 protected:
  // SSI on the motor at 2 MHz; a 40-bit frame read in 40 us at 1 MHz.
  CMC_Setup setup = Motor({{"MotorSensorType", 5},
                           {"LoadSensorType", 0}, {"SSI_isMultiTurn", 1}, {"SSI_No_Bits_Turns", 12}, {"SSI_isGray", 1},
                           {"SSI_freq", 2e6}, {"SSI_isReverseCounting", 0}, {"SSI_Offset", 1234},
                           {"AEI_ReadTime1Mhz", 40e-6}, {"AEI_TransferTime", 2e-6}, {"AEI_GuardTime", 2e-6},
                           {"AEI_ComputeTime", 5e-6}});
  SerialEncoder() {
    for (const char* name : {"SSITURNS", "SSIREV", "SSITYPE", "SSIBR", "SSISENSE", "SSIFDBKTYPE", "ZAOFF",
                             "SPICLKMODE", "AEI_CLKDIV", "AEI_PER", "AEI_CMPTIME"})
      Put(setup, name, -1);
    drivebase::DriveFamilyData family;
    family.ssiClocks = {{500, 1000, 2000}, {0, 1, 3}};
    family.bissClocks = {{2500, 5000}, {4, 5}};
    setup.SetDriveFamily(family);
  }
  double Reg(const char* name) const { return setup.GetParameterValueInBaseUnit(name); }
  // The load's parameter set, different in each value.
  void SerialLoadSensor(int type) {
    Put(setup, "LoadSensorType", type);
    Put(setup, {{"SSI_isMultiTurn_LD", 0}, {"SSI_No_Bits_Turns_LD", 16}, {"SSI_No_Bits_Revolution_LD", 20},
                {"SSI_isGray_LD", 0}, {"SSI_freq_LD", 5e6}, {"SSI_isReverseCounting_LD", 1}});
  }
};

TEST_F(SerialEncoder, MotorParameterSetThenTheLoadsWithASerialLoadSensor) {
  const auto computeAll = [this] {
    return ComputeSSITURNS(&setup) && ComputeSSIREV(&setup) && ComputeSSITYPE(&setup) && ComputeSSIBR(&setup) &&
           ComputeSSISENSE(&setup) && ComputeSSIFDBKTYPE(&setup) && ComputeZAOFF(&setup);
  };
  ASSERT_TRUE(computeAll());
  // SSIBR: 40 MHz / 2 MHz - 1, then 40 MHz / 5 MHz - 1
  ExpectRegisters(setup, {{"SSITURNS", 12}, {"SSIREV", 17}, {"SSITYPE", 1}, {"SSIBR", 19}, {"SSISENSE", 1},
                          {"SSIFDBKTYPE", 1}, {"ZAOFF", 1234}});
  SerialLoadSensor(6);
  ASSERT_TRUE(computeAll());
  ExpectRegisters(setup, {{"SSITURNS", 0}, {"SSIREV", 20}, {"SSITYPE", 0}, {"SSIBR", 7}, {"SSISENSE", -1},
                          {"SSIFDBKTYPE", 2}});
}

TEST_F(SerialEncoder, ClockNeverSlowerThanOneReadPerCurrentLoop) {
  Put(setup, "SSI_freq", 100e3);
  ASSERT_TRUE(ComputeSSIBR(&setup));
  EXPECT_DOUBLE_EQ(Reg("SSIBR"), 40e6 / 439681.231107447 - 1);  // 40 bits in 90.975 us
}

TEST_F(SerialEncoder, ClockModeFromTheFamilysList) {
  for (const auto& [hz, mode] : {std::pair{2e6, 3.0}, {500e3, 0.0}, {1.5e6, 2.0}}) {  // 1.5 MHz is not listed
    Put(setup, "SSI_freq", hz);
    ASSERT_TRUE(ComputeSPICLKMODE(&setup));
    EXPECT_EQ(Reg("SPICLKMODE"), mode) << hz;
  }
  SerialLoadSensor(6);  // BiSS on the load at 5 MHz
  ASSERT_TRUE(ComputeSPICLKMODE(&setup));
  EXPECT_EQ(Reg("SPICLKMODE"), 5);
  Put(setup, {{"SPICLKMODE", -1}, {"LoadSensorType", 0}});  // unequal lists write nothing
  drivebase::DriveFamilyData family;
  family.ssiClocks = {{500, 1000, 2000}, {0, 1}};
  setup.SetDriveFamily(family);
  EXPECT_FALSE(ComputeSPICLKMODE(&setup));
  EXPECT_EQ(Reg("SPICLKMODE"), -1);
}

struct TimingCase {
  std::string name;
  Values inputs;
  double clockDivider, period, compareTime;
};

class SerialTiming : public SerialEncoder, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(SerialTiming, DividerPeriodAndCompareTime) {
  for (const auto& [name, value] : GetParam().inputs) Put(setup, name, value);
  ASSERT_TRUE(ComputeAEI_CLKDIV(&setup) && ComputeAEI_PER(&setup) && ComputeAEI_CMPTIME(&setup));
  EXPECT_EQ(Reg("AEI_CLKDIV"), GetParam().clockDivider);
  EXPECT_FALSE(std::signbit(Reg("AEI_CLKDIV")));
  EXPECT_DOUBLE_EQ(Reg("AEI_PER"), GetParam().period);
  EXPECT_DOUBLE_EQ(Reg("AEI_CMPTIME"), GetParam().compareTime);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, SerialTiming,
    ::testing::ValuesIn(std::vector<TimingCase>{
        // 2000 timer counts per current loop: no division; 40 MHz * (100 - 4 - 20 - 5) us
        {"motor encoder in the current loop", {}, 0, 3999, 2840},
        // the speed loop of 20000 counts: ceil(log2(0.61)) = -0, no division; 1 ms period
        {"load encoder in the speed loop", {{"LoadSensorType", 5}, {"SSI_freq_LD", 2e6}}, 0, 39999, 38840},
        // 400000 counts in a 20 ms loop: 2^4; 40 MHz * (20 ms - 29 us) / 16
        {"long speed loop", {{"LoadSensorType", 5}, {"SSI_freq_LD", 2e6}, {"PWMPER", 20000}}, 4, 49999, 49927.5},
        // 40 million counts in a 2 s loop would need 2^11
        {"divider at most 7", {{"CLPER", 1000}, {"PWMPER", 40000}}, 7, 624999, 624990.9375},
        {"compare time at least 1", {{"AEI_ComputeTime", 1e-3}}, 0, 3999, 1}}));

}  // namespace
}  // namespace kestrel
