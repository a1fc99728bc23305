// For the missing-parameter sweeps: the scales that a quantity converts through and the
// parameters each scale reads. A quantity whose scale lacks its input is computed from a wrong
// scale, neither left alone nor computed right.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "drivebase/setup.h"

namespace kestrel::test_support {

enum Scale : unsigned {
  kNone = 0,
  kTs = 1,       // speed-loop period
  kTc = 2,       // current-loop period
  kKi = 4,       // current
  kKdc = 8,      // DC-bus voltage
  kKv = 16,      // motor voltage
  kKp = 32,      // position
  kTdead = 64,   // dead time
  kXadin = 128,  // analogue reference span
};

inline const std::map<Scale, std::vector<std::string>> kScaleInputs = {
    {kTs, {"DSP_freq", "PWMPER", "SLPER"}}, {kTc, {"DSP_freq", "PWMPER", "CLPER"}}, {kKi, {"ImaxPS"}},
    {kKdc, {"VdcMaxMeasurable"}}, {kKv, {"Vdc", "CommutationMethod"}},
    {kKp, {"MECRESL", "TransmissionType", "Motor_transmission", "Load_transmission", "MotorSensorType",
           "LoadSensorType"}},
    {kTdead, {"DBT", "DBTPC", "DSP_freq"}},
    {kXadin, {"ControlMode", "POS_max", "POS_min", "MECRESL", "TransmissionType", "Motor_transmission",
              "Load_transmission", "MotorSensorType", "LoadSensorType"}},
};

// The scales of a parameter's own unit: a drive-scaled parameter converts its value through them.
inline unsigned ScalesOfUnit(const CMC_Parameter& parameter) {
  if (!parameter.IsDriveScaled()) return kNone;
  const std::string_view unit = parameter.GetBaseUnitName();
  if (unit == "s") return parameter.GetName() == "Ts_C" ? kTc : kTs;
  if (unit == "A") return kKi;
  if (unit == "V ") return kKdc;
  if (unit == "V") return kKv;
  if (unit == "rad" || unit == "m") return kKp;
  return kKp | kTs;  // speeds and accelerations
}

// The scales named in a case file ("Ts", "Kp", ...).
inline unsigned ScalesNamed(const std::vector<std::string>& names) {
  static const std::map<std::string, Scale> kNames = {{"Ts", kTs}, {"Tc", kTc}, {"Ki", kKi}, {"Kdc", kKdc},
                                                       {"Kv", kKv}, {"Kp", kKp}, {"Tdead", kTdead}, {"Xadin", kXadin}};
  unsigned scales = kNone;
  for (const std::string& name : names) scales |= kNames.at(name);
  return scales;
}

// Whether one of the scales reads the parameter.
inline bool ScalesRead(unsigned scales, const std::string& name) {
  for (const auto& [scale, inputs] : kScaleInputs) {
    if ((scales & scale) != 0 && std::count(inputs.begin(), inputs.end(), name) != 0) return true;
  }
  return false;
}

}  // namespace kestrel::test_support
