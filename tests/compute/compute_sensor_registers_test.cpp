// Sensor registers worked by hand for a 4-pole-pair motor: a 2000-line encoder on a rotary
// motor, a 1 um encoder on a linear motor with a 32 mm pole pitch, Hall sensors, serial encoders.
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

struct SensorCase {
  std::string name;
  Values inputs;  // on top of the motor below
  double expected;
};
void PrintTo(const SensorCase& c, std::ostream* out) { *out << c.name; }

CMC_Setup Motor(const Values& inputs) {
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"pp", 4}, {"No_encoder_lines", 2000}, {"PolePitch", 0.032}, {"Resolution", 1e-6},
              {"LHResolution", 4096}, {"SSI_No_Bits_Revolution", 17}, {"SINCOS_fract", 3}});
  for (const auto& [name, value] : inputs) Put(setup, name, value);
  return setup;
}

// Runs the routine on the motor with the case's inputs, the register primed with -1.
double RunRoutine(bool (*routine)(CMC_Setup*), const char* target, const Values& inputs) {
  CMC_Setup setup = Motor(inputs);
  Put(setup, target, -1);
  EXPECT_TRUE(routine(&setup));
  return setup.GetParameterValueInBaseUnit(target);
}

constexpr double kLinear = 2;  // TransmissionType of a linear motor

