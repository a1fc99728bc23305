// The limits of the user-level parameters that follow from the drive's scaling (k = |position
// scale|, ks = |speed scale|, Ki the current scale, Ts_S the speed-loop period). Each rule is a
// routine of its own, which the dialogs call after an edit; each sets only the limits it names,
// the minimum first, and does nothing (returning 0) when a parameter it needs is missing.
#pragma once

#include "drivebase/setup.h"

// Every rule below in this order; the analogue group only with the analogue input, the
// SSI_Offset rule only with a serial absolute motor encoder, the filter frequencies only when
// the drive has biquad filters (IQREF_BQ_INI).
void ComputeParameterLimits(CMC_Setup* setup);

namespace kestrel {

int LimitResolutionToPolePitch(CMC_Setup* setup);  // Resolution <= PolePitch
int LimitSpeedError(CMC_Setup* setup);             // ERR_speed <= 32767 / ks
int LimitPositionError(CMC_Setup* setup);          // ERR_position <= 32767 / k
int LimitControlErrorTimes(CMC_Setup* setup);      // time_ERR_spd, time_ERR_pos <= 32767 Ts_S
int LimitBandwidths(CMC_Setup* setup);             // PB_C, PB_S, PB_P within their _minim, _maxim
int LimitPositionProfileTimes(CMC_Setup* setup);   // TPP, TNP in Ts_S..65535 Ts_S; TaPP, TaNP from 2 Ts_S
int LimitSpeedProfileTimes(CMC_Setup* setup);      // TPS, TNS, TaPS, TaNS in Ts_S..65535 Ts_S
int LimitTestPosition(CMC_Setup* setup);           // +-32767 min(TaPP, TaNP) / (Ts_S k)
int LimitTestSpeed(CMC_Setup* setup);              // +-min(Limit_Speed, 32767 / ks)
int LimitAngleTestCurrent(CMC_Setup* setup);       // MAX_CURRENT in 0..min(In, InPS), with KPTHT

// The analogue reference input.
int LimitReferenceFilter(CMC_Setup* setup);           // filter <= 1 / (2 Ts_S)
int LimitDeadBandPoint(CMC_Setup* setup);             // by AnalogueInputsRange
int LimitDeadBandRange(CMC_Setup* setup);             // within DeadBand_Point's room
int LimitPositionReferenceRange(CMC_Setup* setup);    // POS_max, then POS_min
int LimitSpeedReferenceRange(CMC_Setup* setup);       // SPD_max, then SPD_min
int LimitCurrentReferenceRange(CMC_Setup* setup);     // CRT_max, then CRT_min

int LimitSerialEncoderOffset(CMC_Setup* setup);  // SSI_Offset <= 2^min(bits, 16) / pp
int LimitBiquadFrequencies(CMC_Setup* setup);    // BQFilterF1n, F2n <= 0.5 / Ts_S, n = 1..min(MaxFilters, 9)

}  // namespace kestrel
