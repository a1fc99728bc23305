// The points of a filter's curves as CSV.
#include <algorithm>
#include <charconv>
#include <string>

#include "drivebase/graph.h"
namespace {

// A header field, quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::vector<int> CGraphFilter::PlottedColumns() const {
  std::vector<int> columns;
  const auto take = [&columns](int column) {
    if (std::find(columns.begin(), columns.end(), column) == columns.end()) columns.push_back(column);
  };
  const std::vector<CXYCurve> shown = ShownCurves();
  for (const CXYCurve& curve : shown) take(curve.XColumn());
  for (const CXYCurve& curve : shown) take(curve.YColumn());
  return columns;
}

bool CGraphFilter::ExportToASCII(const std::string& name, std::string& error) const {
  return drivebase::WritePlotFile(name, ".csv", drivebase::RenderGraphCsv(*this), error);
}

namespace drivebase {

std::string ExactNumber(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general);
  return std::string(text, result.ptr);
}

std::string RenderGraphCsv(const CGraphFilter& filter) {
  const CGraphDocument& document = filter.Document();
  const std::vector<int> columns = filter.PlottedColumns();
  if (columns.empty()) return {};
  std::string csv;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const GraphColumn& column = document.Columns()[static_cast<std::size_t>(columns[i])];
    csv += (i == 0 ? "" : ",") + CsvField(column.Label());
  }
  csv += '\n';
  for (std::size_t row = 0; row < document.RowCount(); ++row) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) csv += ',';
      csv += ExactNumber(document.Value(row, static_cast<std::size_t>(columns[i])));
    }
    csv += '\n';
  }
  return csv;
}

}  // namespace drivebase
