#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "compute/derivation.h"
#include "compute/derivation_rule.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"
#include "drivebase/config_line.h"
#include "drivebase/value_types.h"

namespace kestrel {
namespace {

std::string Named(const char* name, EncoderSide side) {
  return side == EncoderSide::kLoad ? std::string(name) + "_LD" : std::string(name);
}

// The sensor codes that a feedback input accepts, from its configuration line.
struct FeedbackInput {
  std::string name;
  std::vector<int> sensorTypes;
};

FeedbackInput ParseInput(std::string_view line) {
  FeedbackInput input;
  ReadEscapedStringFromConfigLine(line, input.name);
  for (std::string sensor; ReadEscapedStringFromConfigLine(line, sensor);) {
    input.sensorTypes.push_back(static_cast<int>(std::strtol(sensor.c_str(), nullptr, 10)));
  }
  return input;
}

}  // namespace

int SensorCodeOfLowField(int scr) {
  switch (scr & 0x207) {
    case 0x000: return 1;
    case 0x001: return 4;
    case 0x002: return 3;
    case 0x003: return 5;
    case 0x004: return 2;
    case 0x005: return 6;
    case 0x202: return 7;
    case 0x206: return 8;
    default: return 0;
  }
}

int SensorCodeOfDualLoopField(int scr) {
  switch (scr & 0x78) {
    case 0x10: return 9;
    case 0x40: return 1;
    case 0x48: return 4;
    case 0x50: return 3;
    case 0x58: return 5;
    case 0x60: return 2;
    case 0x68: return 6;
    case 0x70: return 7;
    case 0x78: return 8;
    default: return 0;
  }
}

int DeriveMotorSensorType(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("MotorSensorType");
  const int scr = in.Code("SCR");
  const bool dualLoop = in.Bit("OSR", 12) == 1;
  if (!in.Complete()) return 0;
  const int code = dualLoop ? SensorCodeOfDualLoopField(scr) : SensorCodeOfLowField(scr);
  return SetRangeAndValue(target, 0.0, setup->GetDLMaxSensorValue(), code);
}

int DeriveLoadSensorType(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("LoadSensorType");
  const int scr = in.Code("SCR");
  const bool dualLoop = in.Bit("OSR", 12) == 1;
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, setup->GetDLMaxSensorValue(),
                          dualLoop ? SensorCodeOfLowField(scr) : 0);
}

namespace {

// The connector bits of SCR: bit 10 belongs to the motor sensor when it is the only sensor,
// else to the load sensor; bit 11 to the other.
int DeriveConnector(CMC_Setup* setup, const char* target, bool motor) {
  RuleInputs in(setup);
  CMC_Parameter* connector = in.Need(target);
  const bool motorOnly = in.Code("MotorSensorType") != 0 && in.Code("LoadSensorType") == 0;
  const int scr = in.Code("SCR");
  if (!in.Complete()) return 0;
  const int bit = (motorOnly == motor) ? 10 : 11;
  return SetRangeAndValue(connector, 0.0, setup->GetDLMaxConnectorValue(), Bit(scr, bit));
}

}  // namespace

int DeriveMotorSensorConnector(CMC_Setup* setup) {
  return DeriveConnector(setup, "MotorSensorConnector", true);
}

int DeriveLoadSensorConnector(CMC_Setup* setup) {
  return DeriveConnector(setup, "LoadSensorConnector", false);
}

int DeriveDigitalReferenceConnector(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("DigitalReferenceConnector");
  const int bit = in.Bit("SCR", 15);
  if (!in.Complete() || SetRangeAndValue(target, 0.0, 1.0, bit) == 0) return 0;
  int noneFree = 0;
  FillDigitalReferenceConnectors(setup, nullptr, noneFree);
  return 1;
}

