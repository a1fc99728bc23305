// The names of the drive's test programs: a prefix for the sensor that the program reads, an
// underscore, the base name, and "_LIN" for the variant of a linear motor or load where one
// exists ("IE_Ident_R_or_Rs_LIN"). Every test takes its program names from here.
#pragma once

#include <string>
#include <string_view>

#include "drivebase/setup.h"

namespace kestrel {

// The prefix of the sensor that the programs read: from MotorSensorType, or from LoadSensorType
// when the motor has no sensor; empty when no program serves that sensor.
std::string ProgramPrefix(const CMC_Setup* setup);

// The program of that base name for the prefix and transmission (TransmissionType 2 and 3 take
// the "_LIN" variant where one exists); empty when the drive has no such program for the prefix.
std::string ProgramName(std::string_view prefix, std::string_view baseName, int transmissionType);

// The program of that base name for the setup's sensors and transmission.
std::string TestProgramName(const CMC_Setup* setup, std::string_view baseName);

}  // namespace kestrel
