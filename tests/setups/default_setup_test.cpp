// The default setup holds every parameter, drive variable and option that the plug-in, its
// dialogs and its tests read or write, each with a type, a unit and limits that fit it.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drivebase/error_report.h"
#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"

namespace kestrel {
namespace {

// Names as the plug-in spells them; some differ only in case ("isHallsensors", "isHallSensors").
const std::vector<std::string> kParameters = {
    "AAR_table", "ABSTART_MINMOVE", "ABSTART_MINMOVE_PERCENT", "ACR", "AD5OFF", "ADCrange", "AEI_CLKDIV", "AEI_CMPTIME",
    "AEI_ComputeTime", "AEI_GuardTime", "AEI_PER", "AEI_ReadTime1Mhz", "AEI_TransferTime", "ALPHA",
    "AnalogueInputsRange", "AquisitionsNo", "ASPD_BQ_INI", "ASR", "Axis_ID_list", "BRAKEAPPLYDELAY", "BRAKECFG",
    "BRAKELIM", "BRAKERELEASEDELAY", "CACC", "CADIN", "CLPER", "CommutationMethod", "ControlMode", "COUNTINGDIR_LD",
    "COUNTINGDIR_MT", "CRT_max", "CRT_min", "CSPD", "CurrentMeasurementType", "DBT", "DBTPC", "DBTTH", "DeadBand_Point",
    "DeadBand_Range", "DIGIN_ACTIVE_LEVEL", "DigitalReferenceConnector", "DigitalReferenceType", "DriveTempOutputAt0oC",
    "DriveTempSensorGain", "DSP2_freq", "DSP_freq", "Dump_C", "Dump_P", "Dump_S", "E_LEVEL_AD5", "ELRES_FRACT",
    "ELRESL", "EnablePolarity", "ENC2THL", "ErefMaxAcceleration", "ErefMaxSpeed", "ERR_position", "ERR_speed", "ERRMAX",
    "ERRMAXL", "ExternalReference", "FFL", "filter", "FILTER1", "filter_D", "FilterEncValue_LD", "FilterEncValue_MT",
    "FilterOnCurrentControllerOutput", "FILTERQ", "FreezeControl_errband", "FreezeControl_time", "GEAR", "GEARMASTER",
    "GEARSLAVE", "HALL30", "HALLAGAIN", "HALLAOFF", "HALLBGAIN", "HALLBOFF", "HALLCASE", "HALLCGAIN", "HALLCOFF",
    "I2TINTLIM_D", "I2TINTLIM_M", "I2TWARLIM_M", "I_I2t_D", "I_I2t_M", "II2TPROT_D", "II2TPROT_M", "II2TWARLIM_D",
    "IlimPS", "Imax_Prot", "ImaxM", "IMAXP", "IMAXPROT", "ImaxPS", "IMAXS", "In", "InPS", "InputsPolarityType",
    "IPSatP", "IPSatS", "IQREF_BQ_INI", "isAnalogueReference", "isAutoActivatedAfterPowerOn",
    "IsAutoActivatedAfterPowerOn", "isBrakeResistor", "isCompensateGravitationalLoads", "isDriveI2t", "isDriveOverTemp",
    "isDriveTemperatureSensor", "isFilterEnc_LD", "isFilterEnc_MT", "isFreezeControl", "isHallsensors", "isHallSensors",
    "isLimitMaximum", "isMotorBrake", "isMotorI2t", "isMotori2t", "isMotorInertiaUnknown", "isMotorOverTemp",
    "isMotorTemperatureSensor", "isOverCurrent", "isOverVoltage", "isPositionControlError", "isSpeedControlError",
    "isSpeedEstimator", "isSWLS", "isUnderVoltage", "isUseFilterOnCrtCtrlOutput", "Jload_over_J", "Jm", "Jt", "K",
    "Kd_P_scl", "KDFP", "KDP", "Kf", "KFFA", "KFFA_scl", "KFFL", "KFFS", "KFFS_scl", "Ki_C_scl", "Ki_P_scl", "Ki_S_scl",
    "Ki_T_scl", "KII", "KIP", "KIS", "KITHT", "Kp_C_scl", "Kp_P_scl", "Kp_S_scl", "Kp_T_scl", "KPI", "KPP", "KPS",
    "KPTHT", "L", "LEVEL_AD5", "LHResolution", "LHResolution_LD", "Limit_Speed", "Load_transmission",
    "LoadSensorConnector", "LoadSensorType", "LSNPolarity", "LSPPolarity", "LSS_Active", "M", "MAX_CURRENT", "MECRESL",
    "Mload_over_M", "Motor_TempSensor_Type", "Motor_transmission", "MotorBrake_applytime", "MotorBrake_output",
    "MotorBrake_releasetime", "MotorPhaseConnectionType", "MotorSensorConnector", "MotorSensorType", "Mt", "MTSTYPE",
    "MultiCycleP", "MultiCycleS", "Negative_SWLS", "No_encoder_lines", "No_encoder_lines_LD", "OffsetCurrent",
    "OnlinePlotP", "OnlinePlotS", "OSR", "PB_C", "PB_C_maxim", "PB_C_minim", "PB_P", "PB_P_maxim", "PB_P_minim", "PB_S",
    "PB_S_maxim", "PB_S_minim", "PCR", "PolePitch", "POS_max", "POS_min", "PositionControlType",
    "PositionTestReferenceType", "Positive_SWLS", "POSOKLIM_FC", "PosSpd_in_FastLoop", "pp", "PWM_freq", "PWMPER",
    "PWMperiod", "QUAL", "QUAL_ACT", "QUAL_AQ2", "QUAL_BCT", "QUAL_BQ2", "R", "REF_INC", "REFTST", "Resolution",
    "Resolution_LD", "ReverseCounting_LD", "ReverseCounting_MT", "RINCTST", "rise_time_AB", "SamplingRate", "SATID",
    "SATIQ", "SATP", "SATPWM", "SATS", "save_axis_id", "save_CAN_baudrate", "SCR", "SERRMAX", "SFI2T_D", "SFI2T_M",
    "SFTADIN", "SFTAFFW", "SFTKDP", "SFTKFF", "SFTKII", "SFTKIP", "SFTKIS", "SFTKITHT", "SFTKPI", "SFTKPP", "SFTKPS",
    "SFTKPTHT", "SFTSFFW", "SINCOS_fract", "SINCOS_fract_LD", "SLPER", "SPD_max", "SPD_min", "SPDREF_BQ_INI",
    "SpeedForward", "SpeedTestReferenceType", "SPICLKMODE", "SSI_Freq", "SSI_freq", "SSI_Freq_LD", "SSI_freq_LD",
    "SSI_isGray", "SSI_isGray_LD", "SSI_isMultiTurn", "SSI_isMultiTurn_LD", "SSI_isReverseCounting",
    "SSI_isReverseCounting_LD", "SSI_No_Bits_Linear", "SSI_No_Bits_Revolution", "SSI_No_Bits_Revolution_LD",
    "SSI_No_Bits_Turns", "SSI_No_Bits_Turns_LD", "SSI_Offset", "SSI_Resolution", "SSI_Resolution_LD", "SSIBR",
    "SSIFDBKTYPE", "SSIREV", "SSISENSE", "SSITURNS", "SSITYPE", "START_POS", "StartCurrent", "StartMode", "SWNEGLS",
    "SWPOSLS", "T1MAXPROT", "T1ONA", "T1ONB", "T2MAXPROT", "t_I2t_D", "t_I2t_M", "TaNP", "TaNS", "TaPP", "TaPS",
    "Temp_2", "TERRMAX", "TestCurrent", "TestLimitCurrent", "TestMaxSpeed", "TestPosition", "TestProtectionCurrent",
    "TestSpeed", "TestStartCurrent", "TIMAXPROT", "time_AB", "time_ERR_pos", "time_ERR_spd", "time_Imax_Prot",
    "TIME_LIMIT", "TNP", "TNS", "TONPOSOK_FC", "TPP", "TPS", "TRANSMISSION", "TransmissionType", "Ts_C", "Ts_C_min",
    "Ts_S", "Ts_S_min", "TSERRMAX", "UMAX_PROT", "UMAXPROT", "UMIN_PROT", "UMINPROT", "UPGRADE", "UseFilter", "Vbrake",
    "Vdc", "VdcMaxMeasurable", "VLOG_max", "VLOG_min", "VMOT_max", "VMOT_min", "ZAOFF"
};

const std::vector<std::string> kVariables = {
    "AD3", "AD3OFF", "AD5", "AD6", "AD6OFF", "AD8", "AD9", "ALPHA", "APOS", "APOS_LD", "APOS_MT", "ASPD", "ASPD_LD",
    "ASPD_MT", "CACC", "CADIN", "CAPPOS", "CAPPOS2", "CDEC", "CPOS", "CSPD", "ELRES_FRACT", "EREFP", "EREFS", "ERRMAX",
    "ERRMAXL", "HALL", "HALLCASE", "HOMEPOS", "HOMESPD", "ID", "IQ", "JERK", "Jt", "KSLIP", "Load_Position",
    "Load_Speed", "MER", "POSERR", "POSINC", "POSINIT", "Position_Error", "POSOKLIM", "POSTRIGG1", "POSTRIGG4",
    "Pulse_Dir_Input_Position", "Pulse_Dir_Input_Speed", "REFTST_V", "RINCTST_V", "SERRMAX", "SFTCWEAK", "SIN2REC",
    "SPDERR", "SPDREF", "Speed_Error", "Speed_Reference", "SRECTCOMP", "TACC", "Target_Position", "Target_Speed",
    "THTST", "TINCTST", "TPOS", "TPOSFAST", "TSPD", "var_i1", "var_i2", "var_lf_long", "var_u2", "ZAOFF"
};

const std::vector<std::string> kOptions = {
    "DisableExternalDigitalReference", "DisableMotorTemperature", "hasEncoderBrokenWireProtection",
    "hasNegTransmission", "hasOscilloscope", "hideEnablePolarity", "IsClosedCurrent", "IsClosedPosition",
    "IsClosedSpeed", "isIndex", "isIndex2", "IsInputsTypeProgrammable", "isPositionFeedbackOnLoad",
    "isPositionFeedbackOnMotor", "isSpeedFeedback", "IsStepMotor", "IsStepperOpenLoop", "LoadPosition", "MaxFilters",
    "MotorPosition", "MotorSpeed", "MotorType", "NewDeadBand", "PMSMStartwithHalls", "PositionTuningOscSettings",
    "ReferenceName", "ResolverFixedCounts",
    "SpeedTuningOscSettings"
};

// The user's biquad filters 1 to 9 and the drive's filter slots 1 to MaxFilters.
std::vector<std::string> FilterParameters(int slots) {
  std::vector<std::string> names;
  for (int i = 1; i <= 9; ++i) {
    for (const char* field : {"BQFilter", "BQFilterType", "BQFilterLocation", "BQFilterF1", "BQFilterF2", "BQFilterQ"}) {
      names.push_back(field + std::to_string(i));
    }
  }
  for (int slot = 1; slot <= slots; ++slot) {
    for (const char* field : {"B0", "B1", "B2", "A1", "A2", "SF"}) {
      names.push_back("BQ" + std::to_string(slot) + field);
    }
  }
  return names;
}

class DefaultSetup : public ::testing::Test {
 protected:
  const CMC_Setup setup = LoadDefaultSetup();
  const drivebase::ErrorReportingOff silent;
};

TEST_F(DefaultSetup, HoldsEveryParameterThePlugInUses) {
  for (const std::string& name : kParameters) EXPECT_NE(setup.FindParameter(name), nullptr) << name;
  for (const std::string& name : FilterParameters(setup.GetIntOption("MaxFilters"))) {
    EXPECT_NE(setup.FindParameter(name), nullptr) << name;
  }
}

TEST_F(DefaultSetup, HoldsEveryDriveVariableThePlugInUses) {
  for (const std::string& name : kVariables) EXPECT_NE(setup.FindVariable(name, 0), nullptr) << name;
}

TEST_F(DefaultSetup, HoldsEveryOption) {
  for (const std::string& name : kOptions) EXPECT_NE(setup.FindOption(name), nullptr) << name;
}

TEST_F(DefaultSetup, ValuesLieWithinTheirLimits) {
  for (const auto& parameter : setup.Parameters()) {
    if (parameter->IsDriveScaled()) continue;  // their base values need the plug-in's scales
    const double value = parameter->GetValueInBaseUnit();
    EXPECT_GE(value, parameter->GetMinInBaseUnit()) << parameter->GetName();
    EXPECT_LE(value, parameter->GetMaxInBaseUnit()) << parameter->GetName();
  }
}

TEST_F(DefaultSetup, DescribesTheDriveAndMotorOfTheDemo) {
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("DSP_freq"), 40e6);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("PWMPER"), 1000.0);  // 40 MHz / (2 * 20 kHz)
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("Vdc"), 48.0);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("ImaxPS"), 10.0);
  EXPECT_EQ(Compute_ADCMaxValue(&setup), 65472u);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("pp"), 4.0);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("MECRESL"), 8000.0);  // 4 * 2000 lines
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("L"), 1.2e-3);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("Jm"), 3.3e-5);
  EXPECT_EQ(setup.GetDLMaxConnectorValue(), 1);
  EXPECT_EQ(setup.GetOptionNoError("ReferenceName"), "KSTA");
}

TEST_F(DefaultSetup, EmbeddedTextIsTheCanonicalFile) {
  EXPECT_EQ(drivebase::SerializeSetup(setup), DefaultSetupText());
}

}  // namespace
}  // namespace kestrel
