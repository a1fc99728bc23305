#include "drivebase/units.h"

#include <array>
#include <numbers>

namespace drivebase {
namespace {

using std::numbers::pi;

constexpr DisplayUnit kNone[] = {{"", 1.0}};
constexpr DisplayUnit kAngle[] = {{"rad", 1.0}, {"rot", 2.0 * pi}, {"deg", pi / 180.0}};
constexpr DisplayUnit kLength[] = {{"m", 1.0}, {"mm", 1e-3}, {"um", 1e-6}};
constexpr DisplayUnit kAngularSpeed[] = {
    {"rad/s", 1.0}, {"rpm", 2.0 * pi / 60.0}, {"rot/s", 2.0 * pi}, {"deg/s", pi / 180.0}};
constexpr DisplayUnit kLinearSpeed[] = {{"m/s", 1.0}, {"mm/s", 1e-3}};
constexpr DisplayUnit kAngularAcceleration[] = {{"rad/s^2", 1.0}, {"rot/s^2", 2.0 * pi}};
constexpr DisplayUnit kLinearAcceleration[] = {{"m/s^2", 1.0}, {"mm/s^2", 1e-3}};
constexpr DisplayUnit kAngularJerk[] = {{"rad/s^3", 1.0}, {"rot/s^3", 2.0 * pi}};
constexpr DisplayUnit kLinearJerk[] = {{"m/s^3", 1.0}, {"mm/s^3", 1e-3}};
constexpr DisplayUnit kCurrent[] = {{"A", 1.0}, {"mA", 1e-3}};
constexpr DisplayUnit kMotorVoltage[] = {{"V", 1.0}, {"mV", 1e-3}};
constexpr DisplayUnit kBusVoltage[] = {{"V ", 1.0}};
constexpr DisplayUnit kTime[] = {{"s", 1.0}, {"ms", 1e-3}, {"us", 1e-6}};
constexpr DisplayUnit kDriveTemperature[] = {{"°C", 1.0}};
constexpr DisplayUnit kVoltageSlope[] = {{"V/s", 1.0}};
constexpr DisplayUnit kCurrentSlope[] = {{"A/s", 1.0}};
constexpr DisplayUnit kFrequency[] = {{"Hz", 1.0}, {"kHz", 1e3}, {"MHz", 1e6}};
constexpr DisplayUnit kRate[] = {{"1/s", 1.0}};
constexpr DisplayUnit kResistance[] = {{"Ohm", 1.0}, {"mOhm", 1e-3}};
constexpr DisplayUnit kInductance[] = {{"H", 1.0}, {"mH", 1e-3}, {"uH", 1e-6}};
constexpr DisplayUnit kInertia[] = {{"kgm^2", 1.0}, {"kgm^2 E-7", 1e-7}};
constexpr DisplayUnit kMass[] = {{"kg", 1.0}, {"g", 1e-3}};
constexpr DisplayUnit kTorqueConstant[] = {{"Nm/A", 1.0}};
constexpr DisplayUnit kForceConstant[] = {{"N/A", 1.0}};
constexpr DisplayUnit kTemperatureCoefficient[] = {{"V/°C", 1.0}, {"mV/°C", 1e-3}};
constexpr DisplayUnit kPercent[] = {{"%", 1.0}};
constexpr DisplayUnit kCounts[] = {{"counts", 1.0}};
constexpr DisplayUnit kBits[] = {{"bits", 1.0}};

constexpr std::array kFamilies = {
    UnitFamily{"none", "", false, kNone},
    UnitFamily{"angle", "rad", true, kAngle},
    UnitFamily{"length", "m", true, kLength},
    UnitFamily{"angular speed", "rad/s", true, kAngularSpeed},
    UnitFamily{"linear speed", "m/s", true, kLinearSpeed},
    UnitFamily{"angular acceleration", "rad/s^2", true, kAngularAcceleration},
    UnitFamily{"linear acceleration", "m/s^2", true, kLinearAcceleration},
    UnitFamily{"angular jerk", "rad/s^3", true, kAngularJerk},
    UnitFamily{"linear jerk", "m/s^3", true, kLinearJerk},
    UnitFamily{"current", "A", true, kCurrent},
    UnitFamily{"motor voltage", "V", true, kMotorVoltage},
    UnitFamily{"DC bus voltage", "V ", true, kBusVoltage},
    UnitFamily{"time", "s", true, kTime},
    UnitFamily{"drive temperature", "°C", true, kDriveTemperature},
    UnitFamily{"voltage slope", "V/s", true, kVoltageSlope},
    UnitFamily{"current slope", "A/s", true, kCurrentSlope},
    UnitFamily{"frequency", "Hz", false, kFrequency},
    UnitFamily{"rate", "1/s", false, kRate},
    UnitFamily{"resistance", "Ohm", false, kResistance},
    UnitFamily{"inductance", "H", false, kInductance},
    UnitFamily{"inertia", "kgm^2", false, kInertia},
    UnitFamily{"mass", "kg", false, kMass},
    UnitFamily{"torque constant", "Nm/A", false, kTorqueConstant},
    UnitFamily{"force constant", "N/A", false, kForceConstant},
    UnitFamily{"temperature coefficient", "V/°C", false, kTemperatureCoefficient},
    UnitFamily{"percent", "%", false, kPercent},
    UnitFamily{"counts", "counts", false, kCounts},
    UnitFamily{"bits", "bits", false, kBits},
};

}  // namespace

std::span<const UnitFamily> AllUnitFamilies() { return kFamilies; }

const UnitFamily& UnitlessFamily() { return kFamilies.front(); }

const UnitFamily* FindFamilyOfUnit(std::string_view unitName) {
  for (const UnitFamily& family : kFamilies) {
    for (const DisplayUnit& unit : family.units) {
      if (unit.name == unitName) return &family;
    }
  }
  return nullptr;
}

double BaseUnitsPerUnit(const UnitFamily& family, std::string_view unitName) {
  for (const DisplayUnit& unit : family.units) {
    if (unit.name == unitName) return unit.baseUnitsPerUnit;
  }
  return 0.0;
}

}  // namespace drivebase
