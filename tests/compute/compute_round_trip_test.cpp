// Compute, derive, compute: the registers come back unchanged, and a user-level value that a
// register holds comes back within one count of that register.
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compute/derivation.h"
#include "compute/options.h"
#include "compute/parameter_limits.h"
#include "compute/registers.h"
#include "compute/setup_access.h"
#include "reported_errors.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledSetupFile;

// Every register that ComputeAllRegisters writes.
std::vector<std::string> RegisterNames() {
  std::vector<std::string> names = {
      "PWMPER", "T2MAXPROT", "UMAXPROT", "UMINPROT", "II2TPROT_D", "SFI2T_D", "I2TINTLIM_D", "II2TWARLIM_D", "SATPWM",
      "MECRESL", "ENC2THL", "MTSTYPE", "AAR_table", "SCR", "OSR", "ASR", "PCR", "ACR", "SFTKPI", "KPI", "SFTKII", "KII",
      "SATID", "SATIQ", "FILTERQ", "FFL", "KFFL", "SFTKPS", "KPS", "SFTKIS", "KIS", "IMAXS", "SATS", "SFTKPP", "KPP",
      "SFTKIP", "KIP", "SFTKDP", "KDP", "KDFP", "SFTKPTHT", "KPTHT", "SFTKITHT", "KITHT", "IMAXP", "SATP", "SFTSFFW",
      "KFFS", "SFTAFFW", "SFTKFF", "KFFA", "IMAXPROT", "TIMAXPROT", "ERRMAX", "ERRMAXL", "TERRMAX", "SERRMAX",
      "TSERRMAX", "T1MAXPROT", "II2TPROT_M", "SFI2T_M", "I2TINTLIM_M", "I2TWARLIM_M", "SWNEGLS", "SWPOSLS", "CACC",
      "CSPD", "CADIN", "SFTADIN", "AD5OFF", "FILTER1", "LEVEL_AD5", "E_LEVEL_AD5", "GEAR", "T1ONA", "T1ONB", "REFTST",
      "RINCTST", "ELRESL", "BRAKELIM", "DIGIN_ACTIVE_LEVEL", "UPGRADE", "LSS_Active", "COUNTINGDIR_MT",
      "COUNTINGDIR_LD", "QUAL", "QUAL_ACT", "QUAL_AQ2", "QUAL_BCT", "QUAL_BQ2", "BRAKECFG", "BRAKEAPPLYDELAY",
      "BRAKERELEASEDELAY", "POSOKLIM_FC", "TONPOSOK_FC", "TRANSMISSION", "ELRES_FRACT", "DBTTH", "SSITURNS", "SSIREV",
      "SSITYPE", "SSIBR", "SSISENSE", "SSIFDBKTYPE", "ZAOFF", "SPICLKMODE", "AEI_CLKDIV", "AEI_PER", "AEI_CMPTIME",
      "SPDREF_BQ_INI", "IQREF_BQ_INI", "ASPD_BQ_INI", "ABSTART_MINMOVE"};
  for (int slot = 1; slot <= 9; ++slot) {
    for (const char* field : {"B0", "B1", "B2", "A1", "A2", "SF"}) names.push_back("BQ" + std::to_string(slot) + field);
  }
  return names;
}

using Registers = std::map<std::string, std::uint64_t>;

Registers Read(const CMC_Setup& setup) {
  Registers values;
  for (const std::string& name : RegisterNames()) {
    if (const CMC_Parameter* p = FindOptionalParameter(&setup, name)) {
      values[name] = std::bit_cast<std::uint64_t>(p->GetValueInInternalUnit());
    }
  }
  return values;
}

// The registers whose values differ, for the failure message; empty when all agree.
// The warning limits of the I2t protections are computed from the limit current and time, which
// come back through their own registers.
const std::set<std::string> kComputedFromHeldValues = {"II2TWARLIM_D", "I2TWARLIM_M"};

std::string Changed(const Registers& before, const Registers& after, bool settled = true) {
  std::string names;
  for (const auto& [name, value] : after) {
    if (before.at(name) != value && (settled || kComputedFromHeldValues.count(name) == 0)) names += " " + name;
  }
  return names;
}

const std::vector<std::string> kSetups = {"default", "linear", "sincos", "linear_hall", "ssi",
                                          "biss", "resolver", "dual_loop", "minimal"};

class RoundTrip : public ::testing::TestWithParam<std::string> {};

