// A dialog's graph control for the page: its curves, view and columns in the state, and its points
// as streams of rows. A page gets a graph's points once (in the whole state, or when the graph
// appears or its document is cleared) and then only the rows appended since the version before,
// as JSON Patch "add .../points/-" operations; the whole series never goes out again per point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ui/window.h"

class CDialog;
class CGraphDocument;
class CGraphWindow;

namespace kestrel::gui {

// The graph control attached to a dialog's control, when it shows a filter; null otherwise.
const CGraphWindow* GraphOf(const ui::Window& control);

// The document's columns (name, unit), the curves (x and y column, axis 1 or 2, colour "#rrggbb",
// width), the view, the Y axes drawn and the document's generation. The points are not in it.
nlohmann::json GraphState(const CGraphWindow& graph);

// The points of one graph shown in the state.
struct PlotSeries {
  std::string path;      // JSON pointer to the graph's object in the state
  std::string identity;  // which graph: the dialog's serial and the control's id
  const CGraphDocument* document = nullptr;
  std::size_t rows = 0;  // the rows the graph shows
};

// The graphs of the open dialogs (in the order of the state's "dialogs"), with their paths.
std::vector<PlotSeries> PlotSeriesOf(const std::vector<CDialog*>& dialogs,
                                     const std::function<int(const CDialog&)>& serialOf);

// The rows of every graph that went out, to bring a page from one version to the next and to
// put the points into a whole state. Used under the state channel's lock.
class PlotStreams {
 public:
  // Appends to `patch` (the difference of the states without points) the operations that bring
  // each graph's points up to date: the new rows one by one, or the whole series when the page
  // cannot hold the rows before (a new graph, a cleared document, an object the patch replaced).
  void Update(const std::vector<PlotSeries>& plots, nlohmann::json& patch);
  // Puts each graph's points into a whole state, at "points" of its object.
  void Insert(nlohmann::json& state) const;

 private:
  struct Stream {
    std::string identity;
    std::uint64_t generation = 0;
    nlohmann::json rows = nlohmann::json::array();
  };
  std::map<std::string, Stream> streams_;  // by path
};

// A plot downloaded by the page: the SVG of the graph (in `view`, the page's zoom, when given
// as {"x": [min, max], "y1": [...], "y2": [...]}) or the CSV of its points. std::invalid_argument
// for another format or a malformed view.
struct PlotFile {
  std::string name;  // "<caption>.svg"
  std::string mime;
  std::string text;
};
PlotFile RenderPlotFile(const CGraphWindow& graph, const std::string& caption, const std::string& format,
                        const nlohmann::json& view);

}  // namespace kestrel::gui