class Mecresl : public ::testing::TestWithParam<SensorCase> {};
TEST_P(Mecresl, CountsPerRevolutionOrPolePitch) {
  EXPECT_DOUBLE_EQ(RunRoutine(ComputeMECRESL, "MECRESL", GetParam().inputs), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    SensorTypes, Mecresl,
    ::testing::Values(SensorCase{"encoder", {{"MotorSensorType", 1}}, 8000},
                      SensorCase{"encoder type 9", {{"MotorSensorType", 9}}, 8000},
                      SensorCase{"sincos without interpolation", {{"MotorSensorType", 3}}, 8000},
                      SensorCase{"resolver", {{"MotorSensorType", 4}, {"No_encoder_lines", 1024}}, 4096},
                      SensorCase{"linear encoder", {{"MotorSensorType", 1}, {"TransmissionType", kLinear}}, 32000},
                      SensorCase{"linear Hall", {{"MotorSensorType", 2}}, 4096},
                      SensorCase{"SSI 17 bits", {{"MotorSensorType", 5}}, 131072},
                      SensorCase{"BiSS 12 bits", {{"MotorSensorType", 6}, {"SSI_No_Bits_Revolution", 12}}, 4096},
                      SensorCase{"SSI beyond 32 bits", {{"MotorSensorType", 5}, {"SSI_No_Bits_Revolution", 40}},
                                 4294967296.0}));

class Enc2thl : public ::testing::TestWithParam<SensorCase> {};
TEST_P(Enc2thl, ElectricalAnglePerCount) {
  EXPECT_DOUBLE_EQ(RunRoutine(ComputeENC2THL, "ENC2THL", GetParam().inputs), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    SensorTypes, Enc2thl,
    ::testing::Values(
        // 2^32 per electrical turn, 8000 / 4 = 2000 counts per turn
        SensorCase{"encoder", {{"MotorSensorType", 1}}, 2147483.648},
        SensorCase{"resolver", {{"MotorSensorType", 4}}, 2147483.648},
        // 32000 counts per pole pitch
        SensorCase{"linear encoder", {{"MotorSensorType", 1}, {"TransmissionType", kLinear}}, 134217.728},
        SensorCase{"linear Hall", {{"MotorSensorType", 2}}, 4194304},
        SensorCase{"sincos, interpolation off", {{"MotorSensorType", 3}}, 2147483.648},
        SensorCase{"sincos interpolated 2^3", {{"MotorSensorType", 3}, {"ELRES_FRACT", 3}}, 268435.456},
        SensorCase{"linear sincos interpolated 2^2",
                   {{"MotorSensorType", 3}, {"ELRES_FRACT", 2}, {"TransmissionType", kLinear}}, 33554.432},
        SensorCase{"encoder ignores the interpolation", {{"MotorSensorType", 1}, {"ELRES_FRACT", 3}}, 2147483.648},
        SensorCase{"SSI 17 bits", {{"MotorSensorType", 5}}, 131072},
        SensorCase{"BiSS beyond 32 bits", {{"MotorSensorType", 6}, {"SSI_No_Bits_Revolution", 40}}, 4}));

class Elresl : public ::testing::TestWithParam<SensorCase> {};
TEST_P(Elresl, CountsPerElectricalPeriod) {
  EXPECT_DOUBLE_EQ(RunRoutine(ComputeELRESL, "ELRESL", GetParam().inputs), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    SensorTypes, Elresl,
    ::testing::Values(
        SensorCase{"encoder", {{"MotorSensorType", 1}}, 2000},
        SensorCase{"rotary sincos without interpolation", {{"MotorSensorType", 3}}, 2000},
        SensorCase{"linear sincos with 2^3", {{"MotorSensorType", 3}, {"TransmissionType", kLinear}}, 256000},
        SensorCase{"linear encoder type 9", {{"MotorSensorType", 9}, {"TransmissionType", kLinear}}, 32000},
        SensorCase{"load encoder only, rotary",
                   {{"MotorSensorType", 0}, {"LoadSensorType", 1}, {"No_encoder_lines_LD", 500}}, 500},
        // TransmissionType 1: rotary motor, linear load with a 5 um sin/cos scale interpolated 2^2
        SensorCase{"load sincos only, linear",
                   {{"MotorSensorType", 0}, {"LoadSensorType", 3}, {"TransmissionType", 1},
                    {"Resolution_LD", 5e-6}, {"SINCOS_fract_LD", 2}},
                   25600},
        SensorCase{"load encoder only, linear",
                   {{"MotorSensorType", 0}, {"LoadSensorType", 1}, {"TransmissionType", 1},
                    {"Resolution_LD", 5e-6}, {"SINCOS_fract_LD", 2}},
                   6400},
        SensorCase{"Hall sensors keep it", {{"MotorSensorType", 2}}, -1},
        SensorCase{"resolver keeps it", {{"MotorSensorType", 4}}, -1},
        SensorCase{"SSI keeps it", {{"MotorSensorType", 5}}, -1}));

class ElresFract : public ::testing::TestWithParam<SensorCase> {};
TEST_P(ElresFract, InterpolationToAbout1024CountsPerPeriod) {
  CMC_Setup setup = Motor(GetParam().inputs);
  Put(setup, "ELRES_FRACT", -1);
  ASSERT_TRUE(ComputeELRES_FRACT(&setup));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("ELRES_FRACT"), GetParam().expected);
  if (GetParam().expected >= 0) {
    EXPECT_EQ(setup.FindParameter("SINCOS_fract")->GetMinInBaseUnit(), GetParam().expected);
  }
}
INSTANTIATE_TEST_SUITE_P(
    Resolutions, ElresFract,
    ::testing::Values(
        SensorCase{"2000 counts: too fine", {{"MotorSensorType", 3}}, 0},
        SensorCase{"512 counts: n 9", {{"MotorSensorType", 3}, {"No_encoder_lines", 512}}, 1},
        SensorCase{"500 counts: n 9", {{"MotorSensorType", 3}, {"No_encoder_lines", 500}}, 1},
        SensorCase{"64 counts: n 6", {{"MotorSensorType", 3}, {"No_encoder_lines", 64}}, 4},
        SensorCase{"4 counts: at most 8", {{"MotorSensorType", 3}, {"No_encoder_lines", 4}}, 8},
        SensorCase{"1 count: n 0", {{"MotorSensorType", 3}, {"No_encoder_lines", 1}}, 8},
        SensorCase{"half a count: n -1", {{"MotorSensorType", 3}, {"No_encoder_lines", 1}, {"pp", 8}}, 0},
        SensorCase{"no lines", {{"MotorSensorType", 3}, {"No_encoder_lines", 0}}, 0},
        // 32 mm pole pitch over a 100 um sin/cos period: 320 periods, n 9
        SensorCase{"linear sincos", {{"MotorSensorType", 3}, {"TransmissionType", kLinear}, {"Resolution", 1e-4}}, 1},
        SensorCase{"linear Hall with 64 lines", {{"MotorSensorType", 2}, {"No_encoder_lines", 64}}, 4},
        SensorCase{"encoder keeps it", {{"MotorSensorType", 1}}, -1}));

class Dbtth : public ::testing::TestWithParam<SensorCase> {};
TEST_P(Dbtth, ShiftToTwoTo16PerPolePitch) {
  EXPECT_DOUBLE_EQ(RunRoutine(ComputeDBTTH, "DBTTH", GetParam().inputs), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Sides, Dbtth,
    ::testing::Values(
        SensorCase{"rotary motor: 1024 per pitch", {{"MotorSensorType", 2}}, 6},
        SensorCase{"linear motor", {{"MotorSensorType", 2}, {"TransmissionType", kLinear}}, 4},
        SensorCase{"rotary load", {{"LoadSensorType", 2}, {"LHResolution_LD", 2048}}, 7},
        SensorCase{"linear load", {{"LoadSensorType", 2}, {"LHResolution_LD", 2048}, {"TransmissionType", 1}}, 5},
        SensorCase{"not rounded", {{"LHResolution", 3000}, {"TransmissionType", kLinear}}, 4.449253214616757}));

class AbsoluteStartMove : public ::testing::TestWithParam<SensorCase> {};
TEST_P(AbsoluteStartMove, ThirdOfAnElectricalPeriodTimesThePercentage) {
  EXPECT_DOUBLE_EQ(RunRoutine(ComputeABSTART_MINMOVE, "ABSTART_MINMOVE", GetParam().inputs), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    SensorTypes, AbsoluteStartMove,
    ::testing::Values(SensorCase{"encoder, 60 % by default", {{"MotorSensorType", 1}}, 400},
                      SensorCase{"encoder, 30 %", {{"MotorSensorType", 1}, {"ABSTART_MINMOVE_PERCENT", 30}}, 200},
                      SensorCase{"sincos 2^3", {{"MotorSensorType", 3}}, 3200},
                      SensorCase{"linear sincos 2^3", {{"MotorSensorType", 3}, {"TransmissionType", kLinear}}, 51200},
                      SensorCase{"linear encoder", {{"MotorSensorType", 1}, {"TransmissionType", kLinear}}, 6400},
                      SensorCase{"linear Hall", {{"MotorSensorType", 2}}, 204.8},
                      SensorCase{"SSI 17 bits", {{"MotorSensorType", 5}}, 6553.6}));

// --- Counting directions

struct CountingCase {
  std::string name;
  int motorType, motorConnector, motorReverse, loadType, loadConnector, loadReverse;
  int input0, input1;  // COUNTINGDIR_MT, COUNTINGDIR_LD
};
void PrintTo(const CountingCase& c, std::ostream* out) { *out << c.name; }

class CountingDirectionRegisters : public ::testing::TestWithParam<CountingCase> {};

TEST_P(CountingDirectionRegisters, EachInputFollowsItsOneEncoder) {
  const CountingCase& c = GetParam();
  CMC_Setup setup = Motor({{"MotorSensorType", c.motorType}, {"MotorSensorConnector", c.motorConnector},
                           {"ReverseCounting_MT", c.motorReverse}, {"LoadSensorType", c.loadType},
                           {"LoadSensorConnector", c.loadConnector}, {"ReverseCounting_LD", c.loadReverse},
                           {"COUNTINGDIR_MT", 7}, {"COUNTINGDIR_LD", 7}});
  ASSERT_TRUE(ComputeCountingDirection(&setup, 0));
  ASSERT_TRUE(ComputeCountingDirection(&setup, 1));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("COUNTINGDIR_MT"), c.input0);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("COUNTINGDIR_LD"), c.input1);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CountingDirectionRegisters,
    ::testing::Values(CountingCase{"motor encoder reversed", 1, 0, 1, 0, 1, 1, 1, 0},
                      CountingCase{"motor encoder forward", 1, 0, 0, 0, 1, 1, 0, 0},
                      CountingCase{"flag other than 1", 1, 0, 2, 0, 1, 1, 0, 0},
                      CountingCase{"motor encoder on the second input", 9, 1, 1, 0, 0, 0, 0, 1},
                      CountingCase{"separate inputs", 1, 0, 1, 3, 1, 1, 1, 1},
                      CountingCase{"separate inputs, load forward", 3, 0, 0, 1, 1, 0, 0, 0},
                      CountingCase{"shared input", 1, 0, 1, 1, 0, 1, 0, 0},
                      CountingCase{"shared second input", 1, 1, 1, 9, 1, 1, 0, 0},
                      CountingCase{"resolver beside a load encoder", 4, 0, 1, 1, 0, 1, 1, 0},
                      CountingCase{"Hall motor, reversed load on 2", 2, 0, 1, 1, 1, 1, 0, 1},
                      CountingCase{"no encoder", 5, 0, 1, 6, 1, 1, 0, 0}));

// --- Encoder input filters

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
  double Reg(const char* name) const { return setup.GetParameterValueInBaseUnit(name); }
};

TEST_F(EncoderFilter, EveryIndexOnEitherInput) {
  for (const int input : {0, 1}) {
    Put(setup, "MotorSensorConnector", input);
    for (int index = 0; index <= 12; ++index) {
      Put(setup, "FilterEncValue_MT", index);
      ASSERT_TRUE(ComputeEncoderFilters(&setup));
      const FilterFields f = kFilterTable[index];
      const double count = f.periodCode * 65536;
      EXPECT_EQ(Reg("QUAL"), 3.0);
      EXPECT_EQ(Reg("QUAL_ACT"), 0x1000FFFF + (input == 0 ? count : 0)) << index;
      EXPECT_EQ(Reg("QUAL_AQ2"), 0x30FF | (input == 1 ? 0 : f.samples == 3 ? 0x4500 : 0x8A00)) << index;
      EXPECT_EQ(Reg("QUAL_BCT"), 0xFF00FFFF + (input == 1 ? count : 0)) << index;
      EXPECT_EQ(Reg("QUAL_BQ2"), 0xFC0FFF | (input == 0 ? 0 : f.samples == 3 ? 0x15000 : 0x2A000)) << index;
    }
  }
}

TEST_F(EncoderFilter, IndexBeyondTheTableOrFilterOffClearsTheFields) {
  Put(setup, "FilterEncValue_MT", 13);
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  EXPECT_EQ(Reg("QUAL_ACT"), 0x1000FFFF);
  EXPECT_EQ(Reg("QUAL_AQ2"), 0x30FF);
  Put(setup, {{"FilterEncValue_MT", 12}, {"isFilterEnc_MT", 0}});
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  EXPECT_EQ(Reg("QUAL_ACT"), 0x1000FFFF);
  EXPECT_EQ(Reg("QUAL_AQ2"), 0x30FF);
}

TEST_F(EncoderFilter, LoadSensorWinsAnInputBothClaim) {
  Put(setup, "FilterEncValue_MT", 12);  // c 6, 6 samples
  Put(setup, {{"LoadSensorType", 3}, {"LoadSensorConnector", 0}, {"isFilterEnc_LD", 1}});
  Put(setup, "FilterEncValue_LD", 7);  // c 7, 3 samples
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  EXPECT_EQ(Reg("QUAL_ACT"), 0x1000FFFF + 7 * 65536);
  EXPECT_EQ(Reg("QUAL_AQ2"), 0x30FF | 0x4500);
  EXPECT_EQ(Reg("QUAL_BCT"), 0xFF00FFFF);

  // On separate inputs each gets its own; a load sensor that is no encoder has no filter.
  Put(setup, "LoadSensorConnector", 1);
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  EXPECT_EQ(Reg("QUAL_ACT"), 0x1000FFFF + 6 * 65536);
  EXPECT_EQ(Reg("QUAL_BCT"), 0xFF00FFFF + 7 * 65536);
  EXPECT_EQ(Reg("QUAL_BQ2"), 0xFC0FFF | 0x15000);
  Put(setup, "LoadSensorType", 4);
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  EXPECT_EQ(Reg("QUAL_BCT"), 0xFF00FFFF);
  EXPECT_EQ(Reg("QUAL_BQ2"), 0xFC0FFF);
}

TEST_F(EncoderFilter, MotorFilterAppliesWhateverTheSensorType) {
  Put(setup, {{"MotorSensorType", 4}, {"FilterEncValue_MT", 2}});
  ASSERT_TRUE(ComputeEncoderFilters(&setup));
  EXPECT_EQ(Reg("QUAL_ACT"), 0x1000FFFF + 1 * 65536);
  EXPECT_EQ(Reg("QUAL_AQ2"), 0x30FF | 0x8A00);
}

// --- Serial absolute encoders

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
                             "SPICLKMODE", "AEI_CLKDIV", "AEI_PER", "AEI_CMPTIME"}) {
      Put(setup, name, -1);
    }
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

