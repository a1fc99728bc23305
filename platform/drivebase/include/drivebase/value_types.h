// The storage types of parameters and drive variables, as the drive holds them.
#pragma once

#include <optional>
#include <string_view>

namespace drivebase {

// Type codes of CMC_Parameter::GetType.
enum ValueType : int {
  kSigned16 = 0,
  kUnsigned16 = 1,
  kSigned32 = 2,
  kUnsigned32 = 3,
  kReal = 4,    // two words on the drive; any finite double here
  kFlag = 5,    // 0 or 1; never rescaled
  kChoice = 6,  // an index (signed 16-bit); never rescaled
};

inline constexpr int kValueTypeCount = 7;

bool IsKnownValueType(int type);

// "signed 16-bit", "real", ... for messages and listings.
std::string_view ValueTypeName(int type);

// Drive words that a value of the type occupies.
int SizeInWords(int type);

// Types 5 and 6 are not physical quantities: they carry no unit and are never rescaled.
bool IsUnitlessType(int type);

// The value as the type stores it: integer types round to nearest (ties away from zero) and
// saturate at their range; reals are kept as they are. No value: NaN for any type, or an
// infinite value for a real.
std::optional<double> StoreAs(int type, double value);

// True when the type holds the value unchanged (whole and in range for integer types).
bool IsExactlyStorable(int type, double value);

}  // namespace drivebase
