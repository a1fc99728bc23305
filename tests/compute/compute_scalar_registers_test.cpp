// Scalar registers on the demo drive (Iscale 3273.6 counts/A, Uscale 65472/87 counts/V, Ts_C
// 100 us, Ts_S 1 ms, 8000 counts per revolution: 1273.2395447351628 counts/rad), worked by hand.
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "compute/registers.h"
#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::DemoDrive;
using test_support::Put;

struct ScalarCase {
  std::string name;
  std::function<bool(CMC_Setup*)> routine;
  std::vector<std::pair<std::string, double>> inputs;
  std::string target;
  double expected;
  std::vector<std::pair<std::string, double>> context = {};  // read through the scales only
};

void PrintTo(const ScalarCase& c, std::ostream* out) { *out << c.name; }

class ScalarRegister : public ::testing::TestWithParam<ScalarCase> {};

TEST_P(ScalarRegister, FromItsParameters) {
  const ScalarCase& c = GetParam();
  CMC_Setup setup = DemoDrive();
  for (const auto& [name, value] : c.inputs) Put(setup, name, value);
  for (const auto& [name, value] : c.context) Put(setup, name, value);
  Put(setup, c.target, -12345.0);
  ASSERT_TRUE(c.routine(&setup));
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit(c.target), c.expected);

  // Without any one of its inputs the routine writes nothing.
  for (const auto& [name, value] : c.inputs) {
    CMC_Setup partial = setup;
    Put(partial, c.target, -12345.0);
    ASSERT_TRUE(partial.RemoveParameter(name));
    EXPECT_FALSE(c.routine(&partial)) << "without " << name;
    EXPECT_EQ(partial.GetParameterValueInBaseUnit(c.target), -12345.0) << "without " << name;
  }
}

bool I2tProtectionD(CMC_Setup* s) { return ComputeI2tProtection(s, 'D'); }
bool I2tFactorD(CMC_Setup* s) { return ComputeI2tFactor(s, 'D'); }
bool I2tLimitD(CMC_Setup* s) { return ComputeI2tLimit(s, 'D'); }
bool I2tWarningD(CMC_Setup* s) { return ComputeI2tWarning(s, 'D'); }
bool I2tProtectionM(CMC_Setup* s) { return ComputeI2tProtection(s, 'M'); }
bool I2tLimitM(CMC_Setup* s) { return ComputeI2tLimit(s, 'M'); }
bool I2tWarningM(CMC_Setup* s) { return ComputeI2tWarning(s, 'M'); }