TEST_F(SerialEncoder, MotorParameterSet) {
  ASSERT_TRUE(ComputeSSITURNS(&setup) && ComputeSSIREV(&setup) && ComputeSSITYPE(&setup) && ComputeSSIBR(&setup) &&
              ComputeSSISENSE(&setup) && ComputeSSIFDBKTYPE(&setup) && ComputeZAOFF(&setup));
  EXPECT_EQ(Reg("SSITURNS"), 12);
  EXPECT_EQ(Reg("SSIREV"), 17);
  EXPECT_EQ(Reg("SSITYPE"), 1);
  EXPECT_EQ(Reg("SSIBR"), 19);  // 40 MHz / 2 MHz - 1
  EXPECT_EQ(Reg("SSISENSE"), 1);
  EXPECT_EQ(Reg("SSIFDBKTYPE"), 1);
  EXPECT_EQ(Reg("ZAOFF"), 1234);
}

TEST_F(SerialEncoder, LoadParameterSetWithASerialLoadSensor) {
  SerialLoadSensor(6);
  ASSERT_TRUE(ComputeSSITURNS(&setup) && ComputeSSIREV(&setup) && ComputeSSITYPE(&setup) && ComputeSSIBR(&setup) &&
              ComputeSSISENSE(&setup) && ComputeSSIFDBKTYPE(&setup));
  EXPECT_EQ(Reg("SSITURNS"), 0);
  EXPECT_EQ(Reg("SSIREV"), 20);
  EXPECT_EQ(Reg("SSITYPE"), 0);
  EXPECT_EQ(Reg("SSIBR"), 7);  // 40 MHz / 5 MHz - 1
  EXPECT_EQ(Reg("SSISENSE"), -1);
  EXPECT_EQ(Reg("SSIFDBKTYPE"), 2);
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
}

