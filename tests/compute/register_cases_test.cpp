// Registers worked by hand, read from the case files in cases/: each case puts its inputs on the
// demo drive (with the file's base parameters), primes the register with -1, runs the register's
// routine and compares. A case expecting -1 is one where the routine leaves the register alone.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "case_file.h"
#include "compute/registers.h"
#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::Put;
using Routine = std::function<bool(CMC_Setup*)>;

const std::map<std::string, Routine>& Routines() {
  static const std::map<std::string, Routine> routines = {
      {"PWMPER", ComputePWMPER}, {"T2MAXPROT", ComputeT2MAXPROT}, {"UMAXPROT", ComputeUMAXPROT},
      {"UMINPROT", ComputeUMINPROT}, {"BRAKELIM", ComputeBRAKELIM}, {"SATPWM", ComputeSATPWM},
      {"MTSTYPE", ComputeMTSTYPE}, {"AAR_table", ComputeAAR_table}, {"FILTERQ", ComputeFILTERQ}, {"FFL", ComputeFFL},
      {"KDFP", ComputeKDFP}, {"IMAXS", ComputeIMAXS}, {"SATS", ComputeSATS}, {"IMAXP", ComputeIMAXP},
      {"SATP", ComputeSATP}, {"IMAXPROT", ComputeIMAXPROT}, {"TIMAXPROT", ComputeTIMAXPROT},
      {"TERRMAX", ComputeTERRMAX}, {"SERRMAX", ComputeSERRMAX}, {"TSERRMAX", ComputeTSERRMAX},
      {"SWNEGLS", ComputeSWNEGLS}, {"SWPOSLS", ComputeSWPOSLS}, {"CACC", ComputeCACC}, {"CSPD", ComputeCSPD},
      {"FILTER1", ComputeFILTER1}, {"LEVEL_AD5", ComputeLEVEL_AD5}, {"E_LEVEL_AD5", ComputeE_LEVEL_AD5},
      {"GEAR", ComputeGEAR}, {"REFTST", ComputeREFTST}, {"RINCTST", ComputeRINCTST},
      {"POSOKLIM_FC", ComputePOSOKLIM_FC}, {"TONPOSOK_FC", ComputeTONPOSOK_FC},
      {"TRANSMISSION", ComputeTRANSMISSION}, {"LSS_Active", ComputeLSS_Active}, {"MECRESL", ComputeMECRESL},
      {"ENC2THL", ComputeENC2THL}, {"ELRESL", ComputeELRESL}, {"ELRES_FRACT", ComputeELRES_FRACT},
      {"DBTTH", ComputeDBTTH}, {"ABSTART_MINMOVE", ComputeABSTART_MINMOVE},
      {"ERRMAX", [](CMC_Setup* s) { return ComputeERRMAX(s, "ERRMAX"); }},
      {"ERRMAXL", [](CMC_Setup* s) { return ComputeERRMAX(s, "ERRMAXL"); }},
      {"T1ONA", [](CMC_Setup* s) { return ComputeT1ON(s, "T1ONA"); }},
      {"T1ONB", [](CMC_Setup* s) { return ComputeT1ON(s, "T1ONB"); }},
      {"BRAKEAPPLYDELAY", [](CMC_Setup* s) { return ComputeBrakeDelay(s, "BRAKEAPPLYDELAY", "MotorBrake_applytime"); }},
      {"II2TPROT_D", [](CMC_Setup* s) { return ComputeI2tProtection(s, 'D'); }},
      {"II2TPROT_M", [](CMC_Setup* s) { return ComputeI2tProtection(s, 'M'); }},
      {"SFI2T_D", [](CMC_Setup* s) { return ComputeI2tFactor(s, 'D'); }},
      {"I2TINTLIM_D", [](CMC_Setup* s) { return ComputeI2tLimit(s, 'D'); }},
      {"I2TINTLIM_M", [](CMC_Setup* s) { return ComputeI2tLimit(s, 'M'); }},
      {"II2TWARLIM_D", [](CMC_Setup* s) { return ComputeI2tWarning(s, 'D'); }},
      {"I2TWARLIM_M", [](CMC_Setup* s) { return ComputeI2tWarning(s, 'M'); }},
  };
  return routines;
}

struct RegisterCase {
  std::string name;
  nlohmann::json base;
  nlohmann::json data;
};
void PrintTo(const RegisterCase& c, std::ostream* out) { *out << c.name << " (" << c.data.value("why", "") << ")"; }

std::vector<RegisterCase> Cases(const char* file) {
  const nlohmann::json cases = test_support::ReadCaseFile(file);
  std::vector<RegisterCase> result;
  for (const nlohmann::json& c : cases.at("cases")) result.push_back({c.at("name"), cases.at("base"), c});
  return result;
}

void PutAll(CMC_Setup& setup, const nlohmann::json& values) {
  for (const auto& [name, value] : values.items()) Put(setup, name, value.get<double>());
}

class HandWorkedRegister : public ::testing::TestWithParam<RegisterCase> {};

TEST_P(HandWorkedRegister, FromItsInputs) {
  const nlohmann::json& c = GetParam().data;
  const std::string target = c.at("register");
  ASSERT_EQ(Routines().count(target), 1u) << target;
  CMC_Setup setup = test_support::DemoDrive();
  PutAll(setup, GetParam().base);
  PutAll(setup, c.at("inputs"));
  Put(setup, target, -1);
  ASSERT_TRUE(Routines().at(target)(&setup));
  EXPECT_DOUBLE_EQ(setup.GetParameterValueInBaseUnit(target), c.at("expected").get<double>()) << c.at("why");
  const nlohmann::json mins = c.value("min", nlohmann::json::object());
  for (const auto& [name, min] : mins.items()) {
    EXPECT_EQ(setup.FindParameter(name)->GetMinInBaseUnit(), min.get<double>()) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Scalar, HandWorkedRegister, ::testing::ValuesIn(Cases("scalar_registers.json")));
INSTANTIATE_TEST_SUITE_P(Sensor, HandWorkedRegister, ::testing::ValuesIn(Cases("sensor_registers.json")));

}  // namespace
}  // namespace kestrel
