#include "compute/unit_scale.h"

#include <cmath>
#include <initializer_list>
#include <numbers>

#include "compute/position_scale.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"
#include "drivebase/named_table.h"
#include "drivebase/numeric.h"

namespace kestrel {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// One turn of the drive's electrical angle: 65534 counts (not 65536).
constexpr double kRadiansPerAngleCount = kTwoPi / 65534.0;

using drivebase::EqualsIgnoringCase;

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (const std::string_view candidate : names) {
    if (EqualsIgnoringCase(name, candidate)) return true;
  }
  return false;
}

double AdcMax(const CMC_Setup* setup) { return static_cast<double>(Compute_ADCMaxValue(setup)); }

// Positions whose limits and errors are shown as magnitudes, whatever the sign of the scale.
bool IsPositionMagnitude(std::string_view name) {
  return IsOneOf(name, {"ERR_position", "FreezeControl_errband", "TestPosition", "POS_max", "POS_min"});
}

bool IsSpeedMagnitude(std::string_view name) {
  return IsOneOf(name, {"ERR_speed", "Limit_Speed", "ErefMaxSpeed", "TestSpeed", "SPD_max", "SPD_min"});
}

// The motor's pole pairs as the drive sees them, rounded: MECRESL * ENC2THL * 2^-32, times
// 2^ELRES_FRACT for an interpolated sine/cosine motor sensor.
double DrivePolePairs(const CMC_Setup* setup) {
  double pairs = setup->GetParameterValueInInternalUnit("MECRESL") *
                 setup->GetParameterValueInInternalUnit("ENC2THL") * std::ldexp(1.0, -32);
  if (setup->GetParameterValueInInternalUnit("MotorSensorType") == 3) {
    if (const CMC_Parameter* fraction = FindOptionalParameter(setup, "ELRES_FRACT")) {
      pairs *= std::pow(2.0, fraction->GetValueInBaseUnit());
    }
  }
  return RoundDecimalValue(pairs, 0);
}

double PositionFactor(const CMC_Setup* setup, std::string_view name) {
  const double scale = GetLoadPositionScale(setup);
  return IsPositionMagnitude(name) ? 1.0 / std::fabs(scale) : 1.0 / scale;
}

double SpeedFactor(const CMC_Setup* setup, std::string_view name) {
  const double scale = GetLoadSpeedScale(setup);
  return IsSpeedMagnitude(name) ? 1.0 / std::fabs(scale) : 1.0 / scale;
}

double VoltageFactor(const CMC_Setup* setup, std::string_view name) {
  if (EqualsIgnoringCase(name, "AnalogueInputsRange")) return 1.0;
  if (IsOneOf(name, {"DeadBand_Point", "DeadBand_Range", "AD2", "AD2FIL_VAL", "AD5"})) {
    return setup->GetParameterValueInBaseUnit("AnalogueInputsRange") / AdcMax(setup);
  }
  return 1.0 / GetVoltageScale(setup);
}

double AngleFactor(const CMC_Setup* setup, std::string_view name) {
  if (IsOneOf(name, {"Motor_Position", "APOS_MT"})) return 1.0 / GetMotorPositionScale(setup);
  if (EqualsIgnoringCase(name, "THTST")) return kRadiansPerAngleCount;
  return PositionFactor(setup, name);
}

double AngularSpeedFactor(const CMC_Setup* setup, std::string_view name) {
  if (IsOneOf(name, {"Motor_Speed", "ASPD", "ASPD_MT", "TestMaxSpeed", "SPDREF", "SPDREFL",
                     "Motor_Speed_Reference"})) {
    return 1.0 / GetMotorSpeedScale(setup);
  }
  if (EqualsIgnoringCase(name, "TINCTST")) {
    return kRadiansPerAngleCount / (GetCurrentLoopPeriod(setup) * DrivePolePairs(setup));
  }
  return SpeedFactor(setup, name);
}

}  // namespace

double UnitScaleFactor(const CMC_Setup* setup, std::string_view unit, std::string_view name) {
  if (EqualsIgnoringCase(unit, "V ")) return 1.0 / GetDcBusVoltageScale(setup);
  if (EqualsIgnoringCase(unit, "V")) return VoltageFactor(setup, name);
  if (EqualsIgnoringCase(unit, "A")) return 1.0 / GetCurrentScale(setup);
  if (EqualsIgnoringCase(unit, "s")) {
    return EqualsIgnoringCase(name, "Ts_C") ? GetCurrentLoopPeriod(setup) : GetSpeedLoopPeriod(setup);
  }
  if (EqualsIgnoringCase(unit, "rad")) return AngleFactor(setup, name);
  if (EqualsIgnoringCase(unit, "m")) return PositionFactor(setup, name);
  if (EqualsIgnoringCase(unit, "rad/s")) return AngularSpeedFactor(setup, name);
  if (EqualsIgnoringCase(unit, "m/s")) return SpeedFactor(setup, name);
  if (IsOneOf(unit, {"rad/s^2", "m/s^2"})) return 1.0 / GetAccelerationScale(setup);
  if (IsOneOf(unit, {"rad/s^3", "m/s^3"})) return 1.0 / GetJerkScale(setup);
  if (EqualsIgnoringCase(unit, "°C")) {
    return setup->GetParameterValueInBaseUnit("ADCrange") /
           (AdcMax(setup) * setup->GetParameterValueInBaseUnit("DriveTempSensorGain"));
  }
  if (EqualsIgnoringCase(unit, "V/s")) return 1.0 / (GetVoltageScale(setup) * GetSpeedLoopPeriod(setup));
  if (EqualsIgnoringCase(unit, "A/s")) return 1.0 / (GetCurrentScale(setup) * GetSpeedLoopPeriod(setup));
  return 1.0;
}

double UnitScaleOffset(const CMC_Setup* setup, std::string_view unit) {
  if (!EqualsIgnoringCase(unit, "°C")) return 0.0;
  return -AdcMax(setup) * setup->GetParameterValueInBaseUnit("DriveTempOutputAt0oC") /
         setup->GetParameterValueInBaseUnit("ADCrange");
}

}  // namespace kestrel