// Every name that the computations look up is in the setup: none is reported missing.
TEST_P(RoundTrip, EverySetupIsAFixedPoint) {
  const test_support::ReportedErrors reported;
  CMC_Setup setup = ScaledSetupFile(GetParam());
  const Registers stored = Read(setup);
  ComputeAllRegisters(&setup);
  EXPECT_EQ(Changed(stored, Read(setup)), "");
  DeriveParametersFromRegisters(&setup);
  ComputeAllRegisters(&setup);
  EXPECT_EQ(Changed(stored, Read(setup)), "");
  ComputeParameterLimits(&setup);
  ComputeOptions(&setup);
  EXPECT_EQ(reported, std::vector<std::string>());
}

// A user-level value and the register that holds it.
struct Held {
  const char* user;
  const char* reg;
};

constexpr Held kHeld[] = {
    {"UMAX_PROT", "UMAXPROT"}, {"UMIN_PROT", "UMINPROT"}, {"Vbrake", "BRAKELIM"}, {"Temp_2", "T2MAXPROT"},
    {"I_I2t_D", "I2TINTLIM_D"}, {"t_I2t_D", "SFI2T_D"}, {"I_I2t_M", "I2TINTLIM_M"}, {"t_I2t_M", "SFI2T_M"},
    {"Imax_Prot", "IMAXPROT"}, {"time_Imax_Prot", "TIMAXPROT"},
    {"ERR_position", "ERRMAXL"},  // the 32-bit limit where the drive has one
    {"ERR_position", "ERRMAX"}, {"time_ERR_pos", "TERRMAX"}, {"ERR_speed", "SERRMAX"}, {"time_ERR_spd", "TSERRMAX"},
    {"IlimPS", "SATS"}, {"IPSatS", "IMAXS"}, {"IPSatP", "IMAXP"}, {"Limit_Speed", "SATP"}, {"filter_D", "KDFP"},
    {"filter", "FILTER1"}, {"OffsetCurrent", "FFL"}, {"Negative_SWLS", "SWNEGLS"}, {"Positive_SWLS", "SWPOSLS"},
    {"ErefMaxSpeed", "CSPD"}, {"ErefMaxAcceleration", "CACC"}, {"FreezeControl_errband", "POSOKLIM_FC"},
    {"FreezeControl_time", "TONPOSOK_FC"}, {"MotorBrake_applytime", "BRAKEAPPLYDELAY"},
    {"MotorBrake_releasetime", "BRAKERELEASEDELAY"}, {"DeadBand_Point", "LEVEL_AD5"}, {"DeadBand_Range", "E_LEVEL_AD5"},
    {"StartCurrent", "REFTST"}, {"time_AB", "T1ONA"}, {"Kp_C_scl", "KPI"}, {"Ki_C_scl", "KII"}, {"Kp_S_scl", "KPS"},
    {"Ki_S_scl", "KIS"}, {"Kp_P_scl", "KPP"}, {"Ki_P_scl", "KIP"}, {"Kd_P_scl", "KDP"}, {"Kp_T_scl", "KPTHT"},
    {"Ki_T_scl", "KITHT"}, {"KFFS_scl", "KFFS"}, {"KFFA_scl", "KFFA"}, {"Axis_ID_list", "AAR_table"},
    {"SSI_Offset", "ZAOFF"},
};

// A value 3.7 % away from the present one, on whichever side the limits leave room.
bool Perturb(CMC_Parameter& p) {
  const double old = p.GetValueInBaseUnit();
  const double step = old != 0.0 ? 0.037 * std::fabs(old) : 0.037 * std::fmin(p.GetMaxInBaseUnit(), 10.0);
  for (const double candidate : {old + step, old - step}) {
    if (candidate >= p.GetMinInBaseUnit() && candidate <= p.GetMaxInBaseUnit() && candidate != old) {
      return p.SetValueInBaseUnit(candidate);
    }
  }
  return false;
}

