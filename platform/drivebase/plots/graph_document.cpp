// The graph document's rows and filters, and the curves of a filter.
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "drivebase/graph.h"

CGraphDocument::CGraphDocument() = default;
CGraphDocument::~CGraphDocument() = default;

void CGraphDocument::SetColumns(std::vector<drivebase::GraphColumn> columns) {
  columns_ = std::move(columns);
  ClearRows();
}

void CGraphDocument::AddRow(const std::vector<double>& row) {
  if (row.size() != columns_.size()) {
    throw std::invalid_argument("graph row has " + std::to_string(row.size()) + " values, expected " +
                                std::to_string(columns_.size()));
  }
  values_.insert(values_.end(), row.begin(), row.end());
}

void CGraphDocument::SetRow(std::size_t row, const std::vector<double>& values) {
  if (values.size() != columns_.size()) {
    throw std::invalid_argument("graph row has " + std::to_string(values.size()) + " values, expected " +
                                std::to_string(columns_.size()));
  }
  if (row >= RowCount()) {
    throw std::out_of_range("graph row " + std::to_string(row) + " is outside the document's " +
                            std::to_string(RowCount()) + " rows");
  }
  std::copy(values.begin(), values.end(), values_.begin() + static_cast<std::ptrdiff_t>(row * columns_.size()));
}

void CGraphDocument::ClearRows() {
  values_.clear();
  ++generation_;
}

std::size_t CGraphDocument::RowCount() const { return columns_.empty() ? 0 : values_.size() / columns_.size(); }

double CGraphDocument::Value(std::size_t row, std::size_t column) const {
  if (column >= columns_.size()) {
    throw std::out_of_range("graph column " + std::to_string(column) + " is outside the document's " +
                            std::to_string(columns_.size()) + " columns");
  }
  return values_.at(row * columns_.size() + column);
}

CGraphFilter& CGraphDocument::AddFilter() {
  filters_.push_back(std::make_unique<CGraphFilter>(*this));
  return *filters_.back();
}

CGraphFilter* CGraphDocument::GetFilter(std::size_t index) {
  return index < filters_.size() ? filters_[index].get() : nullptr;
}

const CGraphFilter* CGraphDocument::GetFilter(std::size_t index) const {
  return index < filters_.size() ? filters_[index].get() : nullptr;
}

CXYCurve::CXYCurve(int yAxis, int xColumn, int yColumn, int width, COLORREF colour)
    : yAxis_(yAxis), xColumn_(xColumn), yColumn_(yColumn), width_(width), colour_(colour) {
  if (yAxis != 1 && yAxis != 2) {
    throw std::invalid_argument("a curve's Y axis is 1 or 2, not " + std::to_string(yAxis));
  }
}

void CGraphFilter::SetCurveColour(std::size_t index, COLORREF colour) {
  if (index >= curves_.size()) {
    throw std::out_of_range("curve " + std::to_string(index) + " is beyond the filter's " +
                            std::to_string(curves_.size()) + " curves");
  }
  const CXYCurve& curve = curves_[index];
  curves_[index] = CXYCurve(curve.YAxis(), curve.XColumn(), curve.YColumn(), curve.Width(), colour);
}

void CGraphFilter::Add(const CXYCurve& curve) {
  for (const int column : {curve.XColumn(), curve.YColumn()}) {
    if (!document_.HasColumn(column)) {
      throw std::invalid_argument("curve column " + std::to_string(column) + " is outside the document's " +
                                  std::to_string(document_.Columns().size()) + " columns");
    }
  }
  curves_.push_back(curve);
}

std::vector<CXYCurve> CGraphFilter::ShownCurves() const {
  std::vector<CXYCurve> shown;
  for (const CXYCurve& curve : curves_) {
    if (document_.HasColumn(curve.XColumn()) && document_.HasColumn(curve.YColumn())) shown.push_back(curve);
  }
  return shown;
}

namespace drivebase {

void GraphExtent::Span::Take(double value) {
  if (!std::isfinite(value)) return;
  low = std::min(low, value);
  high = std::max(high, value);
}

// Flat or empty data get a unit-wide span.
void GraphExtent::Span::Widen(double& outLow, double& outHigh) const {
  if (low > high) {
    outLow = 0.0;
    outHigh = 1.0;
    return;
  }
  const double width = high - low;
  const double margin = width > 0.0 ? 0.05 * width : std::max(0.5, 0.05 * std::abs(low));
  outLow = low - margin;
  outHigh = high + margin;
}

void GraphExtent::Take(const CGraphFilter& filter, std::size_t firstRow, std::size_t endRow) {
  const CGraphDocument& document = filter.Document();
  for (const CXYCurve& curve : filter.ShownCurves()) {
    Span& y = curve.YAxis() == 1 ? y1_ : y2_;
    for (std::size_t row = firstRow; row < endRow; ++row) {
      x_.Take(document.Value(row, static_cast<std::size_t>(curve.XColumn())));
      y.Take(document.Value(row, static_cast<std::size_t>(curve.YColumn())));
    }
  }
}

GraphView GraphExtent::View() const {
  GraphView view;
  if (x_.low <= x_.high) {
    view.xMin = x_.low;
    view.xMax = x_.high > x_.low ? x_.high : x_.low + 1.0;
  }
  y1_.Widen(view.y1Min, view.y1Max);
  y2_.Widen(view.y2Min, view.y2Max);
  return view;
}

}  // namespace drivebase

drivebase::GraphView CGraphFilter::ZoomedOutView() const {
  drivebase::GraphExtent extent;
  extent.Take(*this, 0, document_.RowCount());
  return extent.View();
}
