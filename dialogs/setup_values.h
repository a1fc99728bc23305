// How the dialogs read and write the setup's values by name. The dialogs ask for many optional
// parameters (features a drive may lack); these helpers probe without reporting an error.
#pragma once

#include <string_view>

#include "drivebase/setup.h"

namespace kestrel::dialogs {

bool Has(const CMC_Setup* setup, std::string_view name);
// The value in its base unit; `absent` when the setup lacks the parameter.
double Value(const CMC_Setup* setup, std::string_view name, double absent = 0.0);
// A setup code: the base-unit value truncated toward zero; `absent` when the setup lacks it.
int Code(const CMC_Setup* setup, std::string_view name, int absent = 0);
// Sets the value in its base unit when the setup has the parameter; false otherwise.
bool SetValue(CMC_Setup* setup, std::string_view name, double value);

// The option's integer value, `absent` when the option is not set.
int IntOption(const CMC_Setup* setup, std::string_view name, int absent);

// Names compared without regard to case, as the dialogs' reactions compare them.
bool SameName(std::string_view a, std::string_view b);

}  // namespace kestrel::dialogs
