#include "drivebase/setup.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "drivebase/comm.h"
#include "drivebase/config_line.h"
#include "drivebase/error_report.h"

namespace {

// Scale functions read other parameters of the setup; a setup whose scale inputs are themselves
// drive-scaled would convert without end. Past this depth a conversion is taken as unscaled.
constexpr int kMaxScaleDepth = 4;
thread_local int g_scaleDepth = 0;

class ScaleDepthGuard {
 public:
  ScaleDepthGuard() { ++g_scaleDepth; }
  ~ScaleDepthGuard() { --g_scaleDepth; }
  ScaleDepthGuard(const ScaleDepthGuard&) = delete;
  ScaleDepthGuard& operator=(const ScaleDepthGuard&) = delete;
  bool TooDeep() const { return g_scaleDepth > kMaxScaleDepth; }
};

void ReportMissing(std::string_view what, std::string_view name) {
  if (g_bShowErrors == 0) return;  // probing: not even the message is built
  drivebase::ReportError(std::string(what) + " '" + std::string(name) +
                         "' does not exist in the setup");
}

}  // namespace

CMC_Setup::CMC_Setup(const CMC_Setup& other)
    : parameters_(other.parameters_),
      variables_(other.variables_),
      options_(other.options_),
      identity_(other.identity_),
      family_(other.family_),
      scale_(other.scale_) {
  RebindAll();
}

CMC_Setup& CMC_Setup::operator=(const CMC_Setup& other) {
  if (this != &other) {
    CMC_Setup copy(other);
    *this = std::move(copy);
  }
  return *this;
}

CMC_Setup::CMC_Setup(CMC_Setup&& other) noexcept
    : parameters_(std::move(other.parameters_)),
      variables_(std::move(other.variables_)),
      options_(std::move(other.options_)),
      identity_(std::move(other.identity_)),
      family_(std::move(other.family_)),
      scale_(other.scale_) {
  RebindAll();
}

CMC_Setup& CMC_Setup::operator=(CMC_Setup&& other) noexcept {
  parameters_ = std::move(other.parameters_);
  variables_ = std::move(other.variables_);
  options_ = std::move(other.options_);
  identity_ = std::move(other.identity_);
  family_ = std::move(other.family_);
  scale_ = other.scale_;
  RebindAll();
  return *this;
}

void CMC_Setup::FollowChangedValue(const CMC_Parameter& changed) {
  if (!drivebase::EqualsIgnoringCase(changed.GetName(), "VdcMaxMeasurable")) return;
  CMC_Parameter* supply = parameters_.Find("Vdc");
  if (supply == nullptr) return;
  supply->SetMaxInBaseUnit(changed.GetValueInBaseUnit());
  supply->SetValueInBaseUnit(supply->GetValueInBaseUnit());  // within the new range
}

void CMC_Setup::RebindAll() {
  for (const auto& parameter : parameters_.items()) parameter->Rebind(this);
  for (const auto& variable : variables_.items()) variable->Rebind(this);
}

CMC_Parameter* CMC_Setup::FindParameter(std::string_view name) const {
  CMC_Parameter* parameter = parameters_.Find(name);
  if (parameter == nullptr) ReportMissing("parameter", name);
  return parameter;
}

double CMC_Setup::GetParameterValueInBaseUnit(std::string_view name) const {
  const CMC_Parameter* parameter = FindParameter(name);
  return parameter != nullptr ? parameter->GetValueInBaseUnit() : 0.0;
}

double CMC_Setup::GetParameterValueInInternalUnit(std::string_view name) const {
  const CMC_Parameter* parameter = FindParameter(name);
  return parameter != nullptr ? parameter->GetValueInInternalUnit() : 0.0;
}

double CMC_Setup::GetParameterValue(std::string_view name) const {
  const CMC_Parameter* parameter = FindParameter(name);
  return parameter != nullptr ? parameter->GetValueInDisplayUnit() : 0.0;
}

bool CMC_Setup::SetParameterValueInBaseUnit(std::string_view name, double value) {
  CMC_Parameter* parameter = FindParameter(name);
  return parameter != nullptr && parameter->SetValueInBaseUnit(value);
}

