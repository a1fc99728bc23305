// The plots in the commissioning report: each saved SVG put inline into the page, its CSV linked
// beside it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel::cli {

// An SVG document made fit to stand inside the page: what precedes the <svg> element (XML
// declaration, doctype, comments) dropped, a viewBox made from the width and height when it has
// none (so that it scales with the page), and every id prefixed, with the references to it, since
// the plots name their parts alike (each plot's clip path is "plot-area") and the page must tell
// them apart. std::nullopt for a text without an <svg> element.
std::optional<std::string> InlineSvg(std::string_view svg, std::string_view idPrefix);

// One plot's figure: REPORT/plotDirectory/NAME.svg inline and a relative link to NAME.csv. A plot
// file that is missing or cannot be read is said in its place; this never throws for a plot file.
std::string PlotFigureHtml(const std::filesystem::path& reportDirectory, std::string_view plotDirectory,
                           std::string_view name, std::string_view idPrefix);

}  // namespace kestrel::cli
