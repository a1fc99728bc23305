// A drive variable: a quantity that lives in the drive and is read from it or written to it
// (positions, speeds, currents, error registers, test program outputs).
#pragma once

#include "drivebase/quantity.h"

class CMC_Variable : public drivebase::Quantity {
 public:
  CMC_Variable(CMC_Setup* owner, const drivebase::QuantitySpec& spec);

  bool SetValueInBaseUnit(double value);
  bool SetValueInInternalUnit(double value);

  // Reads the value from the connected drive, or writes it there; false with the communication
  // error text (CMC_Comm::GetLastErrorText) when that fails.
  bool ReadFromChip();
  bool WriteToChip() const;

  drivebase::QuantitySpec Spec() const;

 private:
  friend class CMC_Setup;
  using Quantity::Rebind;
};
