// The page of the graphical front end and its assets, built into the program (generated at build
// time from web/ and resources/bitmaps/).
#pragma once

#include <span>
#include <string_view>

namespace kestrel::gui {

struct WebAsset {
  std::string_view path;  // "/index.html", "/bitmaps/TO_MOTORSETUP.svg"
  std::string_view contentType;
  std::string_view body;
};

std::span<const WebAsset> WebAssets();
// The asset at `path` ("/" is "/index.html"); null when none.
const WebAsset* FindWebAsset(std::string_view path);

}  // namespace kestrel::gui
