// The host's 16-colour palette.
#include <array>

#include "drivebase/graph.h"

COLORREF RGB16(int index) {
  static constexpr std::array<COLORREF, 16> kPalette = {
      RGB(0, 0, 0),       RGB(0, 0, 128),     RGB(0, 128, 0),     RGB(0, 128, 128),
      RGB(128, 0, 0),     RGB(128, 0, 128),   RGB(128, 128, 0),   RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(0, 0, 255),     RGB(0, 255, 0),     RGB(0, 255, 255),
      RGB(255, 0, 0),     RGB(255, 0, 255),   RGB(255, 255, 0),   RGB(255, 255, 255),
  };
  const int wrapped = ((index % 16) + 16) % 16;
  return kPalette[static_cast<std::size_t>(wrapped)];
}
