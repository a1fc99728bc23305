// The picture of a filter's curves as a self-contained SVG document: the plot area with its grid,
// the X axis below, the left Y axis and, when curves use it, the right one, each with round-number
// ticks and its units, every curve a polyline in its colour and width, and a legend below.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "drivebase/graph.h"
#include "graph_axis.h"

namespace drivebase {
namespace {

constexpr double kWidth = 800, kPlotTop = 20, kPlotBottom = 400, kLeft = 80;
constexpr double kRightWithAxis = 80, kRightWithout = 24;
constexpr double kLegendTop = 452, kLegendRow = 18, kCharWidth = 7;
constexpr int kTicksTarget = 6;

std::string Px(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::clamp(value, -1e6, 1e6));
  return text;
}

// Maps a data range onto a pixel range (pixels may run backwards, as on a Y axis).
struct Scale {
  double low, high, pixelLow, pixelHigh;
  double operator()(double value) const {
    const double span = high > low ? high - low : 1.0;
    return pixelLow + (value - low) / span * (pixelHigh - pixelLow);
  }
};

// "[A, V]": the units of the columns, each once, in the order of the curves.
std::string UnitsLabel(const std::vector<std::string>& units) {
  std::string label;
  for (const std::string& unit : units) label += (label.empty() ? "" : ", ") + unit;
  return label.empty() ? label : "[" + label + "]";
}

class SvgPlot {
 public:
  SvgPlot(const CGraphFilter& filter, const GraphView& view, int yAxes)
      : document_(filter.Document()), columns_(document_.Columns()), curves_(filter.ShownCurves()) {
    for (const CXYCurve& curve : curves_) rightAxis_ = rightAxis_ || (curve.YAxis() == 2 && yAxes >= 2);
    right_ = kWidth - (rightAxis_ ? kRightWithAxis : kRightWithout);
    x_ = {view.xMin, view.xMax, kLeft, right_};
    y1_ = {view.y1Min, view.y1Max, kPlotBottom, kPlotTop};
    y2_ = {view.y2Min, view.y2Max, kPlotBottom, kPlotTop};
  }

  std::string Render() {
    const std::string legend = Legend();
    const std::string height = Px(legendBottom_ + 12);
    svg_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           Px(kWidth) + "\" height=\"" + height + "\" viewBox=\"0 0 " + Px(kWidth) + " " + height +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg_ += "<defs><clipPath id=\"plot-area\"><rect x=\"" + Px(kLeft) + "\" y=\"" + Px(kPlotTop) + "\" width=\"" +
            Px(right_ - kLeft) + "\" height=\"" + Px(kPlotBottom - kPlotTop) + "\"/></clipPath></defs>\n";
    svg_ += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    GridAndAxes();
    Curves();
    svg_ += legend + "</svg>\n";
    return svg_;
  }

 private:
  bool OnRightAxis(const CXYCurve& curve) const { return curve.YAxis() == 2 && rightAxis_; }

  // The units of the curves on the left (1) or right (2) axis, each once.
  std::vector<std::string> AxisUnits(int axis) const {
    std::vector<std::string> units;
    for (const CXYCurve& curve : curves_) {
      if (OnRightAxis(curve) != (axis == 2)) continue;
      const std::string& unit = columns_[static_cast<std::size_t>(curve.YColumn())].unit;
      if (std::find(units.begin(), units.end(), unit) == units.end()) units.push_back(unit);
    }
    return units;
  }

  void Line(double x1, double y1, double x2, double y2) {
    svg_ += "<line x1=\"" + Px(x1) + "\" y1=\"" + Px(y1) + "\" x2=\"" + Px(x2) + "\" y2=\"" + Px(y2) + "\"/>";
  }
  void Text(double x, double y, const char* anchor, const std::string& text, const std::string& extra = "") {
    svg_ += "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" text-anchor=\"" + anchor + "\"" + extra + ">" +
            EscapeMarkup(text) + "</text>\n";
  }

