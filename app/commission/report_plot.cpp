#include "commission/report_plot.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "commission/report_html.h"

namespace kestrel::cli {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// The value of a double-quoted attribute in the tag; empty when it has none.
std::string AttributeOf(std::string_view tag, std::string_view attribute) {
  const std::string key = std::string(attribute) + "=\"";
  for (std::size_t at = tag.find(key); at != std::string_view::npos; at = tag.find(key, at + 1)) {
    if (at == 0 || !std::isspace(static_cast<unsigned char>(tag[at - 1]))) continue;
    const std::size_t begin = at + key.size();
    const std::size_t end = tag.find('"', begin);
    if (end != std::string_view::npos) return std::string(tag.substr(begin, end - begin));
  }
  return {};
}

// A length in user units ("640", "640px"); empty for a percentage or another unit.
std::string UserUnits(std::string length) {
  if (length.size() > 2 && length.ends_with("px")) length.resize(length.size() - 2);
  const bool number = !length.empty() && length.find_first_not_of("0123456789.") == std::string::npos;
  return number ? length : std::string();
}

// Prefixes every id (an "id" attribute after a blank) and the references to it: url(#ID) and
// href="#ID" (also xlink:href).
void PrefixIds(std::string& svg, std::string_view prefix) {
  static constexpr std::string_view kKey = "id=\"";
  std::vector<std::string> ids;
  for (std::size_t at = svg.find(kKey); at != std::string::npos; at = svg.find(kKey, at + 1)) {
    if (at == 0 || !std::isspace(static_cast<unsigned char>(svg[at - 1]))) continue;
    const std::size_t begin = at + kKey.size();
    const std::size_t end = svg.find('"', begin);
    if (end == std::string::npos || end == begin) continue;
    ids.push_back(svg.substr(begin, end - begin));
    svg.insert(begin, prefix);
  }
  for (const std::string& id : ids) {
    const std::string renamed = std::string(prefix) + id;
    ReplaceAll(svg, "url(#" + id + ")", "url(#" + renamed + ")");
    ReplaceAll(svg, "href=\"#" + id + "\"", "href=\"#" + renamed + "\"");
  }
}

// Where the <svg> element begins; npos when there is none.
std::size_t SvgElementIn(std::string_view text) {
  for (std::size_t at = text.find("<svg"); at != std::string_view::npos; at = text.find("<svg", at + 1)) {
    if (at + 4 < text.size() && (std::isspace(static_cast<unsigned char>(text[at + 4])) || text[at + 4] == '>'))
      return at;
  }
  return std::string_view::npos;
}

// The file's text; an explanation in `problem` when it has none to give.
std::optional<std::string> ReadPlotFile(const std::filesystem::path& path, const std::string& shown,
                                        std::string& problem) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    problem = "The plot file " + shown + " cannot be read: it is a folder.";
    return std::nullopt;
  }
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (!file || file.bad()) {
    problem = "The plot file " + shown + " cannot be read: " + std::strerror(errno) + ".";
    return std::nullopt;
  }
  return text.str();
}

// The link to the plot's values, or that they are missing.
std::string CsvCaptionHtml(const std::filesystem::path& reportDirectory, const std::string& relativeCsv,
                           std::string_view name) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(reportDirectory / relativeCsv, error))
    return " — <span class=\"problem\">its values (" + drivebase::EscapeMarkup(relativeCsv) + ") are missing</span>";
  return " — <a href=\"" + drivebase::EscapeMarkup(RelativeHref(relativeCsv)) + "\">" + drivebase::EscapeMarkup(name) + ".csv</a>";
}

std::string Figure(std::string_view name, const std::string& caption, const std::string& body) {
  return "<figure class=\"plot\">\n<figcaption>" + drivebase::EscapeMarkup(name) + caption + "</figcaption>\n" + body +
         "</figure>\n";
}

}  // namespace

std::optional<std::string> InlineSvg(std::string_view svg, std::string_view idPrefix) {
  const std::size_t root = SvgElementIn(svg);
  if (root == std::string_view::npos) return std::nullopt;
  std::string inlined(svg.substr(root));
  const std::string tag = inlined.substr(0, inlined.find('>'));
  if (AttributeOf(tag, "viewBox").empty()) {
    const std::string width = UserUnits(AttributeOf(tag, "width"));
    const std::string height = UserUnits(AttributeOf(tag, "height"));
    if (!width.empty() && !height.empty()) inlined.insert(4, " viewBox=\"0 0 " + width + " " + height + "\"");
  }
  PrefixIds(inlined, idPrefix);
  return inlined;
}

std::string PlotFigureHtml(const std::filesystem::path& reportDirectory, std::string_view plotDirectory,
                           std::string_view name, std::string_view idPrefix) {
  if (name.empty() || name.find_first_of("/\\") != std::string_view::npos || name == "..") {
    return Figure(name, "", "<p class=\"problem\">The plot name \"" + drivebase::EscapeMarkup(name) +
                                "\" is not a file's name; nothing is read for it.</p>\n");
  }
  const std::string relative = (std::filesystem::path(plotDirectory) / name).string();
  const std::string caption = CsvCaptionHtml(reportDirectory, relative + ".csv", name);
  const std::filesystem::path svgFile = reportDirectory / (relative + ".svg");
  std::error_code error;
  // A plot missing altogether is said once, not once for each of its files.
  if (!std::filesystem::exists(svgFile, error))
    return Figure(name, "", "<p class=\"problem\">The plot file " + drivebase::EscapeMarkup(relative) + ".svg is missing.</p>\n");
  std::string problem;
  const std::optional<std::string> text = ReadPlotFile(svgFile, relative + ".svg", problem);
  const std::optional<std::string> svg = text ? InlineSvg(*text, idPrefix) : std::nullopt;
  if (text && !svg) problem = "The plot file " + relative + ".svg holds no SVG picture.";
  if (!svg) return Figure(name, caption, "<p class=\"problem\">" + drivebase::EscapeMarkup(problem) + "</p>\n");
  return Figure(name, caption, "<div class=\"svg\">\n" + *svg + "</div>\n");
}

}  // namespace kestrel::cli
