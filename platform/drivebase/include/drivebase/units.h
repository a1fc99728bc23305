// Unit families: one base (SI) unit and display units with fixed ratios to it.
//
// A family is dimensional only: whether a quantity's internal value is in the drive's units
// (drive-scaled, converted with the plug-in's factor and offset for the base unit) or already
// in the base unit (plain) is a property of the quantity, so the same family serves both, e.g.
// a position in encoder counts and a pole pitch in metres share the length family.
#pragma once

#include <span>
#include <string_view>

namespace drivebase {

struct DisplayUnit {
  std::string_view name;
  double baseUnitsPerUnit;  // value in base units of one display unit
};

struct UnitFamily {
  std::string_view name;      // e.g. "length"
  std::string_view baseUnit;  // as the plug-in's scale functions name it, e.g. "m"
  bool driveScalable;         // the plug-in has a scale factor for the base unit
  std::span<const DisplayUnit> units;  // the base unit first
};

std::span<const UnitFamily> AllUnitFamilies();

// The family of quantities without a unit (base unit "").
const UnitFamily& UnitlessFamily();

// The family holding a display unit of exactly this name (names are unique across families:
// "V " with its blank, the DC bus voltage, is not "V"). Null when unknown.
const UnitFamily* FindFamilyOfUnit(std::string_view unitName);

// Base units per display unit; 0 when the family has no such unit.
double BaseUnitsPerUnit(const UnitFamily& family, std::string_view unitName);

}  // namespace drivebase
