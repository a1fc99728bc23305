#include "compute/derivation_rule.h"

#include "compute/setup_access.h"

namespace kestrel {

CMC_Parameter* RuleInputs::Need(std::string_view name) {
  CMC_Parameter* parameter = setup_->FindParameter(name);
  if (parameter == nullptr) complete_ = false;
  return parameter;
}

double RuleInputs::Base(std::string_view name) {
  const CMC_Parameter* parameter = Need(name);
  return parameter != nullptr ? parameter->GetValueInBaseUnit() : 0.0;
}

double RuleInputs::Internal(std::string_view name) {
  const CMC_Parameter* parameter = Need(name);
  return parameter != nullptr ? parameter->GetValueInInternalUnit() : 0.0;
}

int RuleInputs::Code(std::string_view name) { return TruncateToInt32(Base(name)); }

int RuleInputs::Bit(std::string_view name, int bit) { return kestrel::Bit(Base(name), bit); }

int SetRangeAndValue(CMC_Parameter* target, double min, double max, double value) {
  if (SetLimitsInBaseUnit(target, min, max) == 0) return 0;
  target->SetValueInBaseUnit(value);
  return 1;
}

int SetRangeAndInternal(CMC_Parameter* target, double min, double max, double internal) {
  if (SetLimitsInBaseUnit(target, min, max) == 0) return 0;
  target->SetValueInInternalUnit(internal);
  return 1;
}

int SetFlag(CMC_Parameter* target, bool on) { return SetRangeAndValue(target, 0.0, 1.0, on ? 1.0 : 0.0); }

int SetValue(CMC_Parameter* target, double value) {
  target->SetValueInBaseUnit(value);
  return 1;
}

int SetInternal(CMC_Parameter* target, double internal) {
  target->SetValueInInternalUnit(internal);
  return 1;
}

}  // namespace kestrel
