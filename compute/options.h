// The setup's option strings by which the host chooses its drive programs: which loops are
// closed, which sensors measure position, the reference name and the motor type.
#pragma once

#include "drivebase/setup.h"

// Recomputes the options from the control mode, the sensors and the transmission. Returns 0,
// leaving the loop options and everything after them as they were, when ControlMode or
// PositionControlType has a value without closed loops, or when SetReferenceName fails.
int ComputeOptions(CMC_Setup* setup);

// ReferenceName by the deciding sensor (the motor sensor, else the load sensor) and its side:
// incremental encoders "KSTA" rotary, "KSTB" linear; linear Hall sensors "KSTC", "KSTD";
// sine/cosine encoders "KSTE", "KSTB". Any other sensor: 0, nothing set.
int SetReferenceName(CMC_Setup* setup);

// MotorType "Brushless, Rotary" for a rotary motor side, else "Brushless, Linear".
int SetMotorTypeOption(CMC_Setup* setup);

// Outside position control over the speed loop the speed feed-forward is applied: SpeedForward
// := 1 and ACR bit 14 set. 0 when a parameter is missing.
int ForceSpeedFeedForward(CMC_Setup* setup);
