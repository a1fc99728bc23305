// Plain-text tables for the terminal: columns padded to their widest cell.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::cli {

// Rows of cells, each column padded to its widest cell (UTF-8 aware: "°C" is two columns wide
// in bytes but one on the screen), two blanks between columns.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows);

// A base unit for a table cell: "-" for a dimensionless quantity.
std::string UnitText(std::string_view unit);

}  // namespace kestrel::cli