const std::vector<ScalarCase> kScalarCases = {
    {"PWMPER", ComputePWMPER, {{"PWM_freq", 16000}}, "PWMPER", 1250},
    // (0.5 V + 10 mV/degC * 90 degC) of a 3.3 V ADC range
    {"T2MAXPROT", ComputeT2MAXPROT,
     {{"DriveTempOutputAt0oC", 0.5}, {"DriveTempSensorGain", 0.01}, {"Temp_2", 90}, {"ADCrange", 3.3}},
     "T2MAXPROT", 27776.0},
    {"UMAXPROT truncated", ComputeUMAXPROT, {{"UMAX_PROT", 60}}, "UMAXPROT", 45153},  // 45153.10
    {"UMINPROT not truncated", ComputeUMINPROT, {{"UMIN_PROT", 12}}, "UMINPROT", 785664.0 / 87},
    {"BRAKELIM", ComputeBRAKELIM, {{"Vbrake", 56}}, "BRAKELIM", 3666432.0 / 87},
    {"II2TPROT_D", I2tProtectionD, {{"InPS", 5}}, "II2TPROT_D", 16368},
    {"SFI2T_D", I2tFactorD, {{"Ts_S", 0.001}, {"t_I2t_D", 4}}, "SFI2T_D", 16777.216},
    // (8^2 - 5^2) A^2 * 3273.6^2 / 16
    {"I2TINTLIM_D", I2tLimitD, {{"I_I2t_D", 8}, {"InPS", 5}}, "I2TINTLIM_D", 26121363.84},
    {"II2TWARLIM_D", I2tWarningD, {{"I_I2t_D", 8}, {"InPS", 5}, {"t_I2t_D", 4}}, "II2TWARLIM_D", 13060681.92},
    {"II2TPROT_M", I2tProtectionM, {{"In", 2.5}}, "II2TPROT_M", 8184},
    {"I2TINTLIM_M", I2tLimitM, {{"I_I2t_M", 6}, {"In", 3}}, "I2TINTLIM_M", 18084021.12},
    {"I2TWARLIM_M", I2tWarningM, {{"I_I2t_M", 6}, {"In", 3}, {"t_I2t_M", 10}}, "I2TWARLIM_M", 14467216.896},
    {"SATPWM measuring", ComputeSATPWM, {{"CurrentMeasurementType", 1}, {"PWM_freq", 20000}}, "SATPWM", 2621.4},
    {"SATPWM not measuring", ComputeSATPWM, {{"CurrentMeasurementType", 0}, {"PWM_freq", 20000}}, "SATPWM", 0},
    {"MTSTYPE linear sensor", ComputeMTSTYPE, {{"Motor_TempSensor_Type", 1}}, "MTSTYPE", 1},
    {"MTSTYPE other", ComputeMTSTYPE, {{"Motor_TempSensor_Type", 2}}, "MTSTYPE", 0},
    {"AAR_table axis 5", ComputeAAR_table, {{"Axis_ID_list", 5}}, "AAR_table", 261},
    {"AAR_table none", ComputeAAR_table, {{"Axis_ID_list", 0}}, "AAR_table", 0},
    {"FILTERQ off", ComputeFILTERQ, {{"isUseFilterOnCrtCtrlOutput", 0}, {"FilterOnCurrentControllerOutput", 1000}},
     "FILTERQ", 32767},
    // (1 - e^-0.1) * 32767 = 3118.19...
    {"FILTERQ on, truncated", ComputeFILTERQ,
     {{"isUseFilterOnCrtCtrlOutput", 1}, {"FilterOnCurrentControllerOutput", 1000}}, "FILTERQ", 3118},
    {"FFL on", ComputeFFL, {{"isCompensateGravitationalLoads", 1}, {"OffsetCurrent", 1.5}}, "FFL", 4910.4},
    {"FFL off", ComputeFFL, {{"isCompensateGravitationalLoads", 0}, {"OffsetCurrent", 1.5}}, "FFL", 0},
    {"KFFL", ComputeKFFL, {}, "KFFL", 32767}, {"T1MAXPROT", ComputeT1MAXPROT, {}, "T1MAXPROT", 32767},
    {"KDFP", ComputeKDFP, {{"filter_D", 0.5}}, "KDFP", 16383.5},
    // 32767 - 8 A * 90 % * 3273.6
    {"IMAXS", ComputeIMAXS, {{"IlimPS", 8}, {"IPSatS", 90}}, "IMAXS", 9197.08},
    {"SATS", ComputeSATS, {{"IlimPS", 8}}, "SATS", 6578.2},
    {"IMAXP over the current", ComputeIMAXP,
     {{"PositionControlType", 0}, {"ControlMode", 0}, {"IPSatP", 90}, {"IlimPS", 8}}, "IMAXP", 9197.08},
    // 32767 - 10 rad/s * 90 % * 1.2732395 counts per sample
    {"IMAXP over the speed", ComputeIMAXP,
     {{"PositionControlType", 1}, {"ControlMode", 0}, {"IPSatP", 90}, {"Limit_Speed", 10}}, "IMAXP",
     32755.540844097384},
    {"IMAXP over the speed in speed mode", ComputeIMAXP,
     {{"PositionControlType", 1}, {"ControlMode", 1}, {"IPSatP", 50}, {"IlimPS", 8}}, "IMAXP", 19672.6},
    {"SATP over the current", ComputeSATP, {{"PositionControlType", 0}, {"ControlMode", 0}, {"IlimPS", 8}},
     "SATP", 6578.2},
    {"SATP over the speed", ComputeSATP,
     {{"PositionControlType", 1}, {"ControlMode", 0}, {"Limit_Speed", 10}}, "SATP", 32754.267604552648},
    {"IMAXPROT", ComputeIMAXPROT, {{"Imax_Prot", 9}}, "IMAXPROT", 29462.4},
    {"TIMAXPROT", ComputeTIMAXPROT, {{"time_Imax_Prot", 0.05}, {"Ts_S", 0.001}}, "TIMAXPROT", 50},
    {"ERRMAX", [](CMC_Setup* s) { return ComputeERRMAX(s, "ERRMAX"); }, {{"ERR_position", 0.1}}, "ERRMAX",
     127.32395447351628},
    {"ERRMAXL", [](CMC_Setup* s) { return ComputeERRMAX(s, "ERRMAXL"); }, {{"ERR_position", 0.1}}, "ERRMAXL",
     127.32395447351628},
    {"TERRMAX checked", ComputeTERRMAX, {{"isPositionControlError", 1}, {"time_ERR_pos", 0.1}, {"Ts_S", 0.001}},
     "TERRMAX", 100},
    {"TERRMAX unchecked", ComputeTERRMAX,
     {{"isPositionControlError", 0}, {"time_ERR_pos", 0.1}, {"Ts_S", 0.001}}, "TERRMAX", 65535},
    {"SERRMAX", ComputeSERRMAX, {{"ERR_speed", 100}}, "SERRMAX", 127.32395447351628},
    {"TSERRMAX checked", ComputeTSERRMAX,
     {{"isSpeedControlError", 1}, {"time_ERR_spd", 0.25}, {"Ts_S", 0.001}}, "TSERRMAX", 250},
    {"TSERRMAX unchecked", ComputeTSERRMAX,
     {{"isSpeedControlError", 2}, {"time_ERR_spd", 0.25}, {"Ts_S", 0.001}}, "TSERRMAX", 65535},
    {"SWNEGLS", ComputeSWNEGLS, {{"Negative_SWLS", -10}, {"SWPOSLS", 7}}, "SWNEGLS", -12732.395447351628},
    {"SWPOSLS", ComputeSWPOSLS, {{"Positive_SWLS", 10}, {"SWNEGLS", 7}}, "SWPOSLS", 12732.395447351628},
    {"CACC", ComputeCACC, {{"ErefMaxAcceleration", 1000}}, "CACC", 1.2732395447351628},
    {"CSPD", ComputeCSPD, {{"ErefMaxSpeed", 100}}, "CSPD", 127.32395447351628},
    {"FILTER1 off", ComputeFILTER1, {{"UseFilter", 0}, {"filter", 100}, {"Ts_S", 0.001}}, "FILTER1", 32767},
    {"FILTER1 on, not truncated", ComputeFILTER1, {{"UseFilter", 1}, {"filter", 100}, {"Ts_S", 0.001}},
     "FILTER1", 3118.1923232157146},
    // +-10 V input: the point counts from -10 V
    {"LEVEL_AD5 range 20", ComputeLEVEL_AD5, {{"DeadBand_Point", 0}, {"AnalogueInputsRange", 20}}, "LEVEL_AD5",
     32736},
    {"LEVEL_AD5 range 20, 5 V", ComputeLEVEL_AD5, {{"DeadBand_Point", 5}, {"AnalogueInputsRange", 20}},
     "LEVEL_AD5", 49104},
    {"LEVEL_AD5 range 10", ComputeLEVEL_AD5, {{"DeadBand_Point", 2.5}, {"AnalogueInputsRange", 10}}, "LEVEL_AD5",
     16368},
    {"E_LEVEL_AD5 range 20", ComputeE_LEVEL_AD5, {{"DeadBand_Range", 0.1}, {"AnalogueInputsRange", 20}},
     "E_LEVEL_AD5", 327.36},
    {"E_LEVEL_AD5 range 5", ComputeE_LEVEL_AD5, {{"DeadBand_Range", 0.1}, {"AnalogueInputsRange", 5}},
     "E_LEVEL_AD5", 1309.44},
    {"GEAR", ComputeGEAR, {{"GEARSLAVE", 3}, {"GEARMASTER", 2}}, "GEAR", 1.5},
    {"T1ONA in hundredths", [](CMC_Setup* s) { return ComputeT1ON(s, "T1ONA"); },
     {{"time_AB", 2}, {"UPGRADE", 0x204}}, "T1ONA", 200},
    {"T1ONB in 1/65535", [](CMC_Setup* s) { return ComputeT1ON(s, "T1ONB"); },
     {{"time_AB", 2}, {"UPGRADE", 0x1FF}}, "T1ONB", 131070},
    // Kpwm = 65534 / (1.1 * 48); 2 A * 1.5 ohm * 50 % and no dead time
    {"REFTST star", ComputeREFTST,
     {{"PWM_freq", 20000}, {"Vdc", 48}, {"In", 2}, {"R", 1.5}, {"MotorPhaseConnectionType", 0}, {"StartCurrent", 50}},
     "REFTST", 1861.7613636363635},
    {"REFTST delta", ComputeREFTST,
     {{"PWM_freq", 20000}, {"Vdc", 48}, {"In", 2}, {"R", 1.5}, {"MotorPhaseConnectionType", 1}, {"StartCurrent", 50}},
     "REFTST", 620.5871212121212},
    // dead time 80 ticks * 50 % / 40 MHz = 1 us: 20 kHz * 1 us * 48 V = 0.96 V
    {"REFTST with dead time", ComputeREFTST,
     {{"PWM_freq", 20000}, {"Vdc", 48}, {"In", 2}, {"R", 1.5}, {"MotorPhaseConnectionType", 0}, {"StartCurrent", 50}},
     "REFTST", 3053.2886363636362, {{"DBT", 0x5050}}},
    // 50 % of a 2 s alignment in 1 ms steps: 1000 steps
    {"RINCTST ramped", ComputeRINCTST, {{"REFTST", 1800}}, "RINCTST", 1.8, {{"rise_time_AB", 50}, {"time_AB", 2}}},
    {"RINCTST at once", ComputeRINCTST, {{"REFTST", 1800}}, "RINCTST", 1800},
    {"RINCTST short ramp", ComputeRINCTST, {{"REFTST", 1800}}, "RINCTST", 1800,
     {{"rise_time_AB", 0.01}, {"time_AB", 2}}},
    {"BRAKEAPPLYDELAY", [](CMC_Setup* s) { return ComputeBrakeDelay(s, "BRAKEAPPLYDELAY", "MotorBrake_applytime"); },
     {{"MotorBrake_applytime", 0.2}, {"Ts_S", 0.001}}, "BRAKEAPPLYDELAY", 200},
    {"POSOKLIM_FC", ComputePOSOKLIM_FC, {{"FreezeControl_errband", 0.01}}, "POSOKLIM_FC", 12.732395447351628},
    {"TONPOSOK_FC", ComputeTONPOSOK_FC, {{"FreezeControl_time", 0.05}, {"Ts_S", 0.001}}, "TONPOSOK_FC", 50},
    {"TRANSMISSION one sensor forward", ComputeTRANSMISSION,
     {{"LoadSensorType", 0}, {"Motor_transmission", 3}, {"Load_transmission", 2}}, "TRANSMISSION", 1},
    {"TRANSMISSION one sensor backward", ComputeTRANSMISSION,
     {{"LoadSensorType", 0}, {"Motor_transmission", 1}, {"Load_transmission", -2}}, "TRANSMISSION", -1},
    // 10:1 gear, 8000 counts per motor turn against 4000 per load turn: 20 motor counts per load count
    {"TRANSMISSION dual loop", ComputeTRANSMISSION,
     {{"LoadSensorType", 1}, {"Motor_transmission", 10}, {"Load_transmission", 1}}, "TRANSMISSION", 20,
     {{"No_encoder_lines_LD", 1000}}},
    {"LSS_Active both saved", ComputeLSS_Active, {{"save_axis_id", 1}, {"save_CAN_baudrate", 1}}, "LSS_Active", 0},
    {"LSS_Active baud rate not saved", ComputeLSS_Active, {{"save_axis_id", 1}, {"save_CAN_baudrate", 0}},
     "LSS_Active", 2},
    {"LSS_Active neither saved", ComputeLSS_Active, {{"save_axis_id", 0}, {"save_CAN_baudrate", 0}}, "LSS_Active", 3},
};

