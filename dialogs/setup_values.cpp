#include "dialogs/setup_values.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "compute/option_readers.h"
#include "compute/setup_access.h"

namespace kestrel::dialogs {

bool Has(const CMC_Setup* setup, std::string_view name) { return HasParameter(setup, name); }

double Value(const CMC_Setup* setup, std::string_view name, double absent) {
  const CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  return parameter != nullptr ? parameter->GetValueInBaseUnit() : absent;
}

int Code(const CMC_Setup* setup, std::string_view name, int absent) {
  return Has(setup, name) ? ReadCode(setup, name) : absent;
}

bool SetValue(CMC_Setup* setup, std::string_view name, double value) {
  CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  return parameter != nullptr && parameter->SetValueInBaseUnit(value);
}

int IntOption(const CMC_Setup* setup, std::string_view name, int absent) {
  if (setup->GetOptionNoError(name).empty()) return absent;
  return GetIntOptionSilently(setup, name);
}

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace kestrel::dialogs
