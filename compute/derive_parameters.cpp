#include "compute/derivation.h"
#include "compute/option_readers.h"
#include "compute/parameter_limits.h"
#include "compute/setup_access.h"

namespace {

using namespace kestrel;

bool HasAll(const CMC_Setup* setup, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (!HasParameter(setup, name)) return false;
  }
  return true;
}

bool HasSerialEncoder(bool (CMC_Setup::*has)(int, bool) const, const CMC_Setup* setup) {
  return (setup->*has)(5, false) || (setup->*has)(6, false);
}

void DeriveSensors(CMC_Setup* setup) {
  DeriveMotorSensorType(setup);
  DeriveLoadSensorType(setup);
  DeriveMotorSensorConnector(setup);
  DeriveLoadSensorConnector(setup);
  DeriveDigitalReferenceConnector(setup);
}

void DeriveDriveAndCurrentLoop(CMC_Setup* setup) {
  DerivePolePairs(setup);
  DeriveEncoderLines(setup);
  DeriveFlag(setup, "isMotorTemperatureSensor", "SCR", 7);
  DeriveMotorTemperatureSensorType(setup);
  DerivePwmFrequency(setup);
  DerivePwmPeriod(setup);
  DeriveLoopPeriod(setup, "Ts_C", "CLPER");
  DeriveLoopPeriod(setup, "Ts_S", "SLPER");
  DeriveFastLoopControl(setup);
  DeriveFlag(setup, "isDriveTemperatureSensor", "SCR", 8);
  DeriveFlag(setup, "isOverVoltage", "PCR", 4);
  DeriveFlag(setup, "isUnderVoltage", "PCR", 5);
  DeriveFlag(setup, "isDriveOverTemp", "PCR", 3);
  DeriveFlag(setup, "isDriveI2t", "PCR", 7);
  DeriveProtectionVoltage(setup, "UMAX_PROT", "UMAXPROT");
  DeriveProtectionVoltage(setup, "UMIN_PROT", "UMINPROT");
  DeriveDriveTemperatureLimit(setup);
  DeriveI2tCurrent(setup, "I_I2t_D", "I2TINTLIM_D", "InPS", 1.0, "ImaxPS");
  DeriveI2tTime(setup, "t_I2t_D", "SFI2T_D", true);
  DeriveControlMode(setup);
  DeriveExternalReference(setup);
  DeriveFlag(setup, "IsAutoActivatedAfterPowerOn", "ACR", 1);
  DeriveAxisId(setup);
  DeriveFlag(setup, "CommutationMethod", "SCR", 13);
  DeriveCurrentLimit(setup);
  DeriveScaledGain(setup, "Kp_C_scl", "KPI", "SFTKPI");
  DeriveScaledGain(setup, "Ki_C_scl", "KII", "SFTKII");
  DeriveTestCurrent(setup);
  DeriveProtectionCurrent(setup, "TestProtectionCurrent", 0.0);
  DeriveFlagUnless(setup, "isUseFilterOnCrtCtrlOutput", "FILTERQ", 32767.0);
  DeriveCurrentFilter(setup);
  DeriveFlagUnless(setup, "isCompensateGravitationalLoads", "FFL", 0.0);
  DeriveOffsetCurrent(setup);
}

void DeriveSpeedAndPositionLoops(CMC_Setup* setup) {
  DeriveScaledGain(setup, "Kp_S_scl", "KPS", "SFTKPS");
  DeriveScaledGain(setup, "Ki_S_scl", "KIS", "SFTKIS");
  DeriveIntegralLimit(setup, "IPSatS", "IMAXS", "SATS");
  DeriveAccelerationFeedForward(setup);
  DeriveTestLimitCurrent(setup);
  DeriveStartCurrent(setup, "TestStartCurrent");
  DeriveLoadRatio(setup, "Jload_over_J", "Jt", "Jm");
  DeriveLoadRatio(setup, "Mload_over_M", "Mt", "M");
  DeriveScaledGain(setup, "Kp_P_scl", "KPP", "SFTKPP");
  DeriveScaledGain(setup, "Ki_P_scl", "KIP", "SFTKIP");
  DeriveScaledGain(setup, "Kd_P_scl", "KDP", "SFTKDP");
  if (HasParameter(setup, "KPTHT")) {
    DeriveScaledGain(setup, "Kp_T_scl", "KPTHT", "SFTKPTHT");
    DeriveScaledGain(setup, "Ki_T_scl", "KITHT", "SFTKITHT");
  }
  DeriveDerivativeFilter(setup);
  DeriveIntegralLimit(setup, "IPSatP", "IMAXP", "SATP");
  DeriveSpeedLimit(setup);
  DeriveTestMaxSpeed(setup);
  DeriveScaledGain(setup, "KFFS_scl", "KFFS", "SFTSFFW");
}

