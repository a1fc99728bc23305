// The small readers of the setup's options and optional parameters that the other routines
// use. Each probes with error reporting off: an absent option or parameter reports nothing.
#pragma once

#include <string_view>

#include "drivebase/setup.h"

namespace kestrel {

// The option's leading integer (0 when absent or without one), read without reporting.
int GetIntOptionSilently(const CMC_Setup* setup, std::string_view name);

// The option MaxFilters when it is set (not empty), else 10; callers use at most 9.
int GetMaxFilters(const CMC_Setup* setup);

// The option IsInputsTypeProgrammable when it is set, else -1.
int GetInputsTypeProgrammable(const CMC_Setup* setup);

// 1 when the option's integer value is 1, else 0.
int IsPMSMStartwithHalls(const CMC_Setup* setup);
int IsNewDeadBand(const CMC_Setup* setup);
int HasNegTransmission(const CMC_Setup* setup);
int IsEnablePolarityHidden(const CMC_Setup* setup);

// Optional parameters in their base units, with the value used when they are absent.
double GetAbsoluteStartMinMovePercent(const CMC_Setup* setup);  // ABSTART_MINMOVE_PERCENT, 60
double GetFastLoopMinPeriod(const CMC_Setup* setup);            // Ts_C_min, 0
double GetSlowLoopMinPeriod(const CMC_Setup* setup);            // Ts_S_min, 0

// Features present when both parameters of a pair exist.
bool HasLinearAbsoluteEncoders(const CMC_Setup* setup);  // SSI_Resolution, SSI_Resolution_LD
bool HasI2tWarning(const CMC_Setup* setup);              // II2TWARLIM_D, I2TWARLIM_M

// The analogue reference input: the drive variable and the parameter CADIN both exist.
bool HasAnalogueInput(const CMC_Setup* setup);

}  // namespace kestrel
