#include "drivebase/parameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "drivebase/comm.h"
#include "drivebase/setup.h"
#include "drivebase/units.h"
#include "drivebase/value_types.h"

CMC_Parameter::CMC_Parameter(CMC_Setup* owner, const drivebase::ParameterSpec& spec)
    : Quantity(owner, spec), min_(spec.min), max_(spec.max), precision_(spec.precision) {
  if (std::isnan(min_) || std::isnan(max_)) {
    throw std::invalid_argument("'" + spec.name + "': a limit is not a number");
  }
  if (!SetPrecision(spec.precision)) {
    throw std::invalid_argument("'" + spec.name + "': precision " +
                                std::to_string(spec.precision) + " is outside 1 to 17");
  }
}

CMC_Parameter CMC_Parameter::CopyAs(std::string name) const {
  CMC_Parameter copy(*this);
  copy.Rename(std::move(name));
  return copy;
}

bool CMC_Parameter::SetValueInBaseUnit(double value) {
  if (std::isnan(value)) return false;
  if (min_ <= max_) value = std::clamp(value, min_, max_);
  return Store(InternalFromBase(value));
}

bool CMC_Parameter::SetValueInInternalUnit(double value) {
  const std::optional<double> stored = drivebase::StoreAs(GetType(), value);
  if (!stored) return false;
  if (min_ <= max_) {
    const double base = BaseFromInternal(*stored);
    if (base < min_) return SetValueInBaseUnit(min_);
    if (base > max_) return SetValueInBaseUnit(max_);
  }
  return Store(*stored);
}

bool CMC_Parameter::Store(double internal) {
  if (!StoreInternal(internal)) return false;
  if (GetSetup() != nullptr) GetSetup()->FollowChangedValue(*this);
  return true;
}

bool CMC_Parameter::SetValueInDisplayUnit(double value) {
  return SetValueInBaseUnit(value * drivebase::BaseUnitsPerUnit(GetUnitType(), GetUnitName()));
}

bool CMC_Parameter::SetMinInBaseUnit(double min) {
  if (std::isnan(min)) return false;
  min_ = min;
  return true;
}

bool CMC_Parameter::SetMaxInBaseUnit(double max) {
  if (std::isnan(max)) return false;
  max_ = max;
  return true;
}

bool CMC_Parameter::SetPrecision(int digits) {
  if (digits < 1 || digits > drivebase::kMaxPrecision) return false;
  precision_ = digits;
  return true;
}

std::string CMC_Parameter::PrintValue() const {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", precision_, GetValueInDisplayUnit());
  return text;
}

bool CMC_Parameter::WriteToChip() const {
  return CMC_Comm::WriteValue(GetName(), GetValueInInternalUnit(), GetSizeInWords());
}

drivebase::ParameterSpec CMC_Parameter::Spec() const {
  drivebase::ParameterSpec spec;
  spec.name = GetName();
  spec.type = GetType();
  spec.unit = GetUnitName();
  spec.driveScaled = IsDriveScaled();
  spec.internal = GetValueInInternalUnit();
  spec.min = min_;
  spec.max = max_;
  spec.precision = precision_;
  return spec;
}
