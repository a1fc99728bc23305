#include "graph_state.h"

#include <algorithm>
#include <stdexcept>

#include "drivebase/graph.h"
#include "ui/dialog.h"

namespace kestrel::gui {
namespace {

using nlohmann::json;

json Row(const CGraphDocument& document, std::size_t row) {
  json values = json::array();
  for (std::size_t column = 0; column < document.Columns().size(); ++column) {
    values.push_back(document.Value(row, column));  // a value that is not finite goes out as null
  }
  return values;
}

// Whether an operation at `at` replaces or removes what is at `path`, or something holding it.
bool Covers(const std::string& at, const std::string& path) {
  return path == at || (path.size() > at.size() && path.compare(0, at.size(), at) == 0 && path[at.size()] == '/');
}

// Whether one of the first `operations` operations of the patch covers `path`.
bool PatchCovers(const json& patch, std::size_t operations, const std::string& path) {
  const auto first = patch.begin();
  return std::any_of(first, first + static_cast<std::ptrdiff_t>(operations), [&path](const json& operation) {
    return Covers(operation.at("path").get_ref<const std::string&>(), path);
  });
}

json Range(double low, double high) { return json::array({low, high}); }

void ReadRange(const json& view, const char* axis, double& low, double& high) {
  if (!view.contains(axis)) return;
  const json& range = view[axis];
  if (!range.is_array() || range.size() != 2 || !range[0].is_number() || !range[1].is_number()) {
    throw std::invalid_argument(std::string("the plot's view \"") + axis + "\" is not [min, max]");
  }
  low = range[0].get<double>();
  high = range[1].get<double>();
}

}  // namespace

const CGraphWindow* GraphOf(const ui::Window& control) {
  const auto* graph = dynamic_cast<const CGraphWindow*>(control.object);
  return graph != nullptr && graph->Filter() != nullptr ? graph : nullptr;
}

json GraphState(const CGraphWindow& graph) {
  const CGraphDocument& document = graph.Filter()->Document();
  json columns = json::array();
  for (const drivebase::GraphColumn& column : document.Columns()) {
    columns.push_back({{"name", column.name}, {"unit", column.unit}});
  }
  json curves = json::array();
  for (const CXYCurve& curve : graph.Filter()->ShownCurves()) {
    curves.push_back({{"x", curve.XColumn()},
                      {"y", curve.YColumn()},
                      {"axis", curve.YAxis()},
                      {"colour", drivebase::ColourHex(curve.Colour())},
                      {"width", curve.Width()}});
  }
  const drivebase::GraphView& view = graph.View();
  return {{"columns", std::move(columns)},
          {"curves", std::move(curves)},
          {"view", {{"x", Range(view.xMin, view.xMax)}, {"y1", Range(view.y1Min, view.y1Max)},
                    {"y2", Range(view.y2Min, view.y2Max)}}},
          {"yAxes", graph.YAxes()},
          {"generation", document.Generation()}};
}

std::vector<PlotSeries> PlotSeriesOf(const std::vector<CDialog*>& dialogs,
                                     const std::function<int(const CDialog&)>& serialOf) {
  std::vector<PlotSeries> plots;
  for (std::size_t d = 0; d < dialogs.size(); ++d) {
    const ui::Window* window = dialogs[d]->GetSafeHwnd();
    if (window == nullptr) continue;
    for (std::size_t c = 0; c < window->children.size(); ++c) {
      const CGraphWindow* graph = GraphOf(*window->children[c]);
      if (graph == nullptr) continue;
      const CGraphDocument& document = graph->Filter()->Document();
      plots.push_back({"/dialogs/" + std::to_string(d) + "/controls/" + std::to_string(c) + "/graph",
                       std::to_string(serialOf(*dialogs[d])) + "/" + std::to_string(window->children[c]->id),
                       &document, std::min(graph->ShownPoints(), document.RowCount())});
    }
  }
  return plots;
}

void PlotStreams::Update(const std::vector<PlotSeries>& plots, json& patch) {
  const std::size_t stateOperations = patch.size();  // those on the states themselves come first
  std::map<std::string, Stream> next;
  for (const PlotSeries& plot : plots) {
    Stream stream;
    if (const auto found = streams_.find(plot.path); found != streams_.end()) stream = std::move(found->second);
    const bool continues = stream.identity == plot.identity && stream.generation == plot.document->Generation() &&
                           stream.rows.size() <= plot.rows && !PatchCovers(patch, stateOperations, plot.path);
    if (!continues) {
      stream = {plot.identity, plot.document->Generation(), json::array()};
      for (std::size_t row = 0; row < plot.rows; ++row) stream.rows.push_back(Row(*plot.document, row));
      patch.push_back({{"op", "add"}, {"path", plot.path + "/points"}, {"value", stream.rows}});
    } else {
      for (std::size_t row = stream.rows.size(); row < plot.rows; ++row) {
        json values = Row(*plot.document, row);
        patch.push_back({{"op", "add"}, {"path", plot.path + "/points/-"}, {"value", values}});
        stream.rows.push_back(std::move(values));
      }
    }
    next[plot.path] = std::move(stream);
  }
  streams_ = std::move(next);
}

void PlotStreams::Insert(json& state) const {
  for (const auto& [path, stream] : streams_) state[json::json_pointer(path + "/points")] = stream.rows;
}

PlotFile RenderPlotFile(const CGraphWindow& graph, const std::string& caption, const std::string& format,
                        const json& view) {
  if (format == "csv") return {caption + ".csv", "text/csv", drivebase::RenderGraphCsv(*graph.Filter())};
  if (format != "svg") throw std::invalid_argument("a plot is saved as \"svg\" or \"csv\", not \"" + format + "\"");
  drivebase::GraphView shown = graph.View();
  if (!view.is_null()) {
    if (!view.is_object()) throw std::invalid_argument("the plot's view is not an object");
    ReadRange(view, "x", shown.xMin, shown.xMax);
    ReadRange(view, "y1", shown.y1Min, shown.y1Max);
    ReadRange(view, "y2", shown.y2Min, shown.y2Max);
  }
  return {caption + ".svg", "image/svg+xml", drivebase::RenderGraphSvg(*graph.Filter(), shown, graph.YAxes())};
}

}  // namespace kestrel::gui
