#include "drivebase/variable.h"

#include "drivebase/comm.h"
#include "drivebase/value_types.h"

namespace {

// The drive answers a word as a signed number; an unsigned variable reads its bits unsigned.
double Unsigned(int type, double word) {
  if (word >= 0.0) return word;
  if (type == drivebase::kUnsigned16) return word + 65536.0;
  if (type == drivebase::kUnsigned32) return word + 4294967296.0;
  return word;
}

}  // namespace

CMC_Variable::CMC_Variable(CMC_Setup* owner, const drivebase::QuantitySpec& spec)
    : Quantity(owner, spec) {}

bool CMC_Variable::SetValueInBaseUnit(double value) {
  return StoreInternal(InternalFromBase(value));
}

bool CMC_Variable::SetValueInInternalUnit(double value) { return StoreInternal(value); }

bool CMC_Variable::ReadFromChip() {
  double value = 0.0;
  return CMC_Comm::ReadValue(GetName(), GetSizeInWords(), value) && StoreInternal(Unsigned(GetType(), value));
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
