#include "compute/parameter_limits.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <string>

#include "compute/option_readers.h"
#include "compute/position_scale.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {
namespace {

using Limit = std::optional<double>;
constexpr Limit kUnchanged = std::nullopt;

// Sets the limits given, the minimum first; 0 when the parameter is missing.
int SetLimits(const CMC_Setup* setup, std::string_view name, Limit min, Limit max) {
  CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  if (parameter == nullptr) return 0;
  if (min) parameter->SetMinInBaseUnit(*min);
  if (max) parameter->SetMaxInBaseUnit(*max);
  return 1;
}

// The base-unit value of a parameter that a rule reads, if it exists.
std::optional<double> Read(const CMC_Setup* setup, std::string_view name) {
  const CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  if (parameter == nullptr) return std::nullopt;
  return parameter->GetValueInBaseUnit();
}

// 1 when every rule applied.
int All(std::initializer_list<int> results) {
  return std::all_of(results.begin(), results.end(), [](int r) { return r == 1; }) ? 1 : 0;
}

double PositionCounts(const CMC_Setup* setup) { return std::fabs(GetLoadPositionScale(setup)); }
double SpeedCounts(const CMC_Setup* setup) { return std::fabs(GetLoadSpeedScale(setup)); }

int LimitSampleTimes(CMC_Setup* setup, std::initializer_list<const char*> names, double minSamples) {
  const double ts = GetSpeedLoopPeriod(setup);
  int result = 1;
  for (const char* name : names) result &= SetLimits(setup, name, minSamples * ts, 65535.0 * ts);
  return result;
}

}  // namespace

int LimitResolutionToPolePitch(CMC_Setup* setup) {
  const auto pitch = Read(setup, "PolePitch");
  return pitch ? SetLimits(setup, "Resolution", kUnchanged, *pitch) : 0;
}

int LimitSpeedError(CMC_Setup* setup) {
  return SetLimits(setup, "ERR_speed", kUnchanged, 32767.0 / SpeedCounts(setup));
}

int LimitPositionError(CMC_Setup* setup) {
  return SetLimits(setup, "ERR_position", kUnchanged, 32767.0 / PositionCounts(setup));
}

int LimitControlErrorTimes(CMC_Setup* setup) {
  const double longest = 32767.0 * GetSpeedLoopPeriod(setup);
  return All({SetLimits(setup, "time_ERR_spd", kUnchanged, longest),
              SetLimits(setup, "time_ERR_pos", kUnchanged, longest)});
}

int LimitBandwidths(CMC_Setup* setup) {
  int result = 1;
  for (const std::string loop : {"PB_C", "PB_S", "PB_P"}) {
    const auto lowest = Read(setup, loop + "_minim");
    const auto highest = Read(setup, loop + "_maxim");
    result &= lowest && highest ? SetLimits(setup, loop, *lowest, *highest) : 0;
  }
  return result;
}

int LimitPositionProfileTimes(CMC_Setup* setup) {
  return All({LimitSampleTimes(setup, {"TPP", "TNP"}, 1.0),
              LimitSampleTimes(setup, {"TaPP", "TaNP"}, 2.0)});
}

int LimitSpeedProfileTimes(CMC_Setup* setup) {
  return LimitSampleTimes(setup, {"TPS", "TNS", "TaPS", "TaNS"}, 1.0);
}

int LimitTestPosition(CMC_Setup* setup) {
  const auto up = Read(setup, "TaPP");
  const auto down = Read(setup, "TaNP");
  if (!up || !down) return 0;
  const double travel =
      32767.0 * std::min(*up, *down) / (GetSpeedLoopPeriod(setup) * PositionCounts(setup));
  return SetLimits(setup, "TestPosition", -travel, travel);
}

int LimitTestSpeed(CMC_Setup* setup) {
  const auto limit = Read(setup, "Limit_Speed");
  if (!limit) return 0;
  const double fastest = std::min(*limit, 32767.0 / SpeedCounts(setup));
  return SetLimits(setup, "TestSpeed", -fastest, fastest);
}

int LimitAngleTestCurrent(CMC_Setup* setup) {
  const auto nominal = Read(setup, "In");
  const auto stage = Read(setup, "InPS");
  if (!HasParameter(setup, "KPTHT") || !nominal || !stage) return 0;
  return SetLimits(setup, "MAX_CURRENT", 0.0, std::min(*nominal, *stage));
}

int LimitReferenceFilter(CMC_Setup* setup) {
  return SetLimits(setup, "filter", kUnchanged, 1.0 / (2.0 * GetSpeedLoopPeriod(setup)));
}