INSTANTIATE_TEST_SUITE_P(DemoDrive, ScalarRegister, ::testing::ValuesIn(kScalarCases));

TEST(ScalarRegister, I2tLimitsSpanTheCurrentsAboveNominal) {
  // A protection current below the nominal one gives a negative limit, as the formula says.
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"I2TINTLIM_D", 0}, {"I_I2t_D", 4}, {"InPS", 5}});
  ASSERT_TRUE(ComputeI2tLimit(&setup, 'D'));
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("I2TINTLIM_D"), -6028007.04);  // -9 * 3273.6^2 / 16
}

TEST(ScalarRegister, SaturationRegistersAreLimitedToTheFullScale) {
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"IMAXS", 0}, {"SATS", 0}, {"IMAXP", 0}, {"SATP", 0}, {"IlimPS", 8}, {"IPSatS", 90}, {"IPSatP", 90},
              {"PositionControlType", 0}, {"ControlMode", 0}});
  ASSERT_TRUE(ComputeIMAXS(&setup) && ComputeSATS(&setup) && ComputeIMAXP(&setup) && ComputeSATP(&setup));
  for (const char* name : {"IMAXS", "SATS", "IMAXP", "SATP"}) {
    const CMC_Parameter* p = setup.FindParameter(name);
    EXPECT_EQ(p->GetMinInBaseUnit(), 0.0) << name;
    EXPECT_EQ(p->GetMaxInBaseUnit(), 32767.0) << name;
  }
}

