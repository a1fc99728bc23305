#include "commission/report_html.h"

#include <algorithm>

namespace kestrel::cli {
namespace {

bool IsAsciiAlphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

void AppendRow(std::string& html, const std::vector<std::string>& cells, std::size_t columns, const char* tag) {
  html += "<tr>";
  for (std::size_t k = 0; k < std::max(columns, cells.size()); ++k) {
    html += std::string("<") + tag + ">";
    if (k < cells.size()) html += drivebase::EscapeMarkup(cells[k]);
    html += std::string("</") + tag + ">";
  }
  html += "</tr>\n";
}

}  // namespace

std::string RelativeHref(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string href;
  for (const char c : path) {
    if (IsAsciiAlphanumeric(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      href += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    href += '%';
    href += kHex[byte >> 4];
    href += kHex[byte & 0x0F];
  }
  return href;
}

std::string AnchorOf(std::string_view name) {
  std::string anchor(name);
  for (char& c : anchor) {
    if (!IsAsciiAlphanumeric(c) && c != '-' && c != '_') c = '-';
  }
  return anchor;
}

std::string HtmlTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                      std::string_view cssClass) {
  std::string html = cssClass.empty() ? "<table>\n" : "<table class=\"" + drivebase::EscapeMarkup(cssClass) + "\">\n";
  if (!header.empty()) {
    html += "<thead>";
    AppendRow(html, header, header.size(), "th");
    html += "</thead>\n";
  }
  html += "<tbody>\n";
  for (const std::vector<std::string>& row : rows) AppendRow(html, row, header.size(), "td");
  return html + "</tbody>\n</table>\n";
}

}  // namespace kestrel::cli