TEST_F(SerialEncoder, UnequalClockListsWriteNothing) {
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
void PrintTo(const TimingCase& c, std::ostream* out) { *out << c.name; }

class SerialTiming : public SerialEncoder, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(SerialTiming, DividerPeriodAndCompareTime) {
  for (const auto& [name, value] : GetParam().inputs) Put(setup, name, value);
  ASSERT_TRUE(ComputeAEI_CLKDIV(&setup));
  EXPECT_EQ(Reg("AEI_CLKDIV"), GetParam().clockDivider);
  EXPECT_FALSE(std::signbit(Reg("AEI_CLKDIV")));
  ASSERT_TRUE(ComputeAEI_PER(&setup));
  EXPECT_DOUBLE_EQ(Reg("AEI_PER"), GetParam().period);
  ASSERT_TRUE(ComputeAEI_CMPTIME(&setup));
  EXPECT_DOUBLE_EQ(Reg("AEI_CMPTIME"), GetParam().compareTime);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, SerialTiming,
    ::testing::Values(
        // 2000 timer counts per current loop: no division; 40 MHz * (100 - 4 - 20 - 5) us
        TimingCase{"motor encoder in the current loop", {}, 0, 3999, 2840},
        // the speed loop of 20000 counts: ceil(log2(0.61)) = -0, no division; 1 ms period
        TimingCase{"load encoder in the speed loop", {{"LoadSensorType", 5}, {"SSI_freq_LD", 2e6}}, 0, 39999, 38840},
        // 400000 counts in a 20 ms loop: 2^4; 40 MHz * (20 ms - 29 us) / 16
        TimingCase{"long speed loop", {{"LoadSensorType", 5}, {"SSI_freq_LD", 2e6}, {"PWMPER", 20000}},
                   4, 49999, 49927.5},
        // 40 million counts in a 2 s loop would need 2^11
        TimingCase{"divider at most 7", {{"CLPER", 1000}, {"PWMPER", 40000}}, 7, 624999, 624990.9375},
        TimingCase{"compare time at least 1", {{"AEI_ComputeTime", 1e-3}}, 0, 3999, 1}));

}  // namespace
}  // namespace kestrel