int FillDigitalReferenceConnectors(CMC_Setup* setup, ConnectorList* list, int& noneFree) {
  RuleInputs in(setup);
  CMC_Parameter* reference = in.Need("DigitalReferenceConnector");
  CMC_Parameter* analogue = in.Need("isAnalogueReference");
  const int motorSensor = in.Code("MotorSensorType");
  const int motorConnector = in.Code("MotorSensorConnector");
  const int loadSensor = in.Code("LoadSensorType");
  const int loadConnector = in.Code("LoadSensorConnector");
  if (!in.Complete()) return 0;

  const int present = TruncateToInt32(reference->GetValueInBaseUnit());
  const std::vector<std::string> lines = setup->GetDLSensorsArray();
  noneFree = 1;
  int last = -1;
  bool presentQualifies = false;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    const FeedbackInput input = ParseInput(lines[static_cast<std::size_t>(i)]);
    const bool readsEncoder = std::any_of(input.sensorTypes.begin(), input.sensorTypes.end(),
                                          [](int code) { return code == 1 || code == 9; });
    const bool taken = (motorSensor != 0 && i == motorConnector) || (loadSensor != 0 && i == loadConnector);
    if (!readsEncoder || taken) continue;
    last = i;
    if (list != nullptr) list->Add(input.name, i);
    if (i == present) {
      presentQualifies = true;
      if (list != nullptr) list->Select(i);
    }
  }
  if (last >= 0) {
    noneFree = 0;
    if (!presentQualifies) {
      if (list != nullptr) list->Select(last);
      reference->SetValueInBaseUnit(last);
    }
  } else if (analogue->GetValueInBaseUnit() == 0.0) {
    analogue->SetValueInBaseUnit(1.0);
  }
  return 1;
}

namespace {

struct CountingInputs {
  bool motorEncoder;
  bool loadEncoder;
  int motorConnector;
  int loadConnector;
  int motorDirection;  // COUNTINGDIR_MT, the register of input 0
  int loadDirection;   // COUNTINGDIR_LD, the register of input 1
};

int DeriveReverseCounting(CMC_Setup* setup, const char* target, bool (*rule)(const CountingInputs&)) {
  RuleInputs in(setup);
  CMC_Parameter* flag = in.Need(target);
  const CountingInputs c{IsEncoderType(in.Code("MotorSensorType")), IsEncoderType(in.Code("LoadSensorType")),
                         in.Code("MotorSensorConnector"), in.Code("LoadSensorConnector"),
                         in.Code("COUNTINGDIR_MT"), in.Code("COUNTINGDIR_LD")};
  if (!in.Complete()) return 0;
  return SetFlag(flag, rule(c));
}

bool MotorCountsBackwards(const CountingInputs& c) {
  if (!c.motorEncoder) return false;
  return (c.motorConnector == 1 && c.loadConnector != 1 && c.loadDirection == 1) ||
         (c.motorConnector != 1 && !c.loadEncoder && c.motorDirection == 1) ||
         (c.motorConnector != 1 && c.loadConnector == 1 && c.motorDirection == 1);
}

bool LoadCountsBackwards(const CountingInputs& c) {
  if (!c.motorEncoder && !c.loadEncoder) return false;
  if (!c.motorEncoder && c.loadConnector != 1 && c.motorDirection == 1) return true;
  if (!c.loadEncoder) return false;
  return (c.motorConnector != 1 && c.loadConnector == 1 && c.loadDirection == 1) ||
         (c.motorConnector == 1 && c.loadConnector != 1 && c.motorDirection == 1);
}

// With a filtered input, QUAL_AQ2 (input A, connector 0) or QUAL_BQ2 (input B) holds a sample
// count; bit b of SCR tells which input the sensor uses.
int DeriveEncoderFilter(CMC_Setup* setup, const char* target, bool motor) {
  RuleInputs in(setup);
  CMC_Parameter* flag = in.Need(target);
  const bool bothSensors = in.Code("MotorSensorType") != 0 && in.Code("LoadSensorType") != 0;
  const double scr = in.Base("SCR");
  const double inputB = in.Base("QUAL_BQ2");
  const double inputA = in.Base("QUAL_AQ2");
  if (!in.Complete()) return 0;
  const int bit = motor && bothSensors ? 11 : 10;
  const bool filtered = Bit(scr, bit) == 1 ? (TruncateToInt64(inputB) & 0x3F000) != 0
                                           : (TruncateToInt32(inputA) & 0xCF00) != 0;
  return SetFlag(flag, filtered);
}

// 2^(16 - DBTTH) counts per pole pitch; per revolution (times pp) on a rotary side.
int DeriveHallResolution(CMC_Setup* setup, const char* target, bool motorSide) {
  RuleInputs in(setup);
  CMC_Parameter* resolution = in.Need(target);
  const double perPitch = std::pow(2.0, 16.0 - in.Base("DBTTH"));
  const int transmission = in.Code("TransmissionType");
  const double pairs = in.Base("pp");
  if (!in.Complete()) return 0;
  const bool rotary = motorSide ? IsMotorSideRotary(transmission) : IsLoadSideRotary(transmission);
  return SetValue(resolution, rotary ? perPitch * pairs : perPitch);
}

}  // namespace

int DeriveReverseCountingMotor(CMC_Setup* setup) {
  return DeriveReverseCounting(setup, "ReverseCounting_MT", &MotorCountsBackwards);
}

