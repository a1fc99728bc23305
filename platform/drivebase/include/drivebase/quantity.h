// What parameters and drive variables share: a name, a storage type, a unit and a value held in
// the drive's internal unit.
//
// A drive-scaled quantity converts its internal value v to the base unit as
//     base = (v + offset) * factor,
// with factor and offset answered by the setup's scale functions (the plug-in's GetScaleFactor
// and GetScaleOffset) for the family's base unit and the quantity's name. A plain quantity holds
// its base-unit value itself (factor 1, offset 0).
#pragma once

#include <string>
#include <string_view>

#include "drivebase/units.h"

class CMC_Setup;

namespace drivebase {

struct QuantitySpec {
  std::string name;
  int type = 0;
  std::string unit;          // selected display unit; "" for none
  bool driveScaled = false;  // internal value in the drive's units
  double internal = 0.0;
};

class Quantity {
 public:
  const std::string& GetName() const { return name_; }
  int GetType() const { return type_; }
  int GetSizeInWords() const;

  const UnitFamily& GetUnitType() const { return *family_; }
  const std::string& GetUnitName() const { return unit_; }
  std::string_view GetBaseUnitName() const { return family_->baseUnit; }
  bool IsDriveScaled() const { return driveScaled_; }

  double GetValueInInternalUnit() const { return internal_; }
  double GetValueInBaseUnit() const { return BaseFromInternal(internal_); }
  double GetValueInDisplayUnit() const;

  // Moves the quantity to the family that holds the unit and selects the unit for display.
  // Fails for an unknown unit, for a flag or choice, and for a drive-scaled quantity asked to
  // move to a family that the drive does not scale.
  bool ChangeUnitType(std::string_view unitName);

  double ScaleFactor() const;
  double ScaleOffset() const;
  double BaseFromInternal(double internal) const;
  double InternalFromBase(double base) const;

  CMC_Setup* GetSetup() const { return owner_; }

 protected:
  Quantity(CMC_Setup* owner, const QuantitySpec& spec);

  // Stores the value as the type holds it; false (nothing stored) when the type cannot hold it.
  bool StoreInternal(double internal);
  // Changes the storage type and stores the present value again under it.
  bool ChangeStorageType(int type);
  void Rebind(CMC_Setup* owner) { owner_ = owner; }
  void Rename(std::string name) { name_ = std::move(name); }

 private:
  CMC_Setup* owner_;
  std::string name_;
  int type_;
  const UnitFamily* family_;
  std::string unit_;
  bool driveScaled_;
  double internal_;
};

}  // namespace drivebase