bool CMC_Setup::SetParameterValueInInternalUnit(std::string_view name, double value) {
  CMC_Parameter* parameter = FindParameter(name);
  return parameter != nullptr && parameter->SetValueInInternalUnit(value);
}

CMC_Parameter& CMC_Setup::AddParameter(const drivebase::ParameterSpec& spec) {
  CMC_Parameter* added = parameters_.Insert(std::make_unique<CMC_Parameter>(this, spec));
  if (added == nullptr) {
    throw std::invalid_argument("parameter '" + spec.name + "' exists already");
  }
  return *added;
}

bool CMC_Setup::RemoveParameter(std::string_view name) { return parameters_.Erase(name); }

CMC_Variable* CMC_Setup::FindVariable(std::string_view name, int reportIfMissing) const {
  CMC_Variable* variable = variables_.Find(name);
  if (variable == nullptr && reportIfMissing != 0) ReportMissing("drive variable", name);
  return variable;
}

CMC_Variable& CMC_Setup::AddVariable(const drivebase::QuantitySpec& spec) {
  CMC_Variable* added = variables_.Insert(std::make_unique<CMC_Variable>(this, spec));
  if (added == nullptr) {
    throw std::invalid_argument("drive variable '" + spec.name + "' exists already");
  }
  return *added;
}

bool CMC_Setup::RemoveVariable(std::string_view name) { return variables_.Erase(name); }

int CMC_Setup::GetIntOption(std::string_view name) const {
  const drivebase::Option* option = options_.Find(name);
  if (option == nullptr) {
    ReportMissing("option", name);
    return 0;
  }
  const long value = std::strtol(option->value.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp(value, long{INT_MIN}, long{INT_MAX}));
}

std::string CMC_Setup::GetOptionNoError(std::string_view name) const {
  const drivebase::Option* option = options_.Find(name);
  return option != nullptr ? option->value : std::string();
}

void CMC_Setup::SetOption(std::string_view name, std::string_view text) {
  if (drivebase::Option* option = options_.Find(name)) {
    option->value = std::string(text);
    return;
  }
  options_.Insert(std::make_unique<drivebase::Option>(
      drivebase::Option{std::string(name), std::string(text)}));
}

void CMC_Setup::ClearOption(std::string_view name) { options_.Erase(name); }

bool CMC_Setup::SetFirmwareID(const std::string& id) {
  if (!drivebase::IsValidFirmwareId(id)) return false;
  identity_.firmwareId = id;
  return true;
}

int CMC_Setup::GetDLMaxConnectorValue() const {
  return static_cast<int>(family_.connectors.size()) - 1;
}

