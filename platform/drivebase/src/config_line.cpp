#include "drivebase/config_line.h"

#include <cstddef>

bool ReadEscapedStringFromConfigLine(std::string_view& line, std::string& text) {
  std::size_t pos = line.find_first_not_of(" \t");
  if (pos == std::string_view::npos || line[pos] != '"') return false;
  std::string result;
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      text = std::move(result);
      line.remove_prefix(pos + 1);
      return true;
    }
    if (c != '\\') {
      result += c;
      continue;
    }
    if (++pos == line.size()) return false;
    switch (line[pos]) {
      case 'n': result += '\n'; break;
      case 't': result += '\t'; break;
      case 'r': result += '\r'; break;
      default: result += line[pos]; break;  // \" \\ and any other escaped character
    }
  }
  return false;
}

namespace drivebase {

std::string EscapeForConfigLine(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\t': quoted += "\\t"; break;
      case '\r': quoted += "\\r"; break;
      default: quoted += c; break;
    }
  }
  return quoted + '"';
}

}  // namespace drivebase
