// How the computation engine reads and limits setup parameters.
#pragma once

#include <cstdint>
#include <string_view>

#include "drivebase/drive_family.h"
#include "drivebase/setup.h"

namespace kestrel {

// A register or code as the drive sees it: truncated toward zero to a 32-bit signed integer.
// Values beyond 32 bits keep their low 32 bits; NaN and infinities read as 0.
std::int32_t TruncateToInt32(double value);

// Truncated toward zero to 64 bits, saturating at the ends; NaN and infinities read as 0.
std::int64_t TruncateToInt64(double value);

// A count truncated toward zero, where a value that lies within a billionth of a whole count
// counts as that count: a register read back into a user value and multiplied out again lands
// on either side of its count by rounding, and must not lose a count on each round trip.
double TruncateCount(double value);

// Bit n of a register value truncated to 32 bits: 0 or 1.
int Bit(double value, int n);

// A setup code (sensor type, control mode, ...): the base-unit value truncated to an integer.
int ReadCode(const CMC_Setup* setup, std::string_view name);

// TransmissionType codes: the motor side is rotary for 0 and 1, the load side for 0 and 2; every
// other side is linear.
inline bool IsMotorSideRotary(int transmissionType) { return transmissionType == 0 || transmissionType == 1; }
inline bool IsLoadSideRotary(int transmissionType) { return transmissionType == 0 || transmissionType == 2; }

// Sensor types that count encoder edges: incremental encoders (1 and 9) and sin/cos encoders (3).
inline bool IsEncoderType(int sensorType) { return sensorType == 1 || sensorType == 9 || sensorType == 3; }

// The clocks that a serial encoder of the type can run at, from the host: the BiSS list for
// type 6, else the SSI list (frequencies in kHz, each with its clock-mode code).
drivebase::ClockList SerialEncoderClocks(const CMC_Setup* setup, int sensorType);

// Probing lookups for optional parameters: error reporting is switched off around them.
CMC_Parameter* FindOptionalParameter(const CMC_Setup* setup, std::string_view name);
bool HasParameter(const CMC_Setup* setup, std::string_view name);
bool HasVariable(const CMC_Setup* setup, std::string_view name);
// An optional parameter's value in internal units; 0 when the setup lacks it.
double OptionalInternalValue(const CMC_Setup* setup, std::string_view name);
// Whether the setup's motor is linear (TransmissionType 2 or 3; a setup without it is rotary).
bool IsLinearMotor(const CMC_Setup* setup);
// Whether the drive reads its serial encoder with the BiSS protocol (SSIFDBKTYPE 2).
bool IsBissFeedback(const CMC_Setup* setup);

}  // namespace kestrel

// The range setter of every computation: makes [min, max] the parameter's limits in base units,
// ordering the two writes so that the minimum never passes the maximum on the way. Returns 0,
// changing nothing, when min is above max (or there is no parameter); the value is not touched.
int SetLimitsInBaseUnit(CMC_Parameter* parameter, double min, double max);
