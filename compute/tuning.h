// Controller tuning: scaled gains (in the drive's internal units) from the motor data, the
// inertia or mass and a requested closed-loop bandwidth w and damping z. Each returns false,
// writing nothing, when a parameter it names is missing; the callers convert the gains into
// their register pairs.
#pragma once

#include "drivebase/setup.h"

// Current loop, a PI controller on the winding R + L s. With tau = L / R, G = R' Kpwm / Iscale
// (R' = R / 3 for a delta connection) and Tc the current-loop period:
//   tau > 4 Tc (pole placement):  Kp = (2 z w tau - 1) G,          Ki = w^2 tau Tc G
//   otherwise (short tau):        Kp = (tau / (2 sqrt2 Tc) - 1) G,  Ki = w Tc G
// Writes Kp_C_scl, then Ki_C_scl.
bool TuneCurrentController(CMC_Setup* setup);

// Speed loop on the inertia X = Jt / K (rotary motor) or PolePitch Mt / Kf (linear motor), with
// T the loop period (Tc when PosSpd_in_FastLoop is set, else Ts) and S = |motor speed scale|:
//   Ki = w^2 T X Iscale / S,  Kp = 2 z w X Iscale / S.
// Writes Ki_S_scl, then Kp_S_scl.
bool TuneSpeedController(CMC_Setup* setup);

// The period T of the speed and position loops: the current loop's (Tc) when PosSpd_in_FastLoop
// is set, else the speed loop's (Ts).
double OuterLoopPeriod(const CMC_Setup* setup);

// The speed loop's plant over one loop period T: the change of the speed (internal units) that
// one internal unit of current makes, T S / (X Iscale) with S as above and X the mechanics' own:
// Jt / K, or Mt / Kf for a linear motor; 0 when a parameter is missing.
double SpeedLoopPlantGain(CMC_Setup* setup);

// Position loop, with P = |load position scale| and S = |motor speed scale| (times the
// transmission ratio in dual loop). Over the speed loop (PositionControlType 1):
//   Ki = w^2 T S / P,  Kp = 2 z w S / P,  Kd = 0;
// directly on the current loop (one real pole at w and a pair with damping z):
//   Ki = w^3 T X Iscale / P,  Kp = (2 z + 1) w^2 X Iscale / P,  Kd = (2 z + 1) w X Iscale / (P T).
// Writes Ki_P_scl, Kp_P_scl, then Kd_P_scl.
bool TunePositionController(CMC_Setup* setup);