void DeriveProtections(CMC_Setup* setup) {
  DeriveFlag(setup, "isOverCurrent", "PCR", 0);
  DeriveProtectionCurrent(setup, "Imax_Prot", 0.001);
  DeriveSampleTime(setup, "time_Imax_Prot", "TIMAXPROT");
  DeriveFlagUnless(setup, "isPositionControlError", "TERRMAX", 65535.0);
  DerivePositionError(setup);
  DeriveSampleTime(setup, "time_ERR_pos", "TERRMAX");
  DeriveFlagUnless(setup, "isSpeedControlError", "TSERRMAX", 65535.0);
  DeriveSpeedError(setup);
  DeriveSampleTime(setup, "time_ERR_spd", "TSERRMAX");
  DeriveMotorOverTemperature(setup);
  DeriveFlag(setup, "isMotori2t", "PCR", 1);
  DeriveI2tCurrent(setup, "I_I2t_M", "I2TINTLIM_M", "In", 1.1, "ImaxM");
  DeriveI2tTime(setup, "t_I2t_M", "SFI2T_M", false);
  DeriveFlag(setup, "isBrakeResistor", "OSR", 9);
  DeriveBrakeVoltage(setup);
  DeriveFlag(setup, "EnablePolarity", "DIGIN_ACTIVE_LEVEL", 15);
  DeriveFlag(setup, "LSPPolarity", "DIGIN_ACTIVE_LEVEL", 13);
  DeriveFlag(setup, "LSNPolarity", "DIGIN_ACTIVE_LEVEL", 14);
  if (HasParameter(setup, "isSWLS")) {
    DeriveFlag(setup, "isSWLS", "ASR", 12);
    DeriveSoftwareLimit(setup, "Negative_SWLS", false);
    DeriveSoftwareLimit(setup, "Positive_SWLS", true);
  }
  if (HasParameter(setup, "isSpeedEstimator")) DeriveSpeedEstimator(setup);
}

void DeriveStartAndReference(CMC_Setup* setup) {
  DeriveStartMode(setup);
  DeriveStartCurrent(setup, "StartCurrent");
  DeriveAlignmentTime(setup);
  DeriveAnalogueReferenceChoice(setup);
  DeriveFlag(setup, "DigitalReferenceType", "ACR", 2, true);
  DeriveFlag(setup, "isLimitMaximum", "UPGRADE", 2);
  DeriveReferenceSpeed(setup);
  DeriveReferenceAcceleration(setup);
  if (HasAnalogueInput(setup)) {
    DeriveDeadBandPoint(setup);
    DeriveDeadBandRange(setup);
    DeriveFlagUnless(setup, "UseFilter", "FILTER1", 32767.0);
    DeriveReferenceFilter(setup);
    DeriveReferenceBottom(setup, "POS_min", &LimitPositionReferenceRange);
    DeriveReferenceTop(setup, "POS_max", &LimitPositionReferenceRange);
    DeriveReferenceBottom(setup, "SPD_min", &LimitSpeedReferenceRange);
    DeriveReferenceTop(setup, "SPD_max", &LimitSpeedReferenceRange);
    DeriveCurrentReferenceBottom(setup);
    DeriveReferenceTop(setup, "CRT_max", &LimitCurrentReferenceRange);
  }
}

void DeriveOptionalFeatures(CMC_Setup* setup) {
  if (HasAll(setup, {"save_CAN_baudrate", "save_axis_id"})) {
    DeriveCanSave(setup, "save_CAN_baudrate", 1);
    DeriveCanSave(setup, "save_axis_id", 0);
  }
  if (HasAll(setup, {"isFilterEnc_MT", "FilterEncValue_MT", "isFilterEnc_LD", "FilterEncValue_LD"})) {
    DeriveEncoderFilterMotor(setup);
    DeriveEncoderFilterLoad(setup);
  }
  if (HasAll(setup, {"BRAKECFG", "isMotorBrake"})) {
    DeriveMotorBrake(setup);
    DeriveMotorBrakeOutput(setup);
    DeriveBrakeDelay(setup, "MotorBrake_releasetime", "BRAKERELEASEDELAY");
    DeriveBrakeDelay(setup, "MotorBrake_applytime", "BRAKEAPPLYDELAY");
  }
  if (HasParameter(setup, "SpeedForward")) DeriveSpeedForward(setup);
  if (HasAll(setup, {"POSOKLIM_FC", "TONPOSOK_FC"})) {
    DeriveFreezeControl(setup);
    DeriveFreezeControlBand(setup);
    DeriveFreezeControlTime(setup);
  }
  if (HasParameter(setup, "InputsPolarityType")) DeriveFlag(setup, "InputsPolarityType", "ASR", 2, true);
  if (HasParameter(setup, "ReverseCounting_MT")) {
    DeriveReverseCountingMotor(setup);
    DeriveReverseCountingLoad(setup);
  }
}

void DeriveAbsoluteEncoder(CMC_Setup* setup, EncoderSide side) {
  DeriveMultiTurn(setup, side);
  DeriveRevolutionBits(setup, side);
  DeriveTurnBits(setup, side);
  DeriveGrayCode(setup, side);
  DeriveSerialClock(setup, side);
  DeriveReverseSerial(setup, side);
}

void DeriveSensorResolutions(CMC_Setup* setup) {
  DeriveLinearHallResolution(setup);
  DeriveLinearHallResolutionLoad(setup);
  if (HasSerialEncoder(&CMC_Setup::HasDLMotorSensor, setup)) {
    DeriveAbsoluteEncoder(setup, EncoderSide::kMotor);
    DeriveSerialEncoderOffset(setup);
  }
  if (HasSerialEncoder(&CMC_Setup::HasDLLoadSensor, setup)) {
    DeriveAbsoluteEncoder(setup, EncoderSide::kLoad);
  }
  if (HasParameter(setup, "rise_time_AB")) DeriveRiseTime(setup);
}

}  // namespace

void DeriveParametersFromRegisters(CMC_Setup* setup) {
  DeriveSensors(setup);
  DeriveDriveAndCurrentLoop(setup);
  DeriveSpeedAndPositionLoops(setup);
  DeriveProtections(setup);
  DeriveStartAndReference(setup);
  DeriveOptionalFeatures(setup);
  DeriveSensorResolutions(setup);
}
