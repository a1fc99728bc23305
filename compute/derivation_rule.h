// What every derivation routine does: look up everything it names (a missing parameter: return
// 0, nothing changed), set the target's limits where there are any (minimum above maximum:
// return 0, value unchanged), then set the value and return 1.
#pragma once

#include <string_view>

#include "drivebase/setup.h"

namespace kestrel {

class RuleInputs {
 public:
  explicit RuleInputs(CMC_Setup* setup) : setup_(setup) {}

  // A parameter the routine needs; a missing one is reported and marks the inputs incomplete.
  CMC_Parameter* Need(std::string_view name);
  double Base(std::string_view name);
  double Internal(std::string_view name);
  int Code(std::string_view name);  // base value truncated to an integer
  int Bit(std::string_view name, int bit);

  bool Complete() const { return complete_; }

 private:
  CMC_Setup* setup_;
  bool complete_ = true;
};

// Limits, then the value in base units; 0 when the limits are crossed (value unchanged).
int SetRangeAndValue(CMC_Parameter* target, double min, double max, double value);
// The same with the value in internal units.
int SetRangeAndInternal(CMC_Parameter* target, double min, double max, double internal);
// A flag: limits 0 to 1 and the value 0.0 or 1.0.
int SetFlag(CMC_Parameter* target, bool on);
// A value without limits.
int SetValue(CMC_Parameter* target, double value);
int SetInternal(CMC_Parameter* target, double internal);

}  // namespace kestrel
