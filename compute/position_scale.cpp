#include "compute/position_scale.h"

#include <cmath>
#include <numbers>

#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {

double InterpolationFactor(double sincosFract) {
  const std::int32_t bits = TruncateToInt32(sincosFract);
  if (bits >= 0 && bits <= 30) return static_cast<double>(1 << bits);
  return std::ldexp(1.0, bits);
}

}  // namespace kestrel

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

double Value(const CMC_Setup* setup, std::string_view name) {
  return setup->GetParameterValueInBaseUnit(name);
}

double Ratio(const CMC_Setup* setup) {
  return Value(setup, "Motor_transmission") / Value(setup, "Load_transmission");
}

bool MotorSideRotary(const CMC_Setup* setup) {
  return kestrel::IsMotorSideRotary(kestrel::ReadCode(setup, "TransmissionType"));
}

bool LoadSideRotary(const CMC_Setup* setup) {
  return kestrel::IsLoadSideRotary(kestrel::ReadCode(setup, "TransmissionType"));
}

// Types with a rule of their own; 0 means no sensor, and 7, 8, above 9 count as 1.0.
bool HasRule(int type) { return (type >= 1 && type <= 6) || type == 9; }

double LinearHallScale(const CMC_Setup* setup) {
  return std::pow(2.0, 16.0 - Value(setup, "DBTTH")) / Value(setup, "PolePitch");
}

double MotorSensorScale(const CMC_Setup* setup, int type) {
  const bool rotary = MotorSideRotary(setup);
  switch (type) {
    case 1:
    case 9:
      return rotary ? 4.0 * GetMotorEncoderLines(setup) / kTwoPi : 1.0 / Value(setup, "Resolution");
    case 2:
      return rotary ? Value(setup, "MECRESL") / kTwoPi : LinearHallScale(setup);
    case 3: {
      const double factor = kestrel::InterpolationFactor(Value(setup, "SINCOS_fract"));
      return rotary ? 2.0 * GetMotorEncoderLines(setup) * factor / kPi
                    : factor / Value(setup, "Resolution");
    }
    case 4:
      return setup->GetParameterValueInInternalUnit("MECRESL") / kTwoPi;
    case 5:
    case 6:
      return rotary ? std::pow(2.0, Value(setup, "SSI_No_Bits_Revolution")) / kTwoPi
                    : 1.0 / Value(setup, "SSI_Resolution");
    default:
      return 1.0;
  }
}

double LoadSensorScale(const CMC_Setup* setup, int type) {
  const bool rotary = LoadSideRotary(setup);
  switch (type) {
    case 1:
    case 9:
      return rotary ? 4.0 * Value(setup, "No_encoder_lines_LD") / kTwoPi
                    : 1.0 / Value(setup, "Resolution_LD");
    case 2:
      return rotary ? Value(setup, "Resolution_LD") / kTwoPi : LinearHallScale(setup);
    case 3: {
      const double factor = std::pow(2.0, Value(setup, "SINCOS_fract_LD"));
      return rotary ? 2.0 * Value(setup, "No_encoder_lines_LD") * factor / kPi
                    : factor / Value(setup, "Resolution_LD");
    }
    case 4:
      return setup->GetParameterValueInInternalUnit("MECRESL") / kTwoPi;
    case 5:
    case 6:
      return rotary ? std::pow(2.0, Value(setup, "SSI_No_Bits_Revolution_LD")) / kTwoPi * Ratio(setup)
                    : 1.0 / Value(setup, "SSI_Resolution_LD") * Ratio(setup);
    default:
      return 1.0;
  }
}

}  // namespace

double GetLoadPositionScale(const CMC_Setup* setup) {
  const int loadSensor = kestrel::ReadCode(setup, "LoadSensorType");
  if (loadSensor != 0) return LoadSensorScale(setup, loadSensor);
  const int motorSensor = kestrel::ReadCode(setup, "MotorSensorType");
  if (motorSensor == 0) return 1.0;
  if (!HasRule(motorSensor)) return LoadSensorScale(setup, 1);
  return MotorSensorScale(setup, motorSensor) * Ratio(setup);
}

double GetMotorPositionScale(const CMC_Setup* setup) {
  const int motorSensor = kestrel::ReadCode(setup, "MotorSensorType");
  if (motorSensor != 0) return MotorSensorScale(setup, motorSensor);
  const int loadSensor = kestrel::ReadCode(setup, "LoadSensorType");
  if (loadSensor == 0) return 1.0;
  if (loadSensor == 5 || loadSensor == 6) return LoadSensorScale(setup, loadSensor);
  if (!HasRule(loadSensor)) return MotorSensorScale(setup, 1);
  return LoadSensorScale(setup, loadSensor) / Ratio(setup);
}
