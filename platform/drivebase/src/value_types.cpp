#include "drivebase/value_types.h"

#include <algorithm>
#include <cmath>

namespace drivebase {
namespace {

struct TypeInfo {
  std::string_view name;
  double lowest;
  double highest;
  int words;
};

constexpr double kInfinity = HUGE_VAL;

constexpr TypeInfo kTypes[kValueTypeCount] = {
    {"signed 16-bit", -32768.0, 32767.0, 1},
    {"unsigned 16-bit", 0.0, 65535.0, 1},
    {"signed 32-bit", -2147483648.0, 2147483647.0, 2},
    {"unsigned 32-bit", 0.0, 4294967295.0, 2},
    {"real", -kInfinity, kInfinity, 2},
    {"flag", 0.0, 1.0, 1},
    {"choice", -32768.0, 32767.0, 1},
};

const TypeInfo& Info(int type) { return kTypes[type]; }

}  // namespace

bool IsKnownValueType(int type) { return type >= 0 && type < kValueTypeCount; }

std::string_view ValueTypeName(int type) {
  return IsKnownValueType(type) ? Info(type).name : std::string_view("unknown");
}

int SizeInWords(int type) { return IsKnownValueType(type) ? Info(type).words : 0; }

bool IsUnitlessType(int type) { return type == kFlag || type == kChoice; }

std::optional<double> StoreAs(int type, double value) {
  if (!IsKnownValueType(type) || std::isnan(value)) return std::nullopt;
  if (type == kReal) {
    if (!std::isfinite(value)) return std::nullopt;
    return value;
  }
  const TypeInfo& info = Info(type);
  // Adding 0.0 turns a rounded -0.0 into the integer 0.
  return std::clamp(std::round(value), info.lowest, info.highest) + 0.0;
}

bool IsExactlyStorable(int type, double value) {
  const std::optional<double> stored = StoreAs(type, value);
  return stored.has_value() && *stored == value;
}

}  // namespace drivebase