TEST(SoftwareLimits, NegativePositionScaleSwapsTheRegisters) {
  CMC_Setup setup = DemoDrive();
  // The load turns against the motor: -1273.24 counts/rad.
  Put(setup, {{"Load_transmission", -1}, {"Negative_SWLS", -10}, {"Positive_SWLS", 20}, {"SWNEGLS", 0},
              {"SWPOSLS", 0}});
  ASSERT_TRUE(ComputeSWNEGLS(&setup));
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("SWPOSLS"), 12732.395447351628);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("SWNEGLS"), 0.0);
  ASSERT_TRUE(ComputeSWPOSLS(&setup));
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("SWNEGLS"), -25464.790894703256);
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit("SWPOSLS"), 12732.395447351628);
}

class AnalogueGain : public ::testing::Test {
 protected:
  // A 16-bit ADC: the span per count is half the span of the current range.
  CMC_Setup setup = [] {
    CMC_Setup s = DemoDrive();
    drivebase::DriveFamilyData family;
    family.adcFullScale = 65536;
    s.SetDriveFamily(family);
    Put(s, {{"ControlMode", 2}, {"CADIN", 0}, {"SFTADIN", 9}});
    return s;
  }();

  void Range(double span) {
    Put(setup, {{"CRT_max", span / 2}, {"CRT_min", -span / 2}});
  }
  double Gain() const { return setup.GetParameterValueInBaseUnit("CADIN"); }
  double Shift() const { return setup.GetParameterValueInBaseUnit("SFTADIN"); }
};

