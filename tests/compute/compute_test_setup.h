// Small setups for the computation tests: plain real parameters (internal value = base value)
// and setup codes as choices.
#pragma once

#include <initializer_list>
#include <set>
#include <string>
#include <utility>

#include "drivebase/setup.h"
#include "drivebase/value_types.h"

namespace kestrel::test_support {

inline bool IsCode(const std::string& name) {
  static const std::set<std::string> kCodes = {"MotorSensorType", "LoadSensorType", "TransmissionType", "ControlMode",
                                               "CommutationMethod", "MotorSensorConnector", "LoadSensorConnector"};
  return kCodes.count(name) != 0;
}

// A parameter of the setup, added or replaced.
inline void Put(CMC_Setup& setup, const std::string& name, double value) {
  setup.RemoveParameter(name);
  drivebase::ParameterSpec spec;
  spec.name = name;
  spec.type = IsCode(name) ? drivebase::kChoice : drivebase::kReal;
  spec.internal = value;
  setup.AddParameter(spec);
}

inline void Put(CMC_Setup& setup, std::initializer_list<std::pair<const char*, double>> values) {
  for (const auto& [name, value] : values) Put(setup, name, value);
}

inline CMC_Setup MakeSetup(std::initializer_list<std::pair<const char*, double>> values) {
  CMC_Setup setup;
  drivebase::DriveFamilyData family;
  family.adcFullScale = 65472;
  setup.SetDriveFamily(family);
  for (const auto& [name, value] : values) Put(setup, name, value);
  return setup;
}

// The demo drive's timing and power stage: 40 MHz timer, 20 kHz PWM (PWMPER 1000), fast loop
// 10 kHz (CLPER 2, Ts_C 100 us), slow loop 1 kHz (SLPER 20, Ts_S 1 ms), 48 V supply, 87 V at
// full scale of the bus ADC, 10 A peak current, ADC full scale 65472.
inline CMC_Setup DemoDrive() {
  return MakeSetup({{"DSP_freq", 40e6}, {"PWMPER", 1000}, {"CLPER", 2}, {"SLPER", 20},
                    {"Vdc", 48}, {"VdcMaxMeasurable", 87}, {"ImaxPS", 10},
                    {"CommutationMethod", 1}, {"TransmissionType", 0},
                    {"Motor_transmission", 1}, {"Load_transmission", 1},
                    {"MotorSensorType", 1}, {"LoadSensorType", 0}, {"MECRESL", 8000}});
}

}  // namespace kestrel::test_support
