// Host configuration lines: sequences of double-quoted strings with backslash escapes (\" \\ \n
// \t \r), such as the sensor-connector table: "Feedback #1" "1,Incremental encoder" ...
#pragma once

#include <string>
#include <string_view>

// Reads the first quoted string of the line into text and removes it (and the blanks before it)
// from the line. False, with line and text unchanged, when no complete string is left.
bool ReadEscapedStringFromConfigLine(std::string_view& line, std::string& text);

namespace drivebase {

// The text as a quoted, escaped string of a configuration line.
std::string EscapeForConfigLine(std::string_view text);

}  // namespace drivebase