TEST_F(AnalogueGain, ShiftedOnlyAboveTheFullScale) {
  // 32767 per count fits; 50000 is one shift of 25000; 500000 = 2^4 * 31250; a negative span is
  // handed over unshifted.
  for (const auto& [span, transmission, gain, shift] :
       {std::tuple{65534.0, 1.0, 32767.0, 0.0}, {100000.0, 1.0, 25000.0, 1.0}, {1000000.0, 1.0, 31250.0, 4.0},
        {100000.0, -1.0, -50000.0, 0.0}}) {
    Range(span);
    Put(setup, "Motor_transmission", transmission);
    ASSERT_TRUE(ComputeCADIN(&setup));
    EXPECT_EQ(Gain(), gain) << span;
    EXPECT_EQ(Shift(), shift) << span;
  }
}

TEST(AnalogueOffset, BottomOfTheModesRangeInInternalUnits) {
  CMC_Setup setup = DemoDrive();
  Put(setup, {{"AD5OFF", 0}, {"POS_min", -1000}, {"SPD_min", -20}, {"CRT_min", -300}});
  const std::pair<int, double> kModes[] = {{0, -1000}, {1, -20}, {2, -300}};
  for (const auto& [mode, offset] : kModes) {
    Put(setup, "ControlMode", mode);
    ASSERT_TRUE(ComputeAD5OFF(&setup)) << mode;
    EXPECT_EQ(setup.GetParameterValueInBaseUnit("AD5OFF"), offset) << mode;
  }
  Put(setup, {{"AD5OFF", 7}, {"ControlMode", 3}});
  EXPECT_FALSE(ComputeAD5OFF(&setup));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("AD5OFF"), 7.0);
}

TEST(BrakeConfiguration, PinOfTheBrakePortAndTheEnable) {
  CMC_Setup setup = DemoDrive();
  drivebase::DriveFamilyData family;
  family.ioPins = {{25, 0, true}, {26, 1, true}};
  setup.SetDriveFamily(family);
  Put(setup, {{"BRAKECFG", 0}, {"MotorBrake_output", 1}, {"isMotorBrake", 1}});
  ASSERT_TRUE(ComputeBRAKECFG(&setup));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("BRAKECFG"), 26 * 256 + 1);
  Put(setup, {{"isMotorBrake", 0}, {"MotorBrake_output", 0}});
  ASSERT_TRUE(ComputeBRAKECFG(&setup));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("BRAKECFG"), 25 * 256);
}

TEST(SatpwmCopies, FollowSatpwmWhenBothExist) {
  CMC_Setup setup = DemoDrive();
  EXPECT_FALSE(CopySATPWM(&setup, "SATID"));
  Put(setup, "SATPWM", 2621.4);
  EXPECT_FALSE(CopySATPWM(&setup, "SATID"));
  Put(setup, "SATID", 0);
  ASSERT_TRUE(CopySATPWM(&setup, "SATID"));
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("SATID"), 2621.4);
}

}  // namespace
}  // namespace kestrel