  void GridAndAxes() {
    const auto xTicks = ChooseAxisTicks(x_.low, x_.high, kTicksTarget);
    const auto yTicks = ChooseAxisTicks(y1_.low, y1_.high, kTicksTarget);
    svg_ += "<g class=\"grid\" stroke=\"#d8d8d8\" stroke-width=\"1\">";
    for (const AxisTick& tick : xTicks) Line(x_(tick.value), kPlotTop, x_(tick.value), kPlotBottom);
    for (const AxisTick& tick : yTicks) Line(kLeft, y1_(tick.value), right_, y1_(tick.value));
    svg_ += "</g>\n<g class=\"axes\" stroke=\"#000000\" stroke-width=\"1\"><rect x=\"" + Px(kLeft) + "\" y=\"" +
            Px(kPlotTop) + "\" width=\"" + Px(right_ - kLeft) + "\" height=\"" + Px(kPlotBottom - kPlotTop) +
            "\" fill=\"none\"/>";
    for (const AxisTick& tick : xTicks) Line(x_(tick.value), kPlotBottom, x_(tick.value), kPlotBottom + 5);
    for (const AxisTick& tick : yTicks) Line(kLeft - 5, y1_(tick.value), kLeft, y1_(tick.value));
    const auto y2Ticks = rightAxis_ ? ChooseAxisTicks(y2_.low, y2_.high, kTicksTarget) : std::vector<AxisTick>{};
    for (const AxisTick& tick : y2Ticks) Line(right_, y2_(tick.value), right_ + 5, y2_(tick.value));
    svg_ += "</g>\n";

    svg_ += "<g class=\"x-axis\">\n";
    for (const AxisTick& tick : xTicks) Text(x_(tick.value), kPlotBottom + 18, "middle", tick.label);
    Text((kLeft + right_) / 2, kPlotBottom + 36, "middle", XLabel());
    svg_ += "</g>\n<g class=\"y1-axis\">\n";
    for (const AxisTick& tick : yTicks) Text(kLeft - 8, y1_(tick.value) + 4, "end", tick.label);
    AxisTitle(kLeft - 60, UnitsLabel(AxisUnits(1)));
    svg_ += "</g>\n";
    if (!rightAxis_) return;
    svg_ += "<g class=\"y2-axis\">\n";
    for (const AxisTick& tick : y2Ticks) Text(right_ + 8, y2_(tick.value) + 4, "start", tick.label);
    AxisTitle(right_ + 64, UnitsLabel(AxisUnits(2)));
    svg_ += "</g>\n";
  }

  void AxisTitle(double x, const std::string& text) {
    const double y = (kPlotTop + kPlotBottom) / 2;
    Text(x, y, "middle", text, " transform=\"rotate(-90 " + Px(x) + " " + Px(y) + ")\"");
  }

  // "time [s]": the X columns' names and units.
  std::string XLabel() const {
    std::vector<std::string> names;
    for (const CXYCurve& curve : curves_) {
      const std::string name = columns_[static_cast<std::size_t>(curve.XColumn())].Label();
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    std::string label;
    for (const std::string& name : names) label += (label.empty() ? "" : ", ") + name;
    return label;
  }

  void Curves() {
    svg_ += "<g class=\"curves\" clip-path=\"url(#plot-area)\" fill=\"none\" stroke-linejoin=\"round\">\n";
    for (const CXYCurve& curve : curves_) {
      const Scale& y = OnRightAxis(curve) ? y2_ : y1_;
      const std::string open = "<polyline class=\"curve\" stroke=\"" + ColourHex(curve.Colour()) +
                               "\" stroke-width=\"" + std::to_string(std::max(1, curve.Width())) + "\" points=\"";
      std::string points;
      const auto flush = [&] {
        if (!points.empty()) svg_ += open + points + "\"/>\n";
        points.clear();
      };
      for (std::size_t row = 0; row < document_.RowCount(); ++row) {
        const double xv = document_.Value(row, static_cast<std::size_t>(curve.XColumn()));
        const double yv = document_.Value(row, static_cast<std::size_t>(curve.YColumn()));
        if (!std::isfinite(xv) || !std::isfinite(yv)) {
          flush();  // a gap in the data breaks the line
          continue;
        }
        points += (points.empty() ? "" : " ") + Px(x_(xv)) + "," + Px(y(yv));
      }
      flush();
    }
    svg_ += "</g>\n";
  }

  // The legend's entries flow left to right in rows below the X axis' label.
  std::string Legend() {
    std::string legend = "<g class=\"legend\">\n";
    double x = kLeft, y = kLegendTop;
    for (const CXYCurve& curve : curves_) {
      const std::string text = columns_[static_cast<std::size_t>(curve.YColumn())].Label();
      const double width = 30 + kCharWidth * static_cast<double>(text.size()) + 16;
      if (x > kLeft && x + width > right_) {
        x = kLeft;
        y += kLegendRow;
      }
      legend += "<line x1=\"" + Px(x) + "\" y1=\"" + Px(y - 4) + "\" x2=\"" + Px(x + 24) + "\" y2=\"" + Px(y - 4) +
                "\" stroke=\"" + ColourHex(curve.Colour()) + "\" stroke-width=\"" +
                std::to_string(std::max(1, curve.Width())) + "\"/><text x=\"" + Px(x + 30) + "\" y=\"" + Px(y) +
                "\">" + EscapeMarkup(text) + "</text>\n";
      x += width;
    }
    legendBottom_ = y;
    return legend + "</g>\n";
  }

  const CGraphDocument& document_;
  const std::vector<GraphColumn>& columns_;
  const std::vector<CXYCurve> curves_;  // those whose columns the document has
  bool rightAxis_ = false;
  double right_ = kWidth;
  double legendBottom_ = kLegendTop;
  Scale x_{}, y1_{}, y2_{};
  std::string svg_;
};

}  // namespace

std::string EscapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ColourHex(COLORREF colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(colour & 0xFF),
                static_cast<unsigned>((colour >> 8) & 0xFF), static_cast<unsigned>((colour >> 16) & 0xFF));
  return text;
}

std::string RenderGraphSvg(const CGraphFilter& filter, const GraphView& view, int yAxes) {
  return SvgPlot(filter, view, yAxes).Render();
}

}  // namespace drivebase
