#include "console_message_boxes.h"

#include <algorithm>
#include <iostream>

namespace kestrel::cli {

int ConsoleMessageBoxes::Show(const std::string& text, const std::string&, unsigned style) {
  std::string line = text;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::cerr << "kestrel: " << line << '\n';
  return (style & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
}

}  // namespace kestrel::cli
