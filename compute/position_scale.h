// Sensor counts per radian (rotary) or metre (linear), for the motor and for the load.
//
// Each sensor type has a motor-sensor and a load-sensor rule; "rotary" and "linear" refer to the
// side that carries the sensor (TransmissionType 0 and 1: motor side rotary; 0 and 2: load side
// rotary). With L = GetMotorEncoderLines and R = Motor_transmission / Load_transmission:
//
//   type  | motor sensor, rotary  | motor, linear        | load sensor, rotary    | load, linear
//   1, 9  | 4 L / 2pi             | 1 / Resolution       | 4 No_encoder_lines_LD / 2pi | 1 / Resolution_LD
//   2     | MECRESL / 2pi         | 2^(16-DBTTH) / PolePitch | Resolution_LD / 2pi | 2^(16-DBTTH) / PolePitch
//   3     | 2 L 2^SINCOS_fract / pi | 2^SINCOS_fract / Resolution | 2 No_encoder_lines_LD 2^SINCOS_fract_LD / pi | 2^SINCOS_fract_LD / Resolution_LD
//   4     | MECRESL (internal) / 2pi, every column
//   5, 6  | 2^SSI_No_Bits_Revolution / 2pi | 1 / SSI_Resolution | 2^SSI_No_Bits_Revolution_LD / 2pi * R | 1 / SSI_Resolution_LD * R
//   other | 1
#pragma once

#include "drivebase/setup.h"

// Counts per load radian or metre: the load sensor's rule, or without a load sensor the motor
// sensor's rule times R (1 without any sensor; types 7, 8 and above 9 take the load rule of 1).
double GetLoadPositionScale(const CMC_Setup* setup);

// Counts per motor radian or metre: the motor sensor's rule, or without a motor sensor the load
// sensor's rule divided by R (types 5 and 6 already carry R; 1 without any sensor; types 7, 8
// and above 9 take the motor rule of 1).
double GetMotorPositionScale(const CMC_Setup* setup);

namespace kestrel {

// 2^SINCOS_fract: an integer shift for settings 0 to 30, and for every other setting the type
// can hold the same power of two computed in floating point, so no setting overflows a shift.
double InterpolationFactor(double sincosFract);

}  // namespace kestrel