TEST_P(RoundTrip, HeldValuesComeBackWithinOneCount) {
  const CMC_Setup stored = ScaledSetupFile(GetParam());
  const Registers storedRegisters = Read(stored);
  std::set<std::string> checked;
  for (const Held& held : kHeld) {
    CMC_Setup setup = stored;
    CMC_Parameter* user = setup.FindParameter(held.user);
    if (checked.count(held.user) != 0 || user == nullptr || setup.FindParameter(held.reg) == nullptr) continue;
    if (!Perturb(*user)) continue;
    const double wanted = user->GetValueInBaseUnit();
    ComputeAllRegisters(&setup);
    const Registers computed = Read(setup);
    if (computed.at(held.reg) == storedRegisters.at(held.reg)) continue;  // not held in this setup
    DeriveParametersFromRegisters(&setup);
    const double back = setup.GetParameterValueInBaseUnit(held.user);
    CMC_Setup oneCountUp = setup;
    ComputeAllRegisters(&setup);
    EXPECT_EQ(Changed(computed, Read(setup), false), "") << "after a change of " << held.user;
    // A register computed from values that come back through other registers settles one round later.
    const Registers settled = Read(setup);
    DeriveParametersFromRegisters(&setup);
    ComputeAllRegisters(&setup);
    EXPECT_EQ(Changed(settled, Read(setup)), "") << "after a change of " << held.user;
    CMC_Parameter* reg = oneCountUp.FindParameter(held.reg);
    reg->SetValueInInternalUnit(reg->GetValueInInternalUnit() + 1.0);
    DeriveParametersFromRegisters(&oneCountUp);
    const double count = std::fabs(oneCountUp.GetParameterValueInBaseUnit(held.user) - back);
    EXPECT_LE(std::fabs(back - wanted), count * (1 + 1e-9)) << held.user << " through " << held.reg;
    checked.insert(held.user);
  }
  EXPECT_GE(checked.size(), GetParam() == "minimal" ? 5u : 30u);
}

INSTANTIATE_TEST_SUITE_P(Setups, RoundTrip, ::testing::ValuesIn(kSetups),
                         [](const auto& test) { return test.param; });

// Every flag that a register bit, or one value of a register, holds: flipped, computed into its
// register and derived back with its value and limits disturbed, it comes back as a flag. Some
// need a setting under which their register holds them.
struct FlagCase {
  const char* setupFile;
  const char* flag;
  std::vector<std::pair<const char*, double>> first;
};

std::vector<FlagCase> Flags() {
  std::vector<FlagCase> flags = {
      {"default", "DigitalReferenceType", {{"ExternalReference", 1}, {"isAnalogueReference", 0}}},
      {"default", "isCompensateGravitationalLoads", {{"OffsetCurrent", 0.5}}},
      {"ssi", "SSI_isMultiTurn", {}}, {"ssi", "SSI_isGray", {}}};
  for (const char* flag :
       {"isMotorTemperatureSensor", "isDriveTemperatureSensor", "CommutationMethod", "isOverCurrent", "isMotori2t",
        "isMotorOverTemp", "isDriveOverTemp", "isOverVoltage", "isUnderVoltage", "isDriveI2t",
        "IsAutoActivatedAfterPowerOn", "PosSpd_in_FastLoop", "isLimitMaximum", "isBrakeResistor", "isSWLS",
        "InputsPolarityType", "EnablePolarity", "LSPPolarity", "LSNPolarity", "save_CAN_baudrate", "save_axis_id",
        "isMotorBrake", "ExternalReference", "isUseFilterOnCrtCtrlOutput", "UseFilter", "isPositionControlError",
        "isSpeedControlError"}) {
    flags.push_back({"default", flag, {}});
  }
  return flags;
}

TEST(FlagRoundTrip, EveryFlagComesBackFromItsRegister) {
  for (const FlagCase& c : Flags()) {
    CMC_Setup setup = ScaledSetupFile(c.setupFile);
    for (const auto& [name, value] : c.first) ASSERT_TRUE(setup.SetParameterValueInBaseUnit(name, value)) << name;
    CMC_Parameter* p = setup.FindParameter(c.flag);
    ASSERT_NE(p, nullptr) << c.flag;
    const double was = p->GetValueInBaseUnit();
    ASSERT_TRUE(p->SetValueInBaseUnit(1.0 - was)) << c.flag;
    ComputeAllRegisters(&setup);
    p->SetValueInBaseUnit(was);
    p->SetMaxInBaseUnit(5.0);
    DeriveParametersFromRegisters(&setup);
    EXPECT_EQ(p->GetValueInBaseUnit(), 1.0 - was) << c.flag;
    EXPECT_EQ(p->GetMinInBaseUnit(), 0.0) << c.flag;
    EXPECT_EQ(p->GetMaxInBaseUnit(), 1.0) << c.flag;
  }
}

}  // namespace
}  // namespace kestrel
