// The catalogue of test programs. Each base name lists the prefixes that have it, the prefixes
// that also have its _LIN variant, and its variable table; every program also has STARTED.
#include "drivesim/catalogue.h"

#include <algorithm>
#include <array>
#include <utility>

namespace drivesim {

namespace {

constexpr std::array<std::string_view, 5> kPrefixOrder{"IE", "SC", "LH", "SSI", "RES"};

struct BaseProgram {
  std::string_view base;
  std::vector<std::string_view> prefixes;
  std::vector<std::string_view> linearPrefixes;
  std::vector<ProgramVariable> variables;
};

ProgramVariable In(std::string name, VariableType type = VariableType::int16) {
  const int words = (type == VariableType::int32 || type == VariableType::fixed16_16) ? 2 : 1;
  return {std::move(name), type, VariableDirection::input, words, 0};
}
ProgramVariable Out(std::string name, VariableType type = VariableType::int16) {
  ProgramVariable v = In(std::move(name), type);
  v.direction = VariableDirection::output;
  return v;
}
ProgramVariable InOut(std::string name, VariableType type = VariableType::int16) {
  ProgramVariable v = In(std::move(name), type);
  v.direction = VariableDirection::in_out;
  return v;
}

std::vector<ProgramVariable> TotalInertiaVariables() {
  return {In("RefTest"), In("RIncTest"), In("In1"), In("LimitSpeedMax", VariableType::int32), In("Imax_Prot_Test"),
          Out("test_flag"), Out("delta_time", VariableType::int32), Out("delta_speed", VariableType::fixed16_16)};
}

// The tuning programs' table: the start references, the program's limit, the protection, the
// profile (counts a0 … a5, slopes b0 … b5) and the multiple-cycle flag. test_flag reads 1 from
// the launch on (the host checks it at every tick of a run that goes on until stopped) and −1
// once the test protection has tripped.
std::vector<ProgramVariable> TuningVariables(ProgramVariable limit) {
  std::vector<ProgramVariable> v{In("RefTest"), In("RIncTest"), std::move(limit), In("Imax_Prot_Test")};
  for (const char* count : {"a0", "a1", "a2", "a3", "a4", "a5"}) v.push_back(In(count, VariableType::uint16));
  for (const char* slope : {"b0", "b1", "b2", "b3", "b4", "b5"}) v.push_back(In(slope, VariableType::fixed16_16));
  v.push_back(In("MultiC"));
  ProgramVariable flag = Out("test_flag");
  flag.initial = 1;
  v.push_back(flag);
  return v;
}

std::vector<BaseProgram> BasePrograms() {
  return {
      {"Speed_Controller_Tuning_Test", {"IE", "SC", "LH", "SSI"}, {"IE"}, TuningVariables(In("IlimPS_Test"))},
      {"Position_Controller_Tuning_Test_with_SpdCtrl", {"IE", "SC", "LH", "SSI"}, {"IE"},
       TuningVariables(In("LimitSpeed_Test", VariableType::int32))},
      {"Position_Controller_Tuning_Test_without_SpdCtrl", {"IE", "SC", "LH", "SSI"}, {"IE"},
       TuningVariables(In("IlimPS_Test"))},
      {"Total_Inertia_Identification_Test", {"IE", "SC", "LH", "SSI"}, {}, TotalInertiaVariables()},
      {"Total_Mass_Identification_Test", {"IE", "SC", "LH"}, {}, TotalInertiaVariables()},
      {"Initial_Positioning_Test", {"IE", "SC", "LH", "SSI"}, {"IE"}, {InOut("In1")}},
      {"Motor_Phase_Connection_Test", {"IE", "SSI"}, {"IE"}, {In("RefTest"), In("RIncTest")}},
      // var_u2 in program memory: the drive's own bus sample would overwrite the program's mean.
      {"Ident_R_or_Rs",
       {"IE", "SC", "LH", "SSI"},
       {"IE"},
       {In("RefTest"), In("RIncTest"), In("In1"), Out("var_u2", VariableType::int32)}},
      {"Ident_L_or_Tau_el", {"IE", "SC", "LH", "SSI"}, {"IE"}, {In("In1")}},
      {"Motor_Pole_Pairs_Detection_Test",
       {"IE", "SC", "LH", "SSI"},
       {},
       {In("RefTest"), In("RIncTest"), Out("poles_pairs")}},
      {"Current_Controller_Tuning_Test",
       {"IE", "SC", "LH", "SSI"},
       {"IE", "SC"},
       {In("RefTest"), In("RIncTest"), In("In1"), In("Imax_Prot_Test"), Out("test_flag")}},
      {"Encoder_Connection_Test", {"IE", "SSI"}, {}, {}},
      {"Encoder_LD_Connection_Test", {"IE"}, {}, {}},
      {"Encoder_Resolution_And_Direction_Test", {"IE", "SC"}, {"SC"}, {In("RefTest"), In("PolesPairs"), Out("H123")}},
      // HALLCASE in program memory: the program's result, apart from the register the drive
      // commutates with.
      {"Hall_Configuration_Detection_Test",
       {"IE"},
       {},
       {In("In1"), In("RefTest"), In("RIncTest"), Out("HALLCASE"), Out("delta_el_pos"), Out("H123")}},
      {"Hall_Signals_Connection_Test", {"IE", "LH"}, {}, {Out("bad"), In("RefTest"), In("RIncTest"), In("run_test")}},
      // HALLCASE: the calibration's status while it runs (0), then its outcome (1, −1, −2).
      {"Detect_Hall_Gain_Offset_Test", {"LH"}, {"LH"}, {In("RefTest"), In("RIncTest"), Out("HALLCASE")}},
      // var_i1 (done) and ZAOFF (the offset) are drive variables.
      {"Encoder_Offset_Detection_Test", {"SSI"}, {}, {In("RefTest"), In("RIncTest")}},
      {"Angle_Controller_Tuning_Test",
       {"IE", "SC"},
       {},
       {In("In1"), In("ReferenceIncrement"), In("TimeLimit", VariableType::uint16), Out("test_flag"), Out("theta_1")}},
      // var_u2 in program memory: the mean of the bus samples, which the drive's own would overwrite.
      {"VDC_Detection_Test", {"IE", "SC", "LH", "SSI"}, {"IE"}, {Out("var_u2", VariableType::int32)}},
      {"Analogue_Reference_Test", {"IE", "SC", "LH", "SSI"}, {"IE"}, {}},
      {"Setup_Resolver_Test", {"RES"}, {}, {In("RefTest"), In("IncTheta")}},
  };
}

std::vector<ProgramDescriptor> Build() {
  std::vector<ProgramDescriptor> all;
  for (std::string_view prefix : kPrefixOrder) {
    for (const BaseProgram& base : BasePrograms()) {
      const auto has = [&](const std::vector<std::string_view>& list) {
        return std::find(list.begin(), list.end(), prefix) != list.end();
      };
      if (!has(base.prefixes)) continue;
      ProgramDescriptor d;
      d.base = std::string(base.base);
      d.prefix = std::string(prefix);
      d.name = d.prefix + "_" + d.base;
      d.variables.push_back(Out("STARTED"));
      d.variables.insert(d.variables.end(), base.variables.begin(), base.variables.end());
      all.push_back(d);
      if (!has(base.linearPrefixes)) continue;
      d.linear = true;
      d.name += "_LIN";
      all.push_back(d);
    }
  }
  return all;
}

}  // namespace

const std::vector<ProgramDescriptor>& ProgramCatalogue() {
  static const std::vector<ProgramDescriptor> catalogue = Build();
  return catalogue;
}

const ProgramDescriptor* FindProgram(std::string_view fullName) {
  for (const ProgramDescriptor& d : ProgramCatalogue()) {
    if (d.name == fullName) return &d;
  }
  return nullptr;
}

}  // namespace drivesim
