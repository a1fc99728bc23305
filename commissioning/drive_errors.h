// The drive's error register MER as a test reads it: through the test's mask, the first set bit
// in the order of the table decides the text shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrel {

// The text of the first masked error bit of `mer` (its value truncated to 32 bits); none when no
// masked bit is set. A masked bit without a text of its own gives "Drive error (MER = 0x....)."
// with the masked bits in four hexadecimal digits.
std::optional<std::string> DriveErrorText(std::int32_t mer, std::uint16_t mask);

}  // namespace kestrel
