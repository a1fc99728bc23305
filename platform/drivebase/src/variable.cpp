#include "drivebase/variable.h"

#include "drivebase/comm.h"

CMC_Variable::CMC_Variable(CMC_Setup* owner, const drivebase::QuantitySpec& spec)
    : Quantity(owner, spec) {}

bool CMC_Variable::SetValueInBaseUnit(double value) {
  return StoreInternal(InternalFromBase(value));
}

bool CMC_Variable::SetValueInInternalUnit(double value) { return StoreInternal(value); }

bool CMC_Variable::ReadFromChip() {
  double value = 0.0;
  return CMC_Comm::ReadValue(GetName(), GetSizeInWords(), value) && StoreInternal(value);
}

bool CMC_Variable::WriteToChip() const {
  return CMC_Comm::WriteValue(GetName(), GetValueInInternalUnit(), GetSizeInWords());
}

drivebase::QuantitySpec CMC_Variable::Spec() const {
  drivebase::QuantitySpec spec;
  spec.name = GetName();
  spec.type = GetType();
  spec.unit = GetUnitName();
  spec.driveScaled = IsDriveScaled();
  spec.internal = GetValueInInternalUnit();
  return spec;
}
