// The graph control: which rows of its filter's document it shows, and the region it shows.
#include "drivebase/graph.h"
CGraphWindow::CGraphWindow(int yAxes, int style) : yAxes_(yAxes), style_(style) {}

CGraphWindow::~CGraphWindow() = default;

bool CGraphWindow::SubclassDlgItem(int id, CWnd* parent, const CGraphFilter* filter) {
  if (!CWnd::SubclassDlgItem(id, parent)) return false;
  filter_ = filter;
  shownPoints_ = 0;
  DoZoomOut();
  return true;
}

void CGraphWindow::RefreshGraph() {
  shownPoints_ = RowsAvailable();
  DoZoomOut();
}

void CGraphWindow::DoZoomOut() {
  extent_ = {};
  extentRows_ = 0;
  zoomedOut_ = true;
  Follow();
}

void CGraphWindow::UpdateLastPoint() {
  shownPoints_ = RowsAvailable();
  Follow();
}

void CGraphWindow::UpdatePoint(std::size_t index) {
  if (index >= RowsAvailable()) return;
  Follow();
}

void CGraphWindow::SetView(const drivebase::GraphView& view) {
  view_ = view;
  zoomedOut_ = false;
  Redraw();
}

bool CGraphWindow::CreateWMF(const std::string& name, std::string& error) const {
  if (filter_ == nullptr) {
    error = "cannot save the plot '" + name + "': the graph shows no curves";
    return false;
  }
  return drivebase::WritePlotFile(name, ".svg", drivebase::RenderGraphSvg(*filter_, view_, yAxes_), error);
}

bool CGraphWindow::CanAttachTo(ui::ControlKind kind) const { return kind == ui::ControlKind::Graph; }

std::size_t CGraphWindow::RowsAvailable() const {
  return filter_ != nullptr ? filter_->Document().RowCount() : 0;
}

// A view that spanned every point grows with the points, taking only the rows not taken yet; a
// region the user chose stays.
void CGraphWindow::Follow() {
  if (zoomedOut_ && filter_ != nullptr) {
    const CGraphDocument& document = filter_->Document();
    const std::size_t rows = document.RowCount();
    if (document.Generation() != extentGeneration_ || filter_->Curves().size() != extentCurves_ || rows < extentRows_) {
      extent_ = {};
      extentRows_ = 0;
      extentGeneration_ = document.Generation();
      extentCurves_ = filter_->Curves().size();
    }
    extent_.Take(*filter_, extentRows_, rows);
    extentRows_ = rows;
    view_ = extent_.View();
  }
  Redraw();
}

void CGraphWindow::Redraw() {
  if (GetSafeHwnd() != nullptr) Invalidate();
}
