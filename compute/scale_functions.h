// The drive computes in integers: positions in sensor counts, speeds in counts per speed-loop
// sample, currents and voltages in ADC or PWM counts, times in loop samples. These functions say
// how many internal units make one SI unit, so that the whole plug-in agrees on one scaling.
// They read the setup's parameters in their base units and do not check them: a zero divisor
// gives the infinite or undefined double that the formula gives.
#pragma once

#include "compute/export.h"
#include "drivebase/setup.h"

// Non-zero while the current-controller tuning or the resistance and inductance identification
// runs: the motor voltage scale then takes its sinusoidal form.
extern "C" KESTREL_EXPORT int g_bKufSinusoidalMode;

// Ts_C = 2 * CLPER * PWMPER / DSP_freq, the current-loop period in s.
double GetCurrentLoopPeriod(const CMC_Setup* setup);
// Ts_S = 2 * SLPER * PWMPER / DSP_freq, the speed-loop period in s.
double GetSpeedLoopPeriod(const CMC_Setup* setup);

// PWM units per volt of motor voltage: 32767 / Vdc for trapezoidal commutation, else (or while
// g_bKufSinusoidalMode is set) 65534 / (1.1 * Vdc).
double GetVoltageScale(const CMC_Setup* setup);
// The sinusoidal form alone, 65534 / (1.1 * Vdc): the scale of every test that drives the motor
// with sinusoidal voltages, whatever the commutation.
double GetSinusoidalVoltageScale(const CMC_Setup* setup);
// ADC counts per volt of DC bus: ADCmax / VdcMaxMeasurable.
double GetDcBusVoltageScale(const CMC_Setup* setup);
// ADC counts per ampere: ADCmax / (2 * ImaxPS).
double GetCurrentScale(const CMC_Setup* setup);

// Speed, acceleration and jerk scales: the position scale times Ts_S, Ts_S^2, Ts_S^3.
double GetLoadSpeedScale(const CMC_Setup* setup);
double GetMotorSpeedScale(const CMC_Setup* setup);
double GetAccelerationScale(const CMC_Setup* setup);
double GetJerkScale(const CMC_Setup* setup);

// MECRESL truncated to 32 bits, divided by 4 (toward zero): encoder lines per revolution.
double GetMotorEncoderLines(const CMC_Setup* setup);

// PWM dead time in s from DBT and DBTPC (both optional).
double GetDeadTime(const CMC_Setup* setup);

// Lowest serial clock (Hz) at which an absolute-encoder read fits in one current-loop period:
// AEI_ReadTime1Mhz * 1e6 / (Ts_C - 1 / DSP_freq - AEI_TransferTime - AEI_GuardTime
// - AEI_ComputeTime).
double GetAbsEncoderBitRate(const CMC_Setup* setup);
// The part of a loop period left for clocking an absolute-encoder read: the period minus one
// clock cycle and the transfer, guard and compute times, in s (zero or less: no clock fits).
double GetAbsEncoderReadWindow(const CMC_Setup* setup, double loopPeriod_s);

// Reference span per count of the analogue input, signed like the load position scale.
double GetAnalogueReferenceScale(const CMC_Setup* setup);

// Shift of the acceleration feed-forward gain KFFA_scl: 0 up to 1, else ceil(log2 KFFA_scl).
double GetAccFeedForwardShift(const CMC_Setup* setup);

// Clock of the serial-encoder interface: DSP2_freq, else DSP_freq, else 60 MHz.
double GetControlFrequency(const CMC_Setup* setup);
