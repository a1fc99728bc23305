// Plots of logged data.
//
// A graph document holds the points of one logger as rows: the time first, then one column per
// logged variable, each column with its name and unit. A filter is one view of a document: the
// curves it draws, each an X column against a Y column on the left (1) or right (2) Y axis, with
// a line width and a colour of the host's 16-colour palette. A graph window shows one filter in
// a dialog's graph placeholder (SubclassDlgItem). Headless, the window is state a test can
// inspect (the points shown, the view); its picture is written as SVG and its points as CSV.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/win_types.h"
#include "ui/wnd.h"

// Entry `index` (0 … 15) of the host's 16-colour palette: 0 black, 1 dark blue, 2 dark green,
// 3 dark cyan, 4 dark red, 5 dark magenta, 6 olive, 7 grey, 8 dark grey, 9 blue, 10 green,
// 11 cyan, 12 red, 13 magenta, 14 yellow, 15 white. Other indexes wrap modulo 16.
COLORREF RGB16(int index);

namespace drivebase {

struct GraphColumn {
  std::string name;  // "time", or the logged variable's name
  std::string unit;  // "s", the variable's unit, "IU" for internal units
  // "time [s]": how axes, legends and CSV headers name the column.
  std::string Label() const { return name + " [" + unit + "]"; }
};

// The region of the data a graph window shows; the zoomed-out view spans every point.
struct GraphView {
  double xMin = 0.0, xMax = 1.0;
  double y1Min = 0.0, y1Max = 1.0;  // left axis
  double y2Min = 0.0, y2Max = 1.0;  // right axis
};

}  // namespace drivebase

class CGraphFilter;

namespace drivebase {

// The extent of a filter's points, taken a few rows at a time (a live plot grows by a row per
// point); View() is then the zoomed-out view of the rows taken.
class GraphExtent {
 public:
  void Take(const CGraphFilter& filter, std::size_t firstRow, std::size_t endRow);
  GraphView View() const;

 private:
  // The lowest and highest finite values taken; low > high while none was.
  struct Span {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    void Take(double value);
    // The span with a margin of 5 % on each side; flat data get a margin of their own.
    void Widen(double& outLow, double& outHigh) const;
  };
  Span x_, y1_, y2_;
};

}  // namespace drivebase

// The points of one logger.
class CGraphDocument {
 public:
  CGraphDocument();
  ~CGraphDocument();
  CGraphDocument(const CGraphDocument&) = delete;
  CGraphDocument& operator=(const CGraphDocument&) = delete;

  // Sets the columns and removes every row (the filters keep their curves).
  void SetColumns(std::vector<drivebase::GraphColumn> columns);
  const std::vector<drivebase::GraphColumn>& Columns() const { return columns_; }

  // Appends a row of one value per column; std::invalid_argument for another count.
  void AddRow(const std::vector<double>& row);
  // Replaces the values of an existing row; std::invalid_argument for another count,
  // std::out_of_range for a row the document lacks.
  void SetRow(std::size_t row, const std::vector<double>& values);
  // Removes every row; the document's generation counts these clearings, so that a viewer that
  // has shown n rows knows whether they are still the first n.
  void ClearRows();
  std::size_t RowCount() const;
  // The value of a column in a row; std::out_of_range for a row or column the document lacks.
  double Value(std::size_t row, std::size_t column) const;
  bool HasColumn(int column) const { return column >= 0 && static_cast<std::size_t>(column) < columns_.size(); }
  std::uint64_t Generation() const { return generation_; }

  // The filters, in the order added; the first is the one a logger's graph shows.
  CGraphFilter& AddFilter();
  CGraphFilter* GetFilter(std::size_t index);
  const CGraphFilter* GetFilter(std::size_t index) const;
  std::size_t GetFilterCount() const { return filters_.size(); }

 private:
  std::vector<drivebase::GraphColumn> columns_;
  std::vector<double> values_;  // row-major, columns_.size() per row
  std::uint64_t generation_ = 0;
  std::vector<std::unique_ptr<CGraphFilter>> filters_;
};

// One curve: the values of yColumn against those of xColumn.
class CXYCurve {
 public:
  // yAxis 1 (left) or 2 (right), otherwise std::invalid_argument.
  CXYCurve(int yAxis, int xColumn, int yColumn, int width, COLORREF colour);
  int YAxis() const { return yAxis_; }
  int XColumn() const { return xColumn_; }
  int YColumn() const { return yColumn_; }
  int Width() const { return width_; }
  COLORREF Colour() const { return colour_; }

 private:
  int yAxis_, xColumn_, yColumn_, width_;
  COLORREF colour_;
};

