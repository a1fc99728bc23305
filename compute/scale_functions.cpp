#include "compute/scale_functions.h"

#include <algorithm>
#include <cmath>

#include "compute/gain_shift.h"
#include "compute/position_scale.h"
#include "compute/setup_access.h"

int g_bKufSinusoidalMode = 0;

namespace {

double Value(const CMC_Setup* setup, std::string_view name) {
  return setup->GetParameterValueInBaseUnit(name);
}

double LoopPeriod(const CMC_Setup* setup, std::string_view divider) {
  return 2.0 * Value(setup, divider) * Value(setup, "PWMPER") / Value(setup, "DSP_freq");
}

double AdcMax(const CMC_Setup* setup) { return static_cast<double>(Compute_ADCMaxValue(setup)); }

}  // namespace

double GetCurrentLoopPeriod(const CMC_Setup* setup) { return LoopPeriod(setup, "CLPER"); }

double GetSpeedLoopPeriod(const CMC_Setup* setup) { return LoopPeriod(setup, "SLPER"); }

double GetVoltageScale(const CMC_Setup* setup) {
  if (kestrel::ReadCode(setup, "CommutationMethod") == 0 && g_bKufSinusoidalMode == 0) {
    return 32767.0 / Value(setup, "Vdc");
  }
  return GetSinusoidalVoltageScale(setup);
}

double GetSinusoidalVoltageScale(const CMC_Setup* setup) { return 65534.0 / (1.1 * Value(setup, "Vdc")); }

double GetDcBusVoltageScale(const CMC_Setup* setup) {
  return AdcMax(setup) / Value(setup, "VdcMaxMeasurable");
}

double GetCurrentScale(const CMC_Setup* setup) {
  return AdcMax(setup) / (2.0 * Value(setup, "ImaxPS"));
}

double GetLoadSpeedScale(const CMC_Setup* setup) {
  return GetLoadPositionScale(setup) * GetSpeedLoopPeriod(setup);
}

double GetMotorSpeedScale(const CMC_Setup* setup) {
  return GetMotorPositionScale(setup) * GetSpeedLoopPeriod(setup);
}

double GetAccelerationScale(const CMC_Setup* setup) {
  const double ts = GetSpeedLoopPeriod(setup);
  return GetLoadPositionScale(setup) * (ts * ts);
}

double GetJerkScale(const CMC_Setup* setup) {
  const double ts = GetSpeedLoopPeriod(setup);
  return GetLoadPositionScale(setup) * (ts * ts * ts);
}

double GetMotorEncoderLines(const CMC_Setup* setup) {
  return kestrel::TruncateToInt32(Value(setup, "MECRESL")) / 4;
}

double GetDeadTime(const CMC_Setup* setup) {
  const CMC_Parameter* dbt = kestrel::FindOptionalParameter(setup, "DBT");
  if (dbt == nullptr) return 0.0;
  const std::int32_t ticks = kestrel::TruncateToInt32(dbt->GetValueInBaseUnit());
  if (ticks == 0) return 0.000001;
  const CMC_Parameter* percent = kestrel::FindOptionalParameter(setup, "DBTPC");
  const double part = percent != nullptr ? percent->GetValueInBaseUnit() / 100.0 : 0.5;
  const int longer = std::max((ticks >> 8) & 0xFF, ticks & 0xFF);
  return longer * part / Value(setup, "DSP_freq");
}

double GetAbsEncoderReadWindow(const CMC_Setup* setup, double loopPeriod_s) {
  return loopPeriod_s - 1.0 / Value(setup, "DSP_freq") - Value(setup, "AEI_TransferTime") -
         Value(setup, "AEI_GuardTime") - Value(setup, "AEI_ComputeTime");
}

double GetAbsEncoderBitRate(const CMC_Setup* setup) {
  return Value(setup, "AEI_ReadTime1Mhz") * 1000000.0 /
         GetAbsEncoderReadWindow(setup, GetCurrentLoopPeriod(setup));
}

double GetAnalogueReferenceScale(const CMC_Setup* setup) {
  const int mode = kestrel::ReadCode(setup, "ControlMode");
  const char* maxName = mode == 0 ? "POS_max" : mode == 1 ? "SPD_max" : "CRT_max";
  const char* minName = mode == 0 ? "POS_min" : mode == 1 ? "SPD_min" : "CRT_min";
  const double span = setup->GetParameterValueInInternalUnit(maxName) -
                      setup->GetParameterValueInInternalUnit(minName);
  const double scale = span * 0.5 * 65536.0 / AdcMax(setup);
  return GetLoadPositionScale(setup) > 0.0 ? scale : -scale;
}

double GetAccFeedForwardShift(const CMC_Setup* setup) {
  return kestrel::GainShift(Value(setup, "KFFA_scl"));
}

double GetControlFrequency(const CMC_Setup* setup) {
  for (const char* name : {"DSP2_freq", "DSP_freq"}) {
    if (const CMC_Parameter* clock = kestrel::FindOptionalParameter(setup, name)) {
      return clock->GetValueInBaseUnit();
    }
  }
  return 60000000.0;
}
