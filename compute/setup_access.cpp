#include "compute/setup_access.h"

#include <cmath>
#include <limits>

#include "drivebase/error_report.h"

namespace kestrel {

std::int32_t TruncateToInt32(double value) {
  if (!std::isfinite(value)) return 0;
  // fmod keeps the low 32 bits of the whole part exactly (it is exact for doubles).
  const double low = std::fmod(std::trunc(value), 4294967296.0);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(low)));
}

std::int64_t TruncateToInt64(double value) {
  if (!std::isfinite(value)) return 0;
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

double TruncateCount(double value) {
  const double nearest = std::round(value);
  if (std::fabs(value - nearest) <= 1e-9 * std::fabs(value)) return nearest;
  return std::trunc(value);
}

int Bit(double value, int n) {
  return static_cast<int>((static_cast<std::uint32_t>(TruncateToInt32(value)) >> n) & 1u);
}

int ReadCode(const CMC_Setup* setup, std::string_view name) {
  return TruncateToInt32(setup->GetParameterValueInBaseUnit(name));
}

drivebase::ClockList SerialEncoderClocks(const CMC_Setup* setup, int sensorType) {
  drivebase::ClockList clocks;
  if (sensorType == 6) {
    setup->GetBiSSFreqList(clocks.kHz, clocks.modes);
  } else {
    setup->GetSSIFreqList(clocks.kHz, clocks.modes);
  }
  return clocks;
}

CMC_Parameter* FindOptionalParameter(const CMC_Setup* setup, std::string_view name) {
  const drivebase::ErrorReportingOff silent;
  return setup->FindParameter(name);
}

bool HasParameter(const CMC_Setup* setup, std::string_view name) {
  return FindOptionalParameter(setup, name) != nullptr;
}

double OptionalInternalValue(const CMC_Setup* setup, std::string_view name) {
  const CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  return parameter != nullptr ? parameter->GetValueInInternalUnit() : 0.0;
}

bool IsLinearMotor(const CMC_Setup* setup) {
  return HasParameter(setup, "TransmissionType") && !IsMotorSideRotary(ReadCode(setup, "TransmissionType"));
}

bool IsBissFeedback(const CMC_Setup* setup) {
  return HasParameter(setup, "SSIFDBKTYPE") && ReadCode(setup, "SSIFDBKTYPE") == 2;
}

bool HasVariable(const CMC_Setup* setup, std::string_view name) {
  const drivebase::ErrorReportingOff silent;
  return setup->FindVariable(name) != nullptr;
}

}  // namespace kestrel

int SetLimitsInBaseUnit(CMC_Parameter* parameter, double min, double max) {
  if (parameter == nullptr || min > max) return 0;
  if (parameter->GetMinInBaseUnit() > parameter->GetMaxInBaseUnit()) {
    parameter->SetMaxInBaseUnit(parameter->GetMinInBaseUnit());
  }
  if (min > parameter->GetMaxInBaseUnit()) {
    parameter->SetMaxInBaseUnit(max);
    parameter->SetMinInBaseUnit(min);
  } else {
    parameter->SetMinInBaseUnit(min);
    parameter->SetMaxInBaseUnit(max);
  }
  return 1;
}
