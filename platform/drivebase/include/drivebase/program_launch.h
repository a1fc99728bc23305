// Launching drive programs the way a commissioning test does, and reading and writing their
// user variables: the operations behind the test dialog's ExecuteCode, SetUserVariableValue and
// GetUserVariableValue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drivebase/comm.h"
#include "drivebase/program_image.h"
#include "drivebase/setup.h"

namespace drivebase {

// Whether a setup parameter is a drive register, sent to the drive at every launch: its name is
// written in capitals (letters, digits, underscores; at least one letter) and is longer than
// one character. The single capitals K, R, L and M are the motor's data, which the drive does not
// hold; mixed-case names are the user-level parameters.
bool IsDriveRegisterName(std::string_view name);

// Every register of the setup with its internal value and size, in the setup's order.
std::vector<DriveValue> SetupRegisters(const CMC_Setup& setup);
// The setup values the drive keeps in its configuration rather than in registers: the feedback
// input of each sensor, the sin/cos interpolation of each side and the analogue input's range.
// Those the setup holds, in internal units.
std::vector<DriveValue> SetupConfiguration(const CMC_Setup& setup);

// Launches the program: the setup's registers to the drive, then the image's variables (their
// initial values without an image) to program memory, the latched errors cleared and the
// program started with the logger when one is given. With an image, the image must be loaded
// and be that program's. False with CMC_Comm::GetLastErrorText when the launch fails.
bool ExecuteProgram(const CMC_Setup& setup, std::string_view program, CMC_CoffFormat* image,
                    const LoggerSettings* logger);

// A user variable of the program. Before the image is launched its values are the image's;
// from the launch until the next launch they are the drive's program memory. The value is the
// word of program memory (kNoValue: the program has not written it). False with error filled
// when the variable is unknown or the drive cannot be reached.
bool SetUserVariable(CMC_CoffFormat& image, std::string_view name, double value, std::string& error);
bool GetUserVariable(const CMC_CoffFormat& image, std::string_view name, double& value, std::string& error);

}  // namespace drivebase
