#include "host_window.h"

#include <filesystem>
#include <stdexcept>

#include "compute/registers.h"
#include "dialogs/message_box_reporter.h"
#include "drivebase/setup_file.h"
#include "number_text.h"
#include "setup_changes.h"
#include "ui/message_box.h"

namespace kestrel::gui {
namespace {

using nlohmann::json;

constexpr const char* kUnsavedQuestion = "The setup has changes that are not saved. Save them first?";

json ParameterRow(const CMC_Parameter& parameter) {
  const drivebase::UnitFamily& family = parameter.GetUnitType();
  const double perUnit = drivebase::BaseUnitsPerUnit(family, parameter.GetUnitName());
  const auto shown = [perUnit](double base) { return cli::NumberText(perUnit != 0 ? base / perUnit : base); };
  json units = json::array();
  for (const drivebase::DisplayUnit& unit : family.units) units.push_back(unit.name);
  return {{"name", parameter.GetName()},
          {"value", cli::NumberText(parameter.GetValueInDisplayUnit())},
          {"unit", parameter.GetUnitName()},
          {"units", std::move(units)},
          {"min", shown(parameter.GetMinInBaseUnit())},
          {"max", shown(parameter.GetMaxInBaseUnit())},
          {"type", parameter.GetType()}};
}

}  // namespace

HostWindow::HostWindow(cli::Host& host, cli::DriveOptions drive, const std::string& path, RecoveryFile* recovery)
    : host_(host), driveOptions_(std::move(drive)), path_(path), setup_(host.LoadSetup({path})), recovery_(recovery) {
  savedText_ = drivebase::SerializeSetup(setup_);
  Connect();
}

HostWindow::~HostWindow() = default;

void HostWindow::Connect() {
  drive_.reset();
  drive_ = std::make_unique<cli::DriveConnection>(driveOptions_, setup_);
  driveDescription_ = drive_->Link().Description();
}

json HostWindow::State() const { return StateOf(HasUnsavedChanges()); }

json HostWindow::StateOf(bool unsaved) const {
  const std::string file = path_.empty() ? "the default setup" : std::filesystem::path(path_).filename().string();
  json parameters = json::array();
  for (const auto& parameter : setup_.Parameters()) parameters.push_back(ParameterRow(*parameter));
  json options = json::object();
  for (const auto& option : setup_.Options()) options[option->name] = option->value;
  return {{"title", (unsaved ? "*" : "") + file + " - Kestrel"},
          {"file", path_},
          {"unsaved", unsaved},
          {"drive", driveDescription_},
          {"parameters", std::move(parameters)},
          {"options", std::move(options)},
          {"lastCommand", lastCommand_},
          {"changes", lastChanges_}};
}

bool HostWindow::HasUnsavedChanges() const { return drivebase::SerializeSetup(setup_) != savedText_; }

void HostWindow::Checkpoint() {
  if (recovery_ != nullptr) Keep(drivebase::SerializeSetup(setup_));
}

json HostWindow::CheckpointedState() {
  const std::string text = drivebase::SerializeSetup(setup_);
  Keep(text);
  return StateOf(text != savedText_);
}

void HostWindow::Keep(const std::string& text) {
  if (recovery_ == nullptr) return;
  if (text != savedText_) {
    recovery_->Keep(text, path_);
    kept_ = true;
  } else if (kept_) {
    recovery_->Discard();
    kept_ = false;
  }
}

void HostWindow::OfferRecovery() {
  if (recovery_ == nullptr) return;
  std::optional<RecoveryFile::Recovered> recovered;
  try {
    recovered = recovery_->Read();
  } catch (const std::exception& error) {
    ui::ShowMessageBox("The recovery file cannot be read: " + std::string(error.what()), ui::kApplicationCaption,
                       MB_OK | MB_ICONERROR);
    return;
  }
  if (!recovered) return;
  const std::string file = recovered->file.empty() ? "the default setup" : recovered->file;
  const int answer = ui::ShowMessageBox("Kestrel kept changes to " + file +
                                            " that were not saved when it last stopped. Recover them?",
                                        ui::kApplicationCaption, MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES) {
    recovery_->Discard();
    return;
  }
  setup_ = std::move(recovered->setup);
  setup_.SetScaleFunctions({host_.Plugin().getScaleFactor, host_.Plugin().getScaleOffset});
  path_ = recovered->file;
  kept_ = true;  // the file now holds this session's unsaved changes
  lastCommand_ = "Recovered the unsaved changes to " + file;
  lastChanges_.clear();
  Connect();
}

void HostWindow::Open(const std::string& path) {
  if (!MayClose()) return;
  CMC_Setup opened = host_.LoadSetup({path});
  setup_ = std::move(opened);
  path_ = path;
  savedText_ = drivebase::SerializeSetup(setup_);
  lastCommand_ = "Opened " + path;
  lastChanges_.clear();
  Connect();
}

void HostWindow::Save() {
  if (path_.empty()) throw std::runtime_error("the default setup has no file of its own: use Save as");
  SaveAs(path_);
}

void HostWindow::SaveAs(const std::string& path) {
  if (path.empty()) throw std::runtime_error("Save as needs the name of a file");
  drivebase::SaveSetupFile(setup_, path);
  Saved(path);
}

void HostWindow::Saved(const std::string& path) {
  path_ = path;
  savedText_ = drivebase::SerializeSetup(setup_);
  lastCommand_ = "Saved " + path;
}

CMC_Parameter& HostWindow::Parameter(const std::string& name) const {
  CMC_Parameter* parameter = setup_.FindParameter(name);
  if (parameter == nullptr) throw std::runtime_error("the setup has no parameter " + name);
  return *parameter;
}

void HostWindow::SetParameter(const std::string& name, const std::string& valueText) {
  CMC_Parameter& parameter = Parameter(name);
  const std::optional<double> value = cli::ParseNumber(valueText);
  if (!value) throw std::runtime_error(name + ": \"" + valueText + "\" is not a number");
  if (!parameter.SetValueInDisplayUnit(*value)) throw std::runtime_error(name + ": the setup model refused " + valueText);
  lastCommand_ = "Set " + name + " = " + cli::NumberText(parameter.GetValueInDisplayUnit()) + " " +
                 parameter.GetUnitName();
}

void HostWindow::SetParameterUnit(const std::string& name, const std::string& unit) {
  CMC_Parameter& parameter = Parameter(name);
  if (drivebase::BaseUnitsPerUnit(parameter.GetUnitType(), unit) == 0 || !parameter.ChangeUnitType(unit)) {
    throw std::runtime_error(name + ": cannot be shown in \"" + unit + "\"");
  }
}

void HostWindow::EditSetup() {
  const int confirmed = host_.Plugin().editSetup(&setup_);
  lastCommand_ = confirmed == 1 ? "Edit setup: OK" : "Edit setup: cancelled";
  lastChanges_.clear();
}

cli::RoadRecord HostWindow::Commission(const Road& road) {
  cli::RoadRecord record = road(setup_, drive_->SimulatedDrive());
  record.setupName = path_.empty() ? "embedded default setup" : path_;
  record.driveName = driveDescription_;
  lastChanges_ = record.changes;
  lastCommand_ = std::string(record.completed ? "Commission: completed" : "Commission: not completed") + ", " +
                 std::to_string(lastChanges_.size()) + (lastChanges_.size() == 1 ? " value changed" : " values changed");
  return record;
}

void HostWindow::ComputeRegisters() {
  const cli::SetupValues before = cli::ValuesOf(setup_);
  ComputeAllRegisters(&setup_, MessageBoxReporter());
  host_.Plugin().computeAllOptions(&setup_);
  lastChanges_ = cli::Changes(setup_, before);
  lastCommand_ = "Compute registers: " + std::to_string(lastChanges_.size()) +
                 (lastChanges_.size() == 1 ? " value changed" : " values changed");
}

bool HostWindow::MayClose() {
  if (!HasUnsavedChanges()) return true;
  const int answer = ui::ShowMessageBox(kUnsavedQuestion, ui::kApplicationCaption, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return false;
  if (answer == IDYES) Save();
  return true;
}

bool HostWindow::Close() {
  if (!MayClose()) return false;
  if (recovery_ != nullptr) recovery_->Discard();
  kept_ = false;
  return true;
}

}  // namespace kestrel::gui