class CGraphFilter {
 public:
  explicit CGraphFilter(const CGraphDocument& document) : document_(document) {}
  // Adds a curve; std::invalid_argument when a column is outside the document's columns.
  void Add(const CXYCurve& curve);
  // Draws the curve at `index` in another colour; std::out_of_range for a curve it lacks.
  void SetCurveColour(std::size_t index, COLORREF colour);
  const std::vector<CXYCurve>& Curves() const { return curves_; }
  // The curves whose columns the document still has: new columns (a logger's Reset leaves only
  // the time) keep the curves, and the plots, the CSV and the page skip those left without data.
  std::vector<CXYCurve> ShownCurves() const;
  const CGraphDocument& Document() const { return document_; }
  // The view that spans every point of the curves (a small margin around flat data).
  drivebase::GraphView ZoomedOutView() const;
  // The columns the shown curves use, each once: the X columns first, then the Y columns, in the
  // order of the curves (the columns of ExportToASCII).
  std::vector<int> PlottedColumns() const;
  // Writes the curves' columns (each column once, X first) as CSV to
  // drivebase::PlotDirectory()/name.csv: a header "name [unit],...", then one line per row,
  // numbers written so that they read back exactly. Written atomically; false with the error
  // text (naming the file) in `error` when it cannot be written.
  bool ExportToASCII(const std::string& name, std::string& error) const;

 private:
  const CGraphDocument& document_;
  std::vector<CXYCurve> curves_;
};

// A graph control: shows a filter on a dialog's graph placeholder.
class CGraphWindow : public CWnd {
 public:
  // yAxes: 1 or 2 Y axes drawn; style: 0 lines.
  CGraphWindow(int yAxes, int style);
  ~CGraphWindow() override;
  // Takes the parent's graph placeholder `id` and shows the filter (not owned; it outlives the
  // window's use). False when the parent has no such control.
  bool SubclassDlgItem(int id, CWnd* parent, const CGraphFilter* filter);
  const CGraphFilter* Filter() const { return filter_; }

  // Shows every row of the document again, zoomed out.
  void RefreshGraph();
  // The view spans every point, and follows the points appended from now on.
  void DoZoomOut();
  // The newest row is shown (appended while uploading); row `index` was changed. A zoomed-out
  // view grows to span them; a view set by SetView stays.
  void UpdateLastPoint();
  void UpdatePoint(std::size_t index);
  // The rows shown so far, and the view.
  std::size_t ShownPoints() const { return shownPoints_; }
  const drivebase::GraphView& View() const { return view_; }
  void SetView(const drivebase::GraphView& view);
  int YAxes() const { return yAxes_; }
  int Style() const { return style_; }

  // The picture of the plot as it is shown (curves, axes with their units, grid, legend) as SVG
  // in drivebase::PlotDirectory()/name.svg, written atomically; false with the error in `error`.
  bool CreateWMF(const std::string& name, std::string& error) const;

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;

 private:
  int yAxes_;
  int style_;
  const CGraphFilter* filter_ = nullptr;
  std::size_t shownPoints_ = 0;
  drivebase::GraphView view_;
  bool zoomedOut_ = true;  // the view follows the points until the user chooses a region
  // The extent of the rows taken so far, of the document's generation and the curves then.
  drivebase::GraphExtent extent_;
  std::size_t extentRows_ = 0;
  std::uint64_t extentGeneration_ = 0;
  std::size_t extentCurves_ = 0;

  std::size_t RowsAvailable() const;
  void Follow();
  void Redraw();
};

namespace drivebase {

// The plot of a filter as an SVG document (what CreateWMF writes), in the given view. The right
// Y axis is drawn when yAxes >= 2 and a curve uses it; otherwise every curve uses the left one.
std::string RenderGraphSvg(const CGraphFilter& filter, const GraphView& view, int yAxes);
// The points of a filter's curves as CSV (what ExportToASCII writes).
std::string RenderGraphCsv(const CGraphFilter& filter);
// The shortest text of a number that reads back as the same double, in the "%g" style ("0.1",
// "0.0001", "1e-07", "nan").
std::string ExactNumber(double value);
// Text for an SVG, XML or HTML document: & < > " and ' written as entities.
std::string EscapeMarkup(std::string_view text);
// A palette colour as the web writes it: "#rrggbb".
std::string ColourHex(COLORREF colour);

// Where plots and their points are written: the directory set last, or the working directory.
std::string PlotDirectory();
void SetPlotDirectory(const std::string& directory);
// Writes a plot's file atomically to PlotDirectory()/name + extension (".svg", ".csv"). False with
// the error text (naming the file) in `error` when the name is empty, holds a folder, or the file
// cannot be written.
bool WritePlotFile(const std::string& name, std::string_view extension, std::string_view contents,
                   std::string& error);

}  // namespace drivebase
