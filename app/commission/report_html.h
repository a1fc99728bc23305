// The pieces the commissioning report's page is built of: relative links, anchors and tables;
// texts are escaped with drivebase::EscapeMarkup (safe in content and in quoted attributes).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drivebase/graph.h"

namespace kestrel::cli {

// A relative path as an href attribute's value: each byte outside the unreserved characters and
// '/' percent-encoded, so that blanks, '#', '?' and non-ASCII names still reach the file.
std::string RelativeHref(std::string_view path);

// A fragment identifier made of the name: letters, digits, '-' and '_' kept, anything else '-'.
std::string AnchorOf(std::string_view name);

// A table with a header row (none when the header is empty); every cell escaped. A row shorter
// than the header is padded with empty cells.
std::string HtmlTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                      std::string_view cssClass = {});

}  // namespace kestrel::cli