std::vector<std::string> CMC_Setup::GetDLSensorsArray() const {
  std::vector<std::string> lines;
  lines.reserve(family_.connectors.size());
  for (const drivebase::FeedbackConnector& connector : family_.connectors) {
    std::string line = drivebase::EscapeForConfigLine(connector.name);
    for (const int code : connector.sensorTypes) {
      line += ' ';
      line += drivebase::EscapeForConfigLine(std::to_string(code) + "," + GetSensorName(code));
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string CMC_Setup::GetSensorName(int sensorType) const {
  if (sensorType < 0 || sensorType >= static_cast<int>(family_.sensorNames.size())) return {};
  return family_.sensorNames[static_cast<std::size_t>(sensorType)];
}

std::string CMC_Setup::GetFeedbackName(int connector) const {
  if (connector < 0 || connector >= static_cast<int>(family_.connectors.size())) return {};
  return family_.connectors[static_cast<std::size_t>(connector)].name;
}

void CMC_Setup::GetSSIFreqList(std::vector<int>& kHz, std::vector<int>& modes) const {
  kHz = family_.ssiClocks.kHz;
  modes = family_.ssiClocks.modes;
}

void CMC_Setup::GetBiSSFreqList(std::vector<int>& kHz, std::vector<int>& modes) const {
  kHz = family_.bissClocks.kHz;
  modes = family_.bissClocks.modes;
}

int CMC_Setup::GetIOPortFromPin(int pin) const {
  for (const drivebase::IoPin& io : family_.ioPins) {
    if (io.pin == pin) return io.port;
  }
  return -1;
}

int CMC_Setup::GetIOPinFromPort(int port) const {
  for (const drivebase::IoPin& io : family_.ioPins) {
    if (io.port == port) return io.pin;
  }
  return -1;
}

int CMC_Setup::GetNumberOfBrakeOutputs() const {
  int count = 0;
  for (const drivebase::IoPin& io : family_.ioPins) count += io.brakeOutput ? 1 : 0;
  return count;
}

int CMC_Setup::IsBrakePortEnable(int port) const {
  constexpr int kBrakeOutput = 0x01;
  constexpr int kSourceStage = 0x10;
  constexpr int kSinkStage = 0x20;
  for (const drivebase::IoPin& io : family_.ioPins) {
    if (io.port != port || !io.brakeOutput) continue;
    return kBrakeOutput | (io.sourceOutput ? kSourceStage : kSinkStage);
  }
  return 0;
}

bool CMC_Setup::IsBrakePortInverted(int port) const {
  for (const drivebase::IoPin& io : family_.ioPins) {
    if (io.port == port) return io.inverted;
  }
  return false;
}

std::vector<drivebase::FeedbackConnector> CMC_Setup::GetDLSensorConnectors() const {
  std::vector<drivebase::FeedbackConnector> connectors;
  const std::vector<std::string> lines = GetDLSensorsArray();
  for (std::size_t index = 0; index < lines.size(); ++index) {
    std::string_view line = lines[index];
    drivebase::FeedbackConnector connector;
    if (!ReadEscapedStringFromConfigLine(line, connector.name)) {
      drivebase::ReportError("sensor connector " + std::to_string(index) + ": the line has no name: " + lines[index]);
      continue;
    }
    std::string sensor;
    while (ReadEscapedStringFromConfigLine(line, sensor)) {
      char* end = nullptr;
      const long code = std::strtol(sensor.c_str(), &end, 10);
      if (end == sensor.c_str() || *end != ',' || code < 0 || code > family_.maxSensorType) {
        drivebase::ReportError("sensor connector \"" + connector.name + "\": faulty sensor entry \"" + sensor + "\"");
        continue;
      }
      connector.sensorTypes.push_back(static_cast<int>(code));
    }
    connectors.push_back(std::move(connector));
  }
  return connectors;
}

const drivebase::GuiModule& CMC_Setup::GetGuiModule() {
  static const drivebase::GuiModule module(std::filesystem::path(drivebase::GetGUIDirectory()) / "resources" / "bitmaps");
  return module;
}

std::string CMC_Setup::GetHelpFileOfGUI() const { return "docs/help/README.md"; }

bool CMC_Setup::HasSensorOfType(std::string_view parameter, int sensorType,
                                bool reportIfMissing) const {
  const CMC_Parameter* found = parameters_.Find(parameter);
  if (found == nullptr) {
    if (reportIfMissing) ReportMissing("parameter", parameter);
    return false;
  }
  return std::trunc(found->GetValueInBaseUnit()) == sensorType;
}

bool CMC_Setup::HasDLMotorSensor(int sensorType, bool reportIfMissing) const {
  return HasSensorOfType("MotorSensorType", sensorType, reportIfMissing);
}

bool CMC_Setup::HasDLLoadSensor(int sensorType, bool reportIfMissing) const {
  return HasSensorOfType("LoadSensorType", sensorType, reportIfMissing);
}

double CMC_Setup::ScaleFactor(std::string_view baseUnit, const std::string& name) const {
  const ScaleDepthGuard guard;
  if (scale_.factor == nullptr || guard.TooDeep()) return 1.0;
  return scale_.factor(const_cast<CMC_Setup*>(this), std::string(baseUnit).c_str(),
                       name.c_str());
}

double CMC_Setup::ScaleOffset(std::string_view baseUnit, const std::string& name) const {
  const ScaleDepthGuard guard;
  if (scale_.offset == nullptr || guard.TooDeep()) return 0.0;
  return scale_.offset(const_cast<CMC_Setup*>(this), std::string(baseUnit).c_str(),
                       name.c_str());
}

std::uint32_t Compute_ADCMaxValue(const CMC_Setup* setup) {
  return setup != nullptr ? setup->DriveFamily().adcFullScale : 0;
}

bool CMC_Setup::ExecuteString(std::string_view command, int, void*) const { return CMC_Comm::ExecuteString(command); }
