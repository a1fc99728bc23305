// Numbers as text that reads back to the same double: the shortest round-trip form, and "inf",
// "-inf", "nan" for the values that are not finite.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::cli {

std::string NumberText(double value);

// A whole decimal number (no trailing text); not finite values are not accepted.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace kestrel::cli
