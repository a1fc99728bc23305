#include "commissioning/save_question.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace kestrel {
namespace {

std::string FormatValue(double value, bool integer, const char* format) {
  if (format != nullptr) return FormatNumber(format, value);
  if (!integer || !std::isfinite(value)) return FormatG(value);
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.0f", std::trunc(value));
  return text.data();
}

}  // namespace

std::string FormatNumber(const char* format, double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), format, value);
  return text.data();
}

std::string FormatG(double value) { return FormatNumber("%g", value); }

std::string SaveQuestionText(std::span<const ComparedValue> values, bool listEveryValue) {
  const auto differs = [](const ComparedValue& value) {
    if (value.format != nullptr) return FormatNumber(value.format, value.new_value) != FormatNumber(value.format, value.old_value);
    return value.new_value != value.old_value;
  };
  if (std::none_of(values.begin(), values.end(), differs)) return "";
  std::string lines;
  for (const ComparedValue& value : values) {
    if (!listEveryValue && !differs(value)) continue;
    lines += value.label + ":\tOld = " + FormatValue(value.old_value, value.integer, value.format) +
             "\tNew = " + FormatValue(value.new_value, value.integer, value.format) + "\r\n";
  }
  return "A different value than specified has been detected for the following parameter(s):\r\n\r\n" + lines +
         "\r\nDo you want to save the new value(s)? (Recommended)";
}

}  // namespace kestrel
