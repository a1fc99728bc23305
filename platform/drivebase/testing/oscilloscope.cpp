// The host's oscilloscope: a window of the newest points that the test reads itself, drawn as
// one curve per channel against the point's number.
#include <algorithm>
#include <limits>

#include "drivebase/scope_logger.h"

namespace {

// The channels' colours: the reference and the measured value of the live-value legend first.
constexpr int kChannelColours[] = {2, 5, 8, 9};

}  // namespace

CMC_Oscilloscope::CMC_Oscilloscope() {
  document_.AddFilter();
  Init("", 1, 0);
}

void CMC_Oscilloscope::Init(const std::string& title, int channels, int flag, std::size_t points) {
  title_ = title;
  sweep_ = flag == 1;
  channels_ = static_cast<std::size_t>(std::max(channels, 1));
  capacity_ = std::max<std::size_t>(points, 1);
  added_ = 0;
  rows_.clear();
  ranges_.assign(channels_, {0.0, 0.0});
  std::vector<drivebase::GraphColumn> columns{{"point", "#"}};
  for (std::size_t i = 0; i < channels_; ++i) columns.push_back({"channel " + std::to_string(i + 1), "IU"});
  document_.SetColumns(std::move(columns));
  // The filter keeps the curves of an earlier Init; the channels it lacks get theirs.
  CGraphFilter& filter = *document_.GetFilter(0);
  for (std::size_t i = filter.Curves().size(); i < channels_; ++i) {
    const int column = static_cast<int>(i + 1);
    filter.Add(CXYCurve(i == 0 ? 1 : 2, 0, column, 2, RGB16(kChannelColours[i % std::size(kChannelColours)])));
  }
}

void CMC_Oscilloscope::SetChannelRange(int channel, double minimum, double maximum) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= channels_) return;
  ranges_[static_cast<std::size_t>(channel)] = {minimum, maximum};
}

void CMC_Oscilloscope::SetChannelColour(int channel, COLORREF colour) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= channels_) return;
  document_.GetFilter(0)->SetCurveColour(static_cast<std::size_t>(channel), colour);
}

std::pair<double, double> CMC_Oscilloscope::ChannelRange(int channel) const {
  if (channel < 0 || static_cast<std::size_t>(channel) >= channels_) return {0.0, 0.0};
  return ranges_[static_cast<std::size_t>(channel)];
}

void CMC_Oscilloscope::AddLastPoint(std::span<const double> values) {
  std::vector<double> row{static_cast<double>(added_++)};
  for (std::size_t i = 0; i < channels_; ++i) {
    row.push_back(i < values.size() ? values[i] : std::numeric_limits<double>::quiet_NaN());
  }
  if (rows_.size() < capacity_) {
    rows_.push_back(row);
    document_.AddRow(row);
    return;
  }
  // A full window: a sweep starts again; a rolling window drops its oldest point.
  if (sweep_) {
    rows_.clear();
  } else {
    rows_.pop_front();
  }
  rows_.push_back(std::move(row));
  document_.ClearRows();
  for (const std::vector<double>& kept : rows_) document_.AddRow(kept);
}

const CGraphFilter& CMC_Oscilloscope::Filter() const { return *document_.GetFilter(0); }

drivebase::GraphView CMC_Oscilloscope::View() const {
  drivebase::GraphView view;
  view.xMin = rows_.empty() ? 0.0 : rows_.front()[0];
  view.xMax = view.xMin + static_cast<double>(capacity_ - 1);
  std::tie(view.y1Min, view.y1Max) = ranges_[0];
  std::tie(view.y2Min, view.y2Max) = ranges_[channels_ > 1 ? 1 : 0];
  return view;
}
