#include "commissioning/program_names.h"

#include <algorithm>
#include <array>
#include <utility>

#include "dialogs/setup_values.h"

namespace kestrel {
namespace {

// The prefixes as bits, so that a row of the table lists its prefixes in one number.
enum Prefix : unsigned { IE = 1, SC = 2, LH = 4, SSI = 8, RES = 16 };
constexpr unsigned kAll = IE | SC | LH | SSI;

// A program and the prefixes for which the drive has it, and those that also have "_LIN".
struct ProgramRow {
  std::string_view base;
  unsigned prefixes;
  unsigned linear;
};

constexpr std::array kPrograms{
    ProgramRow{"Initial_Positioning_Test", kAll, IE},
    ProgramRow{"Ident_R_or_Rs", kAll, IE},
    ProgramRow{"Ident_L_or_Tau_el", kAll, IE},
    ProgramRow{"Current_Controller_Tuning_Test", kAll, IE | SC},
    ProgramRow{"Speed_Controller_Tuning_Test", kAll, IE},
    ProgramRow{"Position_Controller_Tuning_Test_with_SpdCtrl", kAll, IE},
    ProgramRow{"Position_Controller_Tuning_Test_without_SpdCtrl", kAll, IE},
    ProgramRow{"Motor_Phase_Connection_Test", IE | SSI, IE},
    ProgramRow{"Motor_Pole_Pairs_Detection_Test", kAll, 0},
    ProgramRow{"Encoder_Connection_Test", IE | SSI, 0},
    ProgramRow{"Encoder_LD_Connection_Test", IE, 0},
    ProgramRow{"Encoder_Resolution_And_Direction_Test", IE | SC, SC},
    ProgramRow{"Hall_Configuration_Detection_Test", IE, 0},
    ProgramRow{"Hall_Signals_Connection_Test", IE | LH, 0},
    ProgramRow{"Detect_Hall_Gain_Offset_Test", LH, LH},
    ProgramRow{"VDC_Detection_Test", kAll, IE},
    ProgramRow{"Analogue_Reference_Test", kAll, IE},
    ProgramRow{"Total_Inertia_Identification_Test", kAll, 0},
    ProgramRow{"Total_Mass_Identification_Test", IE | SC | LH, 0},
    ProgramRow{"Angle_Controller_Tuning_Test", IE | SC, 0},
    ProgramRow{"Encoder_Offset_Detection_Test", SSI, 0},
    ProgramRow{"Setup_Resolver_Test", RES, 0},
};

unsigned PrefixBit(std::string_view prefix) {
  constexpr std::array<std::pair<std::string_view, unsigned>, 5> kBits{
      {{"IE", IE}, {"SC", SC}, {"LH", LH}, {"SSI", SSI}, {"RES", RES}}};
  const auto it = std::ranges::find(kBits, prefix, &std::pair<std::string_view, unsigned>::first);
  return it == kBits.end() ? 0 : it->second;
}

// The prefix of a sensor type; the load sensor stands in only for the incremental, linear Hall
// and sin/cos types.
std::string_view SensorPrefix(int type, bool loadSensor) {
  switch (type) {
    case 1:
    case 4:
    case 9: return "IE";
    case 2: return "LH";
    case 3: return "SC";
    case 5:
    case 6: return loadSensor ? "" : "SSI";
    default: return "";
  }
}

}  // namespace

std::string ProgramPrefix(const CMC_Setup* setup) {
  const int motorSensor = dialogs::Code(setup, "MotorSensorType");
  if (motorSensor != 0) return std::string(SensorPrefix(motorSensor, false));
  return std::string(SensorPrefix(dialogs::Code(setup, "LoadSensorType"), true));
}

std::string ProgramName(std::string_view prefix, std::string_view baseName, int transmissionType) {
  const auto row = std::ranges::find(kPrograms, baseName, &ProgramRow::base);
  const unsigned bit = PrefixBit(prefix);
  if (bit == 0 || row == kPrograms.end() || (row->prefixes & bit) == 0) return "";
  std::string name = std::string(prefix) + "_" + std::string(baseName);
  const bool linear = transmissionType != 0 && transmissionType != 1;
  if (linear && (row->linear & bit) != 0) name += "_LIN";
  return name;
}

std::string TestProgramName(const CMC_Setup* setup, std::string_view baseName) {
  return ProgramName(ProgramPrefix(setup), baseName, dialogs::Code(setup, "TransmissionType"));
}

}  // namespace kestrel
