// Removing any one register from the default setup leaves exactly the targets that need it as
// they were, and every other target is still derived.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compute/derivation.h"
#include "drivebase/error_report.h"
#include "drivebase/value_types.h"
#include "scaled_setup.h"
#include "sweep_scales.h"

namespace kestrel {
namespace {

using namespace test_support;  // the scales

struct Target {
  std::string name;
  std::vector<std::string> needs;  // looked up by its routine, or by the condition of its group
  unsigned scales;
};

// Every target that the default setup derives, with what it reads.
const std::vector<Target> kTargets = {
    {"MotorSensorType", {"SCR", "OSR"}, kNone}, {"LoadSensorType", {"SCR", "OSR"}, kNone},
    {"MotorSensorConnector", {"SCR"}, kNone}, {"LoadSensorConnector", {"SCR"}, kNone},
    {"DigitalReferenceConnector", {"SCR"}, kNone}, {"pp", {"MECRESL", "ENC2THL"}, kNone},
    {"No_encoder_lines", {"MECRESL"}, kNone}, {"isMotorTemperatureSensor", {"SCR"}, kNone},
    {"Motor_TempSensor_Type", {"MTSTYPE"}, kNone}, {"PWM_freq", {"DSP_freq", "PWMPER"}, kNone},
    {"PWMperiod", {"DSP_freq", "PWMPER"}, kNone}, {"Ts_C", {"CLPER", "PWMPER", "DSP_freq"}, kNone},
    {"Ts_S", {"SLPER", "PWMPER", "DSP_freq"}, kNone}, {"PosSpd_in_FastLoop", {"UPGRADE"}, kNone},
    {"isDriveTemperatureSensor", {"SCR"}, kNone}, {"isOverVoltage", {"PCR"}, kNone}, {"isUnderVoltage", {"PCR"}, kNone},
    {"isDriveOverTemp", {"PCR"}, kNone}, {"isDriveI2t", {"PCR"}, kNone}, {"UMAX_PROT", {"UMAXPROT"}, kKdc},
    {"UMIN_PROT", {"UMINPROT"}, kKdc},
    {"Temp_2", {"ADCrange", "T2MAXPROT", "DriveTempOutputAt0oC", "DriveTempSensorGain"}, kNone},
    {"I_I2t_D", {"I2TINTLIM_D", "InPS", "ImaxPS"}, kKi}, {"t_I2t_D", {"SFI2T_D"}, kTs}, {"ControlMode", {"ACR"}, kNone},
    {"ExternalReference", {"ACR"}, kNone}, {"IsAutoActivatedAfterPowerOn", {"ACR"}, kNone},
    {"Axis_ID_list", {"AAR_table"}, kNone}, {"CommutationMethod", {"SCR"}, kNone},
    {"IlimPS", {"ImaxM", "ImaxPS", "ACR", "SATS"}, kKi}, {"Kp_C_scl", {"KPI", "SFTKPI"}, kNone},
    {"Ki_C_scl", {"KII", "SFTKII"}, kNone}, {"TestCurrent", {"In", "InPS"}, kNone},
    {"TestProtectionCurrent", {"ImaxM", "ImaxPS", "IMAXPROT"}, kKi}, {"isUseFilterOnCrtCtrlOutput", {"FILTERQ"}, kNone},
    {"FilterOnCurrentControllerOutput", {"FILTERQ"}, kTc}, {"isCompensateGravitationalLoads", {"FFL"}, kNone},
    {"OffsetCurrent", {"In", "FFL"}, kKi}, {"Kp_S_scl", {"KPS", "SFTKPS"}, kNone},
    {"Ki_S_scl", {"KIS", "SFTKIS"}, kNone}, {"IPSatS", {"IMAXS", "SATS"}, kNone},
    {"KFFA_scl", {"KFFA", "SFTKFF", "SFTAFFW"}, kNone}, {"TestLimitCurrent", {"ImaxM", "ImaxPS", "ACR", "SATS"}, kKi},
    {"TestStartCurrent", {"REFTST", "DSP_freq", "PWMPER", "Vdc", "In", "R", "MotorPhaseConnectionType"}, kKv},
    {"Jload_over_J", {"Jt", "Jm"}, kNone}, {"Mload_over_M", {"Mt", "M"}, kNone}, {"Kp_P_scl", {"KPP", "SFTKPP"}, kNone},
    {"Ki_P_scl", {"KIP", "SFTKIP"}, kNone}, {"Kd_P_scl", {"KDP", "SFTKDP"}, kNone},
    {"Kp_T_scl", {"KPTHT", "SFTKPTHT"}, kNone}, {"Ki_T_scl", {"KPTHT", "KITHT", "SFTKITHT"}, kNone},
    {"filter_D", {"KDFP"}, kNone}, {"IPSatP", {"IMAXP", "SATP"}, kNone},
    {"Limit_Speed", {"PositionControlType", "SATP", "TransmissionType", "Vdc", "K"}, kKp | kTs},
    {"TestMaxSpeed", {"TransmissionType", "Vdc", "K"}, kNone}, {"KFFS_scl", {"KFFS", "SFTSFFW"}, kNone},
    {"isOverCurrent", {"PCR"}, kNone}, {"Imax_Prot", {"ImaxM", "ImaxPS", "IMAXPROT"}, kKi},
    {"time_Imax_Prot", {"TIMAXPROT"}, kTs}, {"isPositionControlError", {"TERRMAX"}, kNone},
    {"ERR_position", {"ERRMAX"}, kKp}, {"time_ERR_pos", {"TERRMAX"}, kTs}, {"isSpeedControlError", {"TSERRMAX"}, kNone},
    {"ERR_speed", {"SERRMAX"}, kKp | kTs}, {"time_ERR_spd", {"TSERRMAX"}, kTs}, {"isMotorOverTemp", {"PCR"}, kNone},
    {"isMotori2t", {"PCR"}, kNone}, {"I_I2t_M", {"I2TINTLIM_M", "In", "ImaxM"}, kKi}, {"t_I2t_M", {"SFI2T_M"}, kTs},
    {"isBrakeResistor", {"OSR"}, kNone}, {"Vbrake", {"BRAKELIM", "VdcMaxMeasurable"}, kKdc},
    {"EnablePolarity", {"DIGIN_ACTIVE_LEVEL"}, kNone}, {"LSPPolarity", {"DIGIN_ACTIVE_LEVEL"}, kNone},
    {"LSNPolarity", {"DIGIN_ACTIVE_LEVEL"}, kNone}, {"isSWLS", {"ASR"}, kNone},
    {"Negative_SWLS", {"SWNEGLS", "SWPOSLS"}, kKp}, {"Positive_SWLS", {"SWNEGLS", "SWPOSLS"}, kKp},
    {"isSpeedEstimator", {"SCR"}, kNone}, {"StartMode", {"OSR", "ACR"}, kNone},
    {"StartCurrent", {"REFTST", "DSP_freq", "PWMPER", "Vdc", "In", "R", "MotorPhaseConnectionType"}, kKv},
    {"time_AB", {"UPGRADE", "T1ONA"}, kNone}, {"isAnalogueReference", {"ACR"}, kNone},
    {"DigitalReferenceType", {"ACR"}, kNone}, {"isLimitMaximum", {"UPGRADE"}, kNone},
    {"ErefMaxSpeed", {"CSPD"}, kKp | kTs}, {"ErefMaxAcceleration", {"CACC"}, kKp | kTs},
    {"DeadBand_Point", {"CADIN", "AnalogueInputsRange", "LEVEL_AD5"}, kNone},
    {"DeadBand_Range", {"CADIN", "AnalogueInputsRange", "E_LEVEL_AD5"}, kNone},
    {"UseFilter", {"CADIN", "FILTER1"}, kNone}, {"filter", {"CADIN", "FILTER1"}, kTs},
    {"POS_min", {"CADIN", "AD5OFF"}, kKp}, {"POS_max", {"CADIN", "AD5OFF", "SFTADIN"}, kKp},
    {"SPD_min", {"CADIN", "AD5OFF"}, kKp | kTs}, {"SPD_max", {"CADIN", "AD5OFF", "SFTADIN"}, kKp | kTs},
    {"CRT_min", {"CADIN", "AD5OFF"}, kKi}, {"CRT_max", {"CADIN", "AD5OFF", "SFTADIN"}, kKi | kKp},
    {"save_CAN_baudrate", {"LSS_Active"}, kNone}, {"save_axis_id", {"LSS_Active"}, kNone},
    {"isFilterEnc_MT", {"FilterEncValue_MT", "FilterEncValue_LD", "SCR", "QUAL_BQ2", "QUAL_AQ2"}, kNone},
    {"isFilterEnc_LD", {"FilterEncValue_MT", "FilterEncValue_LD", "SCR", "QUAL_BQ2", "QUAL_AQ2"}, kNone},
    {"isMotorBrake", {"BRAKECFG"}, kNone}, {"MotorBrake_output", {"BRAKECFG"}, kNone},
    {"MotorBrake_releasetime", {"BRAKECFG", "BRAKERELEASEDELAY"}, kNone},
    {"MotorBrake_applytime", {"BRAKECFG", "BRAKEAPPLYDELAY"}, kNone}, {"SpeedForward", {"ACR"}, kNone},
    {"isFreezeControl", {"POSOKLIM_FC", "TONPOSOK_FC", "ACR"}, kNone},
    {"FreezeControl_errband", {"POSOKLIM_FC", "TONPOSOK_FC"}, kKp},
    {"FreezeControl_time", {"POSOKLIM_FC", "TONPOSOK_FC"}, kNone}, {"InputsPolarityType", {"ASR"}, kNone},
    {"ReverseCounting_MT", {"COUNTINGDIR_MT", "COUNTINGDIR_LD"}, kNone},
    {"ReverseCounting_LD", {"COUNTINGDIR_MT", "COUNTINGDIR_LD"}, kNone},
    {"LHResolution", {"DBTTH", "TransmissionType"}, kNone}, {"LHResolution_LD", {"DBTTH", "TransmissionType"}, kNone},
    {"rise_time_AB", {"REFTST", "RINCTST"}, kTs},
};

// Targets whose limits may change without their value: their routine sets the limits before a
// lookup that can fail, or the range rule run for the other end of an analogue range sets them.
const std::set<std::string> kLimitsBeforeLookup = {"IlimPS", "StartMode", "POS_max", "SPD_max"};

// Targets that steer later routines keep their value when disturbed; only their limits open.
const std::set<std::string> kSteering = {"MotorSensorType", "LoadSensorType", "MotorSensorConnector",
                                         "LoadSensorConnector", "ControlMode", "CommutationMethod",
                                         "DigitalReferenceConnector", "isAnalogueReference", "StartMode"};

struct Snapshot {
  std::uint64_t value;
  std::uint64_t min;
  std::uint64_t max;
};

Snapshot Take(const CMC_Parameter& p) {
  return {std::bit_cast<std::uint64_t>(p.GetValueInInternalUnit()),
          std::bit_cast<std::uint64_t>(p.GetMinInBaseUnit()), std::bit_cast<std::uint64_t>(p.GetMaxInBaseUnit())};
}

// Every target with open limits and, unless it steers, a value the derivation would not give.
CMC_Setup Disturbed() {
  CMC_Setup setup = test_support::Scaled(LoadDefaultSetup());
  DeriveParametersFromRegisters(&setup);
  for (const Target& target : kTargets) {
    CMC_Parameter* p = setup.FindParameter(target.name);
    p->SetMinInBaseUnit(-std::numeric_limits<double>::infinity());
    p->SetMaxInBaseUnit(std::numeric_limits<double>::infinity());
    if (kSteering.count(target.name) != 0) continue;
    const double internal = p->GetValueInInternalUnit();
    p->SetValueInInternalUnit(p->GetType() == drivebase::kFlag ? 1.0 - internal : internal * 1.375 + 3.0);
  }
  return setup;
}

bool NeedsThroughScales(const Target& target, unsigned unitScales, const std::string& removed) {
  return ScalesRead(target.scales | unitScales, removed);
}

std::vector<std::string> RemovedRegisters() {
  std::set<std::string> names;
  std::set<std::string> targets;
  for (const Target& target : kTargets) targets.insert(target.name);
  for (const Target& target : kTargets) {
    for (const std::string& need : target.needs) {
      if (targets.count(need) == 0) names.insert(need);
    }
  }
  for (const auto& [scale, inputs] : kScaleInputs) {
    for (const std::string& input : inputs) {
      if (targets.count(input) == 0) names.insert(input);
    }
  }
  return {names.begin(), names.end()};
}

class MissingRegister : public ::testing::TestWithParam<std::string> {};

TEST_P(MissingRegister, LeavesOnlyItsOwnTargetsStale) {
  const std::string& removed = GetParam();
  CMC_Setup setup = Disturbed();
  std::map<std::string, Snapshot> before;
  for (const Target& target : kTargets) before[target.name] = Take(*setup.FindParameter(target.name));
  ASSERT_TRUE(setup.RemoveParameter(removed)) << removed;
  {
    const drivebase::ErrorReportingOff quiet;  // the missing register is reported, as it should be
    DeriveParametersFromRegisters(&setup);
  }
  for (const Target& target : kTargets) {
    const CMC_Parameter& parameter = *setup.FindParameter(target.name);
    if (NeedsThroughScales(target, ScalesOfUnit(parameter), removed)) continue;  // a scale lacks its input
    const Snapshot after = Take(parameter);
    const Snapshot& old = before[target.name];
    const bool needs = std::count(target.needs.begin(), target.needs.end(), removed) != 0;
    if (needs) {
      EXPECT_EQ(after.value, old.value) << target.name << " changed without " << removed;
      if (kLimitsBeforeLookup.count(target.name) == 0) {
        EXPECT_TRUE(after.min == old.min && after.max == old.max) << target.name << " limited without " << removed;
      }
    } else {
      EXPECT_FALSE(after.value == old.value && after.min == old.min && after.max == old.max)
          << target.name << " was not derived without " << removed;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Registers, MissingRegister, ::testing::ValuesIn(RemovedRegisters()),
                         [](const auto& test) { return test.param; });

TEST(MissingRegister, EveryTargetIsDerivedFromTheFullSetup) {
  CMC_Setup setup = Disturbed();
  std::map<std::string, Snapshot> before;
  for (const Target& target : kTargets) before[target.name] = Take(*setup.FindParameter(target.name));
  DeriveParametersFromRegisters(&setup);
  for (const Target& target : kTargets) {
    const Snapshot after = Take(*setup.FindParameter(target.name));
    const Snapshot& old = before[target.name];
    EXPECT_FALSE(after.value == old.value && after.min == old.min && after.max == old.max) << target.name;
  }
}

}  // namespace
}  // namespace kestrel