int DeriveReverseCountingLoad(CMC_Setup* setup) {
  return DeriveReverseCounting(setup, "ReverseCounting_LD", &LoadCountsBackwards);
}

int DeriveEncoderFilterMotor(CMC_Setup* setup) { return DeriveEncoderFilter(setup, "isFilterEnc_MT", true); }

int DeriveEncoderFilterLoad(CMC_Setup* setup) { return DeriveEncoderFilter(setup, "isFilterEnc_LD", false); }

int DeriveLinearHallResolution(CMC_Setup* setup) {
  return DeriveHallResolution(setup, "LHResolution", true);
}

int DeriveLinearHallResolutionLoad(CMC_Setup* setup) {
  return DeriveHallResolution(setup, "LHResolution_LD", false);
}

int DeriveMultiTurn(CMC_Setup* setup, EncoderSide side) {
  return DeriveFlagUnless(setup, Named("SSI_isMultiTurn", side).c_str(), "SSITURNS", 0.0);
}

int DeriveRevolutionBits(CMC_Setup* setup, EncoderSide side) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(Named("SSI_No_Bits_Revolution", side));
  const double bits = in.Base("SSIREV");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 31.0, bits);
}

int DeriveTurnBits(CMC_Setup* setup, EncoderSide side) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(Named("SSI_No_Bits_Turns", side));
  const double bits = in.Base("SSITURNS");
  if (!in.Complete()) return 0;
  return SetRangeAndValue(target, 0.0, 32.0, bits);
}

int DeriveGrayCode(CMC_Setup* setup, EncoderSide side) {
  return DeriveFlagUnless(setup, Named("SSI_isGray", side).c_str(), "SSITYPE", 0.0);
}

int DeriveReverseSerial(CMC_Setup* setup, EncoderSide side) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(Named("SSI_isReverseCounting", side));
  const double sense = in.Base("SSISENSE");
  if (!in.Complete()) return 0;
  return SetFlag(target, sense == -1.0);
}

int DeriveSerialEncoderOffset(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SSI_Offset");
  const double offset = std::trunc(in.Internal("ZAOFF"));
  const double bits = in.Base("SSIREV");
  const double pairs = std::trunc(in.Base("MECRESL") * in.Base("ENC2THL") * std::ldexp(1.0, -32));
  if (!in.Complete()) return 0;
  // N counts per electrical turn; a pole-pair count of 0, or more pole pairs than counts, leaves
  // no turn to reduce the offset to.
  if (pairs == 0.0) return 0;
  const double perTurn = std::trunc(std::pow(2.0, std::min(bits, 16.0)) / pairs);
  if (perTurn == 0.0 || !std::isfinite(perTurn)) return 0;
  return SetValue(target, std::fmod(offset, perTurn));
}

namespace {

// The selectable clock nearest to f: an entry equal to f, else the nearer of the first pair of
// neighbours that brackets f (the lower on a tie), else the first entry. Frequencies in Hz.
double ChooseClock(const std::vector<int>& kHz, double f) {
  if (kHz.size() == 1) return kHz.front() * 1000.0;
  for (std::size_t i = 1; i < kHz.size(); ++i) {
    const double a = kHz[i - 1] * 1000.0;
    const double b = kHz[i] * 1000.0;
    if (a == f || b == f) return f;
    const double low = std::min(a, b);
    const double high = std::max(a, b);
    if (low < f && f < high) return f - low <= high - f ? low : high;
  }
  return kHz.front() * 1000.0;
}

}  // namespace

int DeriveSerialClock(CMC_Setup* setup, EncoderSide side) {
  RuleInputs in(setup);
  const double divider = in.Base("SSIBR");
  CMC_Parameter* target = in.Need(Named("SSI_freq", side));
  const int sensorType = in.Code(side == EncoderSide::kLoad ? "LoadSensorType" : "MotorSensorType");
  if (!in.Complete()) return 0;
  // One word cannot hold a frequency in Hz.
  if (target->GetSizeInWords() == 1) target->ChangeType(drivebase::kReal);

  const double f = GetControlFrequency(setup) / (divider + 1.0);
  const double lowest = GetAbsEncoderBitRate(setup);
  const drivebase::ClockList clocks = SerialEncoderClocks(setup, sensorType);
  if (clocks.kHz.size() != clocks.modes.size() || clocks.kHz.empty()) return 0;
  return SetValue(target, std::max(ChooseClock(clocks.kHz, f), lowest));
}

}  // namespace kestrel
