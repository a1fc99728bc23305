#include "drivebase/quantity.h"

#include <stdexcept>

#include "drivebase/setup.h"
#include "drivebase/value_types.h"

namespace drivebase {

Quantity::Quantity(CMC_Setup* owner, const QuantitySpec& spec)
    : owner_(owner),
      name_(spec.name),
      type_(spec.type),
      family_(FindFamilyOfUnit(spec.unit)),
      unit_(spec.unit),
      driveScaled_(spec.driveScaled),
      internal_(0.0) {
  if (!IsKnownValueType(type_)) {
    throw std::invalid_argument("'" + name_ + "': unknown type " + std::to_string(type_));
  }
  if (family_ == nullptr) {
    throw std::invalid_argument("'" + name_ + "': unknown unit '" + unit_ + "'");
  }
  if (IsUnitlessType(type_) && (family_ != &UnitlessFamily() || driveScaled_)) {
    throw std::invalid_argument("'" + name_ + "': a " + std::string(ValueTypeName(type_)) +
                                " has no unit and is never scaled");
  }
  if (driveScaled_ && !family_->driveScalable) {
    throw std::invalid_argument("'" + name_ + "': the drive does not scale unit '" + unit_ + "'");
  }
  if (!StoreInternal(spec.internal)) {
    throw std::invalid_argument("'" + name_ + "': a " + std::string(ValueTypeName(type_)) +
                                " cannot hold " + std::to_string(spec.internal));
  }
}

int Quantity::GetSizeInWords() const { return SizeInWords(type_); }

double Quantity::GetValueInDisplayUnit() const {
  return GetValueInBaseUnit() / BaseUnitsPerUnit(*family_, unit_);
}

bool Quantity::ChangeUnitType(std::string_view unitName) {
  const UnitFamily* family = FindFamilyOfUnit(unitName);
  if (family == nullptr || IsUnitlessType(type_)) return false;
  if (driveScaled_ && !family->driveScalable) return false;
  family_ = family;
  unit_ = std::string(unitName);
  return true;
}

double Quantity::ScaleFactor() const {
  if (!driveScaled_ || owner_ == nullptr) return 1.0;
  return owner_->ScaleFactor(family_->baseUnit, name_);
}

double Quantity::ScaleOffset() const {
  if (!driveScaled_ || owner_ == nullptr) return 0.0;
  return owner_->ScaleOffset(family_->baseUnit, name_);
}

double Quantity::BaseFromInternal(double internal) const {
  if (!driveScaled_) return internal;
  return (internal + ScaleOffset()) * ScaleFactor();
}

double Quantity::InternalFromBase(double base) const {
  if (!driveScaled_) return base;
  return base / ScaleFactor() - ScaleOffset();
}

bool Quantity::StoreInternal(double internal) {
  const std::optional<double> stored = StoreAs(type_, internal);
  if (!stored) return false;
  internal_ = *stored;
  return true;
}

bool Quantity::ChangeStorageType(int type) {
  const std::optional<double> stored = StoreAs(type, internal_);
  if (!stored || (IsUnitlessType(type) && (family_ != &UnitlessFamily() || driveScaled_))) {
    return false;
  }
  type_ = type;
  internal_ = *stored;
  return true;
}

}  // namespace drivebase
