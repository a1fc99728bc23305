// Unit types of the parameters and drive variables, rotary or linear after the transmission:
// motor-side quantities follow the motor side (rotary for TransmissionType 0 and 1), load-side
// quantities the load side (rotary for 0 and 2).
#pragma once

#include "drivebase/setup.h"

// Switches every listed parameter and drive variable that exists; returns 1.
int ComputeUnits(CMC_Setup* setup);
