// The logger's variables, the graph document's columns, and the upload of the logged points.
#include "drivebase/logger.h"

#include "drivebase/units.h"
#include "drivebase/variable.h"

namespace {

constexpr const char* kInternalUnit = "IU";

// The unit a flag-1 variable is plotted in: its display unit, else its base unit.
std::string DisplayUnitOf(const CMC_Variable& variable) {
  if (!variable.GetUnitName().empty()) return variable.GetUnitName();
  return std::string(variable.GetBaseUnitName());
}

}  // namespace

CMC_Logger::CMC_Logger(CMC_Setup* setup, CMC_CoffFormat* image) : setup_(setup), image_(image) {
  document_.SetColumns(ExpectedColumns());
}

CMC_Logger::~CMC_Logger() = default;

bool CMC_Logger::Fail(std::string text) const {
  lastError_ = std::move(text);
  return false;
}

bool CMC_Logger::AddVariable(const std::string& name, int flag) {
  if (uploading_) return Fail("Cannot log '" + name + "' while the logged points are being read");
  if (setup_ == nullptr || setup_->FindVariable(name, 0) == nullptr) {
    return Fail("The setup has no drive variable '" + name + "' to log");
  }
  variables_.push_back({name, flag != 0 ? 1 : 0});
  LocateItems();
  return true;
}

std::vector<drivebase::GraphColumn> CMC_Logger::ExpectedColumns() const {
  std::vector<drivebase::GraphColumn> columns{{"time", "s"}};
  for (const LoggedVariable& logged : variables_) {
    const CMC_Variable* variable = setup_ != nullptr ? setup_->FindVariable(logged.name, 0) : nullptr;
    const bool display = logged.flag != 0 && variable != nullptr;
    columns.push_back({logged.name, display ? DisplayUnitOf(*variable) : kInternalUnit});
  }
  return columns;
}

bool CMC_Logger::LocateItems() {
  document_.SetColumns(ExpectedColumns());
  for (const LoggedVariable& logged : variables_) {
    if (setup_ == nullptr || setup_->FindVariable(logged.name, 0) == nullptr) {
      return Fail("The setup has no drive variable '" + logged.name + "' any more");
    }
  }
  return true;
}

bool CMC_Logger::ItemsLocated() const {
  const std::vector<drivebase::GraphColumn> expected = ExpectedColumns();
  const std::vector<drivebase::GraphColumn>& columns = document_.Columns();
  if (columns.size() != expected.size()) return false;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name != expected[i].name || columns[i].unit != expected[i].unit) return false;
  }
  return true;
}

void CMC_Logger::ClearVariables() {
  variables_.clear();
  points_.clear();
  nextPoint_ = 0;
  uploading_ = false;
  document_.SetColumns(ExpectedColumns());
}

bool CMC_Logger::ApplySettings(const drivebase::LoggerSettings&) {
  return Fail("This logger has no settings to load");
}

bool CMC_Logger::BeginUploadData() {
  std::vector<drivebase::LoggedPoint> points;
  if (!CMC_Comm::UploadLog(points)) return Fail(CMC_Comm::GetLastErrorText());
  for (const drivebase::LoggedPoint& point : points) {
    if (point.values.size() == variables_.size()) continue;
    CMC_Comm::SetLastErrorText("The drive sent logged points of " + std::to_string(point.values.size()) +
                               " values for a logger of " + std::to_string(variables_.size()) + " variables");
    return Fail(CMC_Comm::GetLastErrorText());
  }
  points_ = std::move(points);
  nextPoint_ = 0;
  uploading_ = true;
  if (ItemsLocated()) {
    document_.ClearRows();
  } else {
    LocateItems();
  }
  return true;
}

int CMC_Logger::ReadPoint(double* buffer) {
  if (!uploading_ || nextPoint_ >= points_.size()) return 0;
  const drivebase::LoggedPoint& point = points_[nextPoint_++];
  if (buffer != nullptr) {
    buffer[0] = point.time_s;
    for (std::size_t i = 0; i < point.values.size(); ++i) buffer[i + 1] = point.values[i];
  }
  document_.AddRow(DocumentRow(point));
  return 1;
}

void CMC_Logger::EndUploadData() { uploading_ = false; }

bool CMC_Logger::StartCapture(std::optional<drivebase::LoggerSettings>& launchWith) {
  launchWith = LaunchSettings();
  return true;
}

void CMC_Logger::StartFilling(std::vector<drivebase::LoggedPoint> points) {
  points_ = std::move(points);
  nextPoint_ = points_.size();
  uploading_ = true;
  if (!ItemsLocated()) LocateItems();
  document_.ClearRows();
  for (const drivebase::LoggedPoint& point : points_) document_.AddRow(DocumentRow(point));
}

void CMC_Logger::ReplacePoint(std::size_t index, drivebase::LoggedPoint point) {
  document_.SetRow(index, DocumentRow(point));
  points_.at(index) = std::move(point);
}

std::vector<double> CMC_Logger::DocumentRow(const drivebase::LoggedPoint& point) const {
  const std::vector<drivebase::GraphColumn>& columns = document_.Columns();
  std::vector<double> row{point.time_s};
  for (std::size_t i = 0; i < point.values.size(); ++i) {
    const double internal = point.values[i];
    const CMC_Variable* variable = setup_ != nullptr ? setup_->FindVariable(variables_[i].name, 0) : nullptr;
    if (variable == nullptr || columns[i + 1].unit == kInternalUnit) {
      row.push_back(internal);
      continue;
    }
    const double perUnit = drivebase::BaseUnitsPerUnit(variable->GetUnitType(), columns[i + 1].unit);
    const double base = variable->BaseFromInternal(internal);
    row.push_back(perUnit != 0.0 ? base / perUnit : base);
  }
  return row;
}
