// Writing a plot's files into the plot directory.
#pragma once

#include <string>
#include <string_view>

namespace drivebase {

// Writes `contents` atomically to PlotDirectory()/name + extension. False with the error text
// (naming the file) in `error` when the name is empty or the file cannot be written.
bool WritePlotFile(const std::string& name, std::string_view extension, std::string_view contents,
                   std::string& error);

}  // namespace drivebase
