// Removing any one register or source parameter from the default setup leaves exactly the
// registers that need it as they were, and every other register is still computed.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compute/registers.h"
#include "drivebase/error_report.h"
#include "scaled_setup.h"
#include "sweep_scales.h"

namespace kestrel {
namespace {

using Names = std::vector<std::string>;

using namespace test_support;  // the scales

struct Register {
  std::string name;
  Names needs;     // a missing one leaves the register as it was
  Names optional;  // a missing one changes what the register holds
  unsigned scales = kNone;
  std::int64_t owned = 0;  // bit-field registers: bits that are always recomputed
};

const Names kSensors = {"MotorSensorType", "LoadSensorType", "MotorSensorConnector", "LoadSensorConnector"};
const Names kFilterFeature = {"isFilterEnc_MT", "FilterEncValue_MT", "isFilterEnc_LD", "FilterEncValue_LD",
                              "LoadSensorType"};
const Names kAnalogueFeature = {"CADIN"};

Names With(Names names, const Names& more) {
  names.insert(names.end(), more.begin(), more.end());
  return names;
}

// Every register that the default setup (incremental encoder, position loop over the speed loop,
// one biquad filter) gets, with what its routine reads there.
std::vector<Register> Registers() {
  std::vector<Register> r = {
      {"PWMPER", {"DSP_freq", "PWM_freq"}, {}, {}},
      {"T2MAXPROT", {"DriveTempOutputAt0oC", "DriveTempSensorGain", "Temp_2", "ADCrange"}, {}, {}},
      {"UMAXPROT", {"UMAX_PROT"}, {}, kKdc}, {"UMINPROT", {"UMIN_PROT"}, {}, kKdc}, {"II2TPROT_D", {"InPS"}, {}, kKi},
      {"SFI2T_D", {"Ts_S", "t_I2t_D"}, {}, {}}, {"I2TINTLIM_D", {"I_I2t_D", "InPS"}, {}, kKi},
      {"II2TWARLIM_D", {"I_I2t_D", "InPS", "t_I2t_D", "I2TWARLIM_M"}, {}, kKi},
      {"SATPWM", {"CurrentMeasurementType", "PWM_freq"}, {}, {}},
      {"MECRESL", {"MotorSensorType", "TransmissionType", "No_encoder_lines"}, {}, {}},
      {"ENC2THL", {"MotorSensorType", "pp", "TransmissionType", "No_encoder_lines"}, {}, {}},
      {"MTSTYPE", {"Motor_TempSensor_Type"}, {}, {}}, {"AAR_table", {"Axis_ID_list"}, {}, {}},
      {"SCR", With(kSensors, {"CommutationMethod", "isMotorTemperatureSensor", "isDriveTemperatureSensor",
                              "DigitalReferenceConnector"}),
       {"isSpeedEstimator"}, {}},
      {"OSR", {"isBrakeResistor", "StartMode", "MotorSensorType", "LoadSensorType", "isHallsensors"}, {"KPTHT"}, {},
       0x1C},
      {"ASR", {}, {"isSWLS", "InputsPolarityType"}, {}, 0x80},
      {"PCR", {"isDriveI2t", "isUnderVoltage", "isOverVoltage", "isDriveOverTemp", "isMotorOverTemp", "isMotorI2t",
               "isOverCurrent", "isHallsensors", "MotorSensorType"},
       {}, {}, 0xFF},
      {"ACR", {"isAutoActivatedAfterPowerOn", "ExternalReference", "ControlMode", "PositionControlType",
               "isFreezeControl", "StartMode"},
       {"SpeedForward", "POSOKLIM_FC", "TONPOSOK_FC"}, {}, 0x700},
      {"SATID", {"SATPWM"}, {}, {}}, {"SATIQ", {"SATPWM"}, {}, {}},
      {"FILTERQ", {"isUseFilterOnCrtCtrlOutput", "FilterOnCurrentControllerOutput"}, {}, kTc},
      {"FFL", {"isCompensateGravitationalLoads", "OffsetCurrent"}, {}, kKi}, {"KFFL", {}, {}, {}},
      {"IMAXS", {"IlimPS", "IPSatS"}, {}, kKi}, {"SATS", {"IlimPS"}, {}, kKi}, {"KDFP", {"filter_D"}, {}, {}},
      {"IMAXP", {"PositionControlType", "ControlMode", "IPSatP", "Limit_Speed"}, {}, kKp | kTs},
      {"SATP", {"PositionControlType", "ControlMode", "Limit_Speed"}, {}, kKp | kTs}, {"SFTAFFW", {"KFFA_scl"}, {}, {}},
      {"SFTKFF", {"KFFA_scl"}, {}, {}}, {"KFFA", {"KFFA_scl"}, {}, {}}, {"IMAXPROT", {"Imax_Prot"}, {}, kKi},
      {"TIMAXPROT", {"time_Imax_Prot", "Ts_S"}, {}, {}}, {"ERRMAX", {"ERR_position"}, {}, kKp},
      {"ERRMAXL", {"ERR_position"}, {}, kKp}, {"TERRMAX", {"isPositionControlError", "time_ERR_pos", "Ts_S"}, {}, {}},
      {"SERRMAX", {"ERR_speed"}, {}, kKp | kTs}, {"TSERRMAX", {"isSpeedControlError", "time_ERR_spd", "Ts_S"}, {}, {}},
      {"T1MAXPROT", {}, {}, {}}, {"II2TPROT_M", {"In"}, {}, kKi}, {"SFI2T_M", {"Ts_S", "t_I2t_M"}, {}, {}},
      {"I2TINTLIM_M", {"I_I2t_M", "In"}, {}, kKi},
      {"I2TWARLIM_M", {"I_I2t_M", "In", "t_I2t_M", "II2TWARLIM_D"}, {}, kKi},
      {"SWNEGLS", {"isSWLS", "Negative_SWLS", "SWPOSLS"}, {}, kKp},
      {"SWPOSLS", {"isSWLS", "Positive_SWLS", "SWNEGLS"}, {}, kKp}, {"CACC", {"ErefMaxAcceleration"}, {}, kKp | kTs},
      {"CSPD", {"ErefMaxSpeed"}, {}, kKp | kTs}, {"CADIN", With(kAnalogueFeature, {"SFTADIN"}), {}, kXadin},
      {"SFTADIN", With(kAnalogueFeature, {"CADIN"}), {}, kXadin},
      {"AD5OFF", With(kAnalogueFeature, {"ControlMode", "POS_min"}), {}, kKp},
      {"FILTER1", With(kAnalogueFeature, {"UseFilter", "filter", "Ts_S"}), {}, {}},
      {"LEVEL_AD5", With(kAnalogueFeature, {"DeadBand_Point", "AnalogueInputsRange"}), {}, {}},
      {"E_LEVEL_AD5", With(kAnalogueFeature, {"DeadBand_Range", "AnalogueInputsRange"}), {}, {}},
      {"GEAR", {"GEARSLAVE", "GEARMASTER"}, {}, {}}, {"T1ONA", {"time_AB", "UPGRADE"}, {}, {}},
      {"T1ONB", {"time_AB", "UPGRADE"}, {}, {}},
      {"REFTST", {"PWM_freq", "Vdc", "In", "R", "MotorPhaseConnectionType", "StartCurrent"}, {}, kKv | kTdead},
      {"RINCTST", {"REFTST", "time_AB"}, {"rise_time_AB"}, kTs},
      {"ELRESL", {"MotorSensorType", "TransmissionType", "No_encoder_lines", "pp"}, {}, {}},
      {"BRAKELIM", {"Vbrake"}, {}, kKdc},
      {"DIGIN_ACTIVE_LEVEL", {"EnablePolarity", "LSNPolarity", "LSPPolarity"}, {}, {}, 0xE000},
      {"UPGRADE", {"isLimitMaximum", "LoadSensorType", "MotorSensorType"}, {"PosSpd_in_FastLoop"}, {}, 0x8000},
      {"LSS_Active", {"save_axis_id", "save_CAN_baudrate"}, {}, {}},
      {"COUNTINGDIR_MT", With(kSensors, {"ReverseCounting_MT"}), {}, {}},
      {"COUNTINGDIR_LD", With(kSensors, {"ReverseCounting_MT"}), {}, {}},
      {"QUAL", {"isFilterEnc_MT", "FilterEncValue_MT", "isFilterEnc_LD", "FilterEncValue_LD"}, {}, {}},
      {"QUAL_ACT", kFilterFeature, {}, {}, 0xFF0000}, {"QUAL_AQ2", kFilterFeature, {}, {}, 0xCF00},
      {"QUAL_BCT", kFilterFeature, {}, {}, 0xFF0000}, {"QUAL_BQ2", kFilterFeature, {}, {}, 0x3F000},
      {"BRAKECFG", {"isMotorBrake", "MotorBrake_output"}, {}, {}},
      {"BRAKEAPPLYDELAY", {"BRAKECFG", "isMotorBrake", "MotorBrake_applytime", "Ts_S"}, {}, {}},
      {"BRAKERELEASEDELAY", {"BRAKECFG", "isMotorBrake", "MotorBrake_releasetime", "Ts_S"}, {}, {}},
      {"POSOKLIM_FC", {"TONPOSOK_FC", "FreezeControl_errband"}, {}, kKp},
      {"TONPOSOK_FC", {"POSOKLIM_FC", "FreezeControl_time", "Ts_S"}, {}, {}},
      {"TRANSMISSION", {"LoadSensorType", "Motor_transmission", "Load_transmission"}, {}, {}},
      {"DBTTH", {"LoadSensorType", "TransmissionType", "LHResolution", "pp"}, {}, {}},
      {"ABSTART_MINMOVE", {"MotorSensorType", "TransmissionType", "No_encoder_lines", "pp"},
       {"ABSTART_MINMOVE_PERCENT"}, {}},
  };
  for (const auto& [gain, pairs] : std::map<std::string, Names>{
           {"Kp_C_scl", {"KPI", "SFTKPI"}}, {"Ki_C_scl", {"KII", "SFTKII"}}, {"Kp_S_scl", {"KPS", "SFTKPS"}},
           {"Ki_S_scl", {"KIS", "SFTKIS"}}, {"Kp_P_scl", {"KPP", "SFTKPP"}}, {"Ki_P_scl", {"KIP", "SFTKIP"}},
           {"Kd_P_scl", {"KDP", "SFTKDP"}}, {"KFFS_scl", {"KFFS", "SFTSFFW"}}}) {
    for (const std::string& reg : pairs) r.push_back({reg, {gain}, {}, {}});
  }
  r.push_back({"KPTHT", {"Kp_T_scl"}, {}, {}});
  r.push_back({"SFTKPTHT", {"Kp_T_scl", "KPTHT"}, {}, {}});
  r.push_back({"KITHT", {"Ki_T_scl", "KPTHT"}, {}, {}});
  r.push_back({"SFTKITHT", {"Ki_T_scl", "KPTHT"}, {}, {}});
  // Filter 1 in slot 1 of the speed controller's output; the other slots cleared.
  const Names filterOne = {"BQFilter1", "BQFilterLocation1"};
  for (const char* count : {"SPDREF_BQ_INI", "IQREF_BQ_INI", "ASPD_BQ_INI"}) {
    r.push_back({count, {"IQREF_BQ_INI"}, filterOne, {}});
  }
  for (const char* field : {"B0", "B1", "B2", "A1", "A2", "SF"}) {
    r.push_back({std::string("BQ1") + field, {"IQREF_BQ_INI", "Ts_S", "BQFilterType1", "BQFilterQ1", "BQFilterF11"},
                 filterOne, {}});
    for (const char* slot : {"BQ2", "BQ3", "BQ4"}) r.push_back({slot + std::string(field), {"IQREF_BQ_INI"}, {}, {}});
  }
  return r;
}

// The registers, each also converting through the scales of the drive-scaled parameters it reads.
const std::vector<Register>& Table() {
  static const std::vector<Register> table = [] {
    const CMC_Setup setup = test_support::Scaled(LoadDefaultSetup());
    std::vector<Register> registers = Registers();
    for (Register& r : registers) {
      for (const std::string& need : r.needs) {
        if (const CMC_Parameter* p = setup.FindParameter(need)) r.scales |= ScalesOfUnit(*p);
      }
    }
    return registers;
  }();
  return table;
}

bool Contains(const Names& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

const Register* Find(const std::string& name) {
  for (const Register& r : Table()) {
    if (r.name == name) return &r;
  }
  return nullptr;
}

// Whether the register computes from the removed parameter through a scale or through another
// register that the removed parameter leaves stale: it is then computed, from a stale input.
// Registers that read each other (the two software limits) end the search at its depth.
bool ReadsStale(const Register& reg, const std::string& removed, int depth = 0) {
  if (depth > 4) return false;
  if (!Contains(reg.needs, removed) && ScalesRead(reg.scales, removed)) return true;
  Names inputs = reg.needs;
  for (const auto& [scale, more] : kScaleInputs) {
    if ((reg.scales & scale) != 0) inputs.insert(inputs.end(), more.begin(), more.end());
  }
  for (const std::string& input : inputs) {
    const Register* source = Find(input);
    if (source != nullptr && (Contains(source->needs, removed) || ReadsStale(*source, removed, depth + 1))) {
      return true;
    }
  }
  return false;
}

std::uint64_t Bits(const CMC_Setup& setup, const std::string& name) {
  return std::bit_cast<std::uint64_t>(setup.GetParameterValueInInternalUnit(name));
}

// The default setup with every register holding a value that the computation would not give:
// the always-owned bits of a bit field flipped, other registers moved.
CMC_Setup Disturbed() {
  CMC_Setup setup = test_support::Scaled(LoadDefaultSetup());
  for (const Register& r : Table()) {
    CMC_Parameter* p = setup.FindParameter(r.name);
    const double old = p->GetValueInInternalUnit();
    if (r.owned != 0) {
      p->SetValueInInternalUnit(static_cast<double>(static_cast<std::int64_t>(old) ^ r.owned));
      continue;
    }
    for (const double candidate : {old * 1.375 + 3.0, old * 0.5 - 3.0, old - 1.0}) {
      p->SetValueInInternalUnit(candidate);
      if (p->GetValueInInternalUnit() != old) break;
    }
  }
  return setup;
}

std::map<std::string, std::uint64_t> Snapshot(const CMC_Setup& setup) {
  std::map<std::string, std::uint64_t> values;
  for (const Register& r : Table()) values[r.name] = Bits(setup, r.name);
  return values;
}

CMC_Setup Computed(CMC_Setup setup) {
  const drivebase::ErrorReportingOff quiet;  // a missing parameter is reported, as it should be
  ComputeAllRegisters(&setup);
  return setup;
}

Names RemovedNames() {
  std::set<std::string> names;
  for (const Register& r : Table()) {
    names.insert(r.name);
    names.insert(r.needs.begin(), r.needs.end());
    names.insert(r.optional.begin(), r.optional.end());
  }
  for (const auto& [scale, inputs] : kScaleInputs) names.insert(inputs.begin(), inputs.end());
  return {names.begin(), names.end()};
}

TEST(ComputeSweep, EveryRegisterIsComputedFromTheFullSetup) {
  const CMC_Setup disturbed = Disturbed();
  const auto before = Snapshot(disturbed);
  const CMC_Setup computed = Computed(disturbed);
  for (const Register& r : Table()) {
    EXPECT_NE(Bits(computed, r.name), before.at(r.name)) << r.name << " was not computed";
    EXPECT_EQ(Bits(computed, r.name), Bits(test_support::Scaled(LoadDefaultSetup()), r.name))
        << r.name << " differs from the default setup";
  }
}

class MissingSource : public ::testing::TestWithParam<std::string> {};

TEST_P(MissingSource, LeavesOnlyTheRegistersThatNeedIt) {
  const std::string& removed = GetParam();
  const CMC_Setup disturbed = Disturbed();
  const auto before = Snapshot(disturbed);
  const auto reference = Snapshot(Computed(disturbed));
  CMC_Setup partial = disturbed;
  ASSERT_TRUE(partial.RemoveParameter(removed)) << removed;
  const CMC_Setup computed = Computed(partial);
  for (const Register& r : Table()) {
    if (r.name == removed || Contains(r.optional, removed) || ReadsStale(r, removed)) continue;
    if (Contains(r.needs, removed)) {
      EXPECT_EQ(Bits(computed, r.name), before.at(r.name)) << r.name << " computed without " << removed;
    } else {
      EXPECT_EQ(Bits(computed, r.name), reference.at(r.name)) << r.name << " not computed without " << removed;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DefaultSetup, MissingSource, ::testing::ValuesIn(RemovedNames()),
                         [](const auto& test) { return test.param; });

}  // namespace
}  // namespace kestrel
