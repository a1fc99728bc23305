// A setup parameter: a quantity with a minimum and a maximum in base units and a display
// precision. Setting a value clamps it into [minimum, maximum] when the minimum is not above the
// maximum; crossed limits clamp nothing.
#pragma once

#include <limits>
#include <string>

#include "drivebase/quantity.h"

namespace drivebase {

struct ParameterSpec : QuantitySpec {
  double min = -std::numeric_limits<double>::infinity();
  double max = std::numeric_limits<double>::infinity();
  int precision = 6;  // significant digits shown
};

inline constexpr int kMaxPrecision = 17;

}  // namespace drivebase

class CMC_Parameter : public drivebase::Quantity {
 public:
  CMC_Parameter(CMC_Setup* owner, const drivebase::ParameterSpec& spec);

  // A copy that belongs to no table, under another name (dialog-local display values).
  CMC_Parameter CopyAs(std::string name) const;

  bool SetValueInBaseUnit(double value);
  bool SetValueInInternalUnit(double value);
  bool SetValueInDisplayUnit(double value);

  double GetMinInBaseUnit() const { return min_; }
  double GetMaxInBaseUnit() const { return max_; }
  // Set one limit; NaN is refused. The value is not touched.
  bool SetMinInBaseUnit(double min);
  bool SetMaxInBaseUnit(double max);
  bool AreLimitsCrossed() const { return min_ > max_; }

  bool ChangeType(int type) { return ChangeStorageType(type); }

  int GetPrecision() const { return precision_; }
  bool SetPrecision(int digits);

  // The value in the display unit with the display precision, e.g. "3.2".
  std::string PrintValue() const;

  // Downloads the value to the connected drive; false with the communication error text
  // (CMC_Comm::GetLastErrorText) when that fails.
  bool WriteToChip() const;

  drivebase::ParameterSpec Spec() const;

 private:
  friend class CMC_Setup;
  using Quantity::Rebind;
  // Stores the internal value and lets the owning setup keep the limits that follow it.
  bool Store(double internal);

  double min_;
  double max_;
  int precision_;
};