int LimitDeadBandPoint(CMC_Setup* setup) {
  const auto range = Read(setup, "AnalogueInputsRange");
  if (!range) return 0;
  const double lowest = *range == 20.0 ? -10.0 : 0.0;
  const double highest = *range == 20.0 ? 10.0 : *range == 5.0 ? 5.0 : 3.3;
  return SetLimits(setup, "DeadBand_Point", lowest, highest);
}

int LimitDeadBandRange(CMC_Setup* setup) {
  const CMC_Parameter* point = FindOptionalParameter(setup, "DeadBand_Point");
  if (point == nullptr) return 0;
  const double lowest = point->GetMinInBaseUnit();
  const double highest = point->GetMaxInBaseUnit();
  const double value = point->GetValueInBaseUnit();
  const double room = IsNewDeadBand(setup) == 1 ? highest - lowest
                                                : std::min(value - lowest, highest - value);
  return SetLimits(setup, "DeadBand_Range", 0.0, room);
}

int LimitPositionReferenceRange(CMC_Setup* setup) {
  const double reach = 32767.0 / PositionCounts(setup);
  const auto lowest = Read(setup, "POS_min");
  const int maxSet = lowest ? SetLimits(setup, "POS_max", *lowest, reach) : 0;
  const auto highest = Read(setup, "POS_max");
  const int minSet = highest ? SetLimits(setup, "POS_min", -reach, *highest) : 0;
  return All({maxSet, minSet});
}

int LimitSpeedReferenceRange(CMC_Setup* setup) {
  const auto limit = Read(setup, "Limit_Speed");
  if (!limit) return 0;
  const double reach = 32767.0 / SpeedCounts(setup);
  const auto lowest = Read(setup, "SPD_min");
  const int maxSet = lowest ? SetLimits(setup, "SPD_max", *lowest, std::min(reach, *limit)) : 0;
  const auto highest = Read(setup, "SPD_max");
  const int minSet =
      highest ? SetLimits(setup, "SPD_min", std::max(-*limit, -reach), *highest) : 0;
  return All({maxSet, minSet});
}

int LimitCurrentReferenceRange(CMC_Setup* setup) {
  const auto motorPeak = Read(setup, "ImaxM");
  const auto stagePeak = Read(setup, "ImaxPS");
  if (!motorPeak || !stagePeak) return 0;
  const double reach = 32767.0 / GetCurrentScale(setup);
  const double peak = std::min(*motorPeak, *stagePeak);
  const auto lowest = Read(setup, "CRT_min");
  const int maxSet = lowest ? SetLimits(setup, "CRT_max", *lowest, std::min(reach, peak)) : 0;
  const auto highest = Read(setup, "CRT_max");
  const int minSet = highest ? SetLimits(setup, "CRT_min", std::max(-peak, -reach), *highest) : 0;
  return All({maxSet, minSet});
}

int LimitSerialEncoderOffset(CMC_Setup* setup) {
  const auto bits = Read(setup, "SSI_No_Bits_Revolution");
  const auto pairs = Read(setup, "pp");
  if (!bits || !pairs) return 0;
  // One electrical period: the drive holds the offset at 16-bit resolution at most.
  return SetLimits(setup, "SSI_Offset", kUnchanged, std::pow(2.0, std::min(*bits, 16.0)) / *pairs);
}

int LimitBiquadFrequencies(CMC_Setup* setup) {
  const double nyquist = 0.5 / GetSpeedLoopPeriod(setup);
  const int filters = std::min(GetMaxFilters(setup), 9);
  for (int n = 1; n <= filters; ++n) {
    SetLimits(setup, "BQFilterF1" + std::to_string(n), kUnchanged, nyquist);
    SetLimits(setup, "BQFilterF2" + std::to_string(n), kUnchanged, nyquist);
  }
  return 1;
}

}  // namespace kestrel

void ComputeParameterLimits(CMC_Setup* setup) {
  using namespace kestrel;
  LimitResolutionToPolePitch(setup);
  LimitSpeedError(setup);
  LimitPositionError(setup);
  LimitControlErrorTimes(setup);
  LimitBandwidths(setup);
  LimitPositionProfileTimes(setup);
  LimitSpeedProfileTimes(setup);
  LimitTestPosition(setup);
  LimitTestSpeed(setup);
  LimitAngleTestCurrent(setup);
  if (HasAnalogueInput(setup)) {
    LimitReferenceFilter(setup);
    LimitDeadBandPoint(setup);
    LimitDeadBandRange(setup);
    LimitPositionReferenceRange(setup);
    LimitSpeedReferenceRange(setup);
    LimitCurrentReferenceRange(setup);
  }
  if (setup->HasDLMotorSensor(5, false) || setup->HasDLMotorSensor(6, false)) {
    LimitSerialEncoderOffset(setup);
  }
  if (HasParameter(setup, "IQREF_BQ_INI")) LimitBiquadFrequencies(setup);
}
