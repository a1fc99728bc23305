#include "commissioning/drive_errors.h"

#include <array>
#include <cstdio>

namespace kestrel {
namespace {

struct ErrorBit {
  std::uint16_t bit;
  const char* text;
};

constexpr std::array kErrorBits{
    ErrorBit{0x0002, "Drive / Motor shortcircuit protection triggered."},
    ErrorBit{0x0008, "Drive / Motor control error protection triggered."},
    ErrorBit{0x0020, "Hall sensor is missing."},
    ErrorBit{0x0040, "Drive / Motor stopped due to positive limit switch input triggered."},
    ErrorBit{0x0080, "Drive / Motor stopped due to negative limit switch input triggered."},
    ErrorBit{0x8000, "Drive / Motor ENABLE input is in DISABLED state."},
};

}  // namespace

std::optional<std::string> DriveErrorText(std::int32_t mer, std::uint16_t mask) {
  const auto masked = static_cast<std::uint16_t>(static_cast<std::uint32_t>(mer) & mask);
  if (masked == 0) return std::nullopt;
  for (const ErrorBit& error : kErrorBits) {
    if ((masked & error.bit) != 0) return std::string(error.text);
  }
  std::array<char, 40> text{};
  std::snprintf(text.data(), text.size(), "Drive error (MER = 0x%04X).", static_cast<unsigned>(masked));
  return std::string(text.data());
}

}  // namespace kestrel
