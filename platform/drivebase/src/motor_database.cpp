#include "drivebase/motor_database.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "drivebase/atomic_file.h"
#include "drivebase/error_report.h"
#include "drivebase/gui_resources.h"
#include "drivebase/setup.h"

namespace drivebase {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kFormat = "kestrel-motors";
constexpr int kVersion = 1;

constexpr std::array<std::string_view, 27> kMotorData = {
    "In", "ImaxM", "pp", "PolePitch", "K", "Kf", "R", "L", "Jm", "M",
    "MotorPhaseConnectionType", "isMotorTemperatureSensor", "Motor_TempSensor_Type",
    "MotorSensorType", "No_encoder_lines", "Resolution", "isHallsensors", "HALLCASE",
    "LHResolution", "SSI_isMultiTurn", "SSI_isGray", "SSI_No_Bits_Revolution",
    "SSI_No_Bits_Turns", "SSI_Resolution", "SSI_No_Bits_Linear", "MECRESL", "isMotorBrake"};

// Values that only a rotary motor, or only a linear one, has.
constexpr std::array<std::string_view, 4> kRotaryOnly = {"pp", "K", "Jm", "No_encoder_lines"};
constexpr std::array<std::string_view, 6> kLinearOnly = {"PolePitch", "Kf", "M", "Resolution",
                                                         "SSI_Resolution", "SSI_No_Bits_Linear"};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool BelongsTo(MotorMotion motion, std::string_view name) {
  return motion == MotorMotion::Rotary ? !Contains(kLinearOnly, name) : !Contains(kRotaryOnly, name);
}

// Sensor values belong to a motor only for the sensor types that use them.
bool UsedBySensor(std::string_view name, int sensorType) {
  const auto among = [&](std::initializer_list<int> types) {
    return std::find(types.begin(), types.end(), sensorType) != types.end();
  };
  if (name == "No_encoder_lines" || name == "Resolution") return among({1, 3, 7, 9});
  if (name == "LHResolution") return sensorType == 2;
  if (name == "MECRESL") return sensorType == 4;
  if (name.starts_with("SSI_")) return among({5, 6, 7});
  return true;
}

std::string_view MotionName(MotorMotion motion) { return motion == MotorMotion::Rotary ? "rotary" : "linear"; }

[[noreturn]] void Fail(const std::string& file, const std::string& place, const std::string& what) {
  throw MotorDatabaseError(file + ": " + place + (place.empty() ? "" : ": ") + what);
}

MotorEntry ReadMotor(const Json& json, const std::string& file, const std::string& place) {
  if (!json.is_object()) Fail(file, place, "must be an object");
  for (const auto& [key, value] : json.items()) {
    if (key != "name" && key != "motion" && key != "values") Fail(file, place, "unknown key \"" + key + "\"");
  }
  MotorEntry motor;
  if (!json.contains("name") || !json["name"].is_string() || json["name"].get<std::string>().empty()) {
    Fail(file, place, "\"name\" must be a text that is not empty");
  }
  motor.name = json["name"].get<std::string>();
  const std::string where = place + " \"" + motor.name + "\"";
  const std::string motion = json.contains("motion") && json["motion"].is_string() ? json["motion"].get<std::string>() : "";
  if (motion != "rotary" && motion != "linear") Fail(file, where, "\"motion\" must be \"rotary\" or \"linear\"");
  motor.motion = motion == "rotary" ? MotorMotion::Rotary : MotorMotion::Linear;
  if (!json.contains("values") || !json["values"].is_object()) Fail(file, where, "\"values\" must be an object");
  for (const auto& [name, value] : json["values"].items()) {
    if (!Contains(kMotorData, name)) Fail(file, where, "\"" + name + "\" is not a motor value");
    if (!BelongsTo(motor.motion, name)) {
      Fail(file, where, "\"" + name + "\" is not a value of a " + std::string(MotionName(motor.motion)) + " motor");
    }
    if (!value.is_number() || !std::isfinite(value.get<double>())) Fail(file, where, "\"" + name + "\" must be a finite number");
    motor.values.emplace_back(name, value.get<double>());
  }
  return motor;
}

}  // namespace

std::span<const std::string_view> MotorDataNames() { return kMotorData; }

MotorMotion MotorMotionOf(const CMC_Setup& setup) {
  const ErrorReportingOff quiet;
  const CMC_Parameter* transmission = setup.FindParameter("TransmissionType");
  const int type = transmission == nullptr ? 0 : static_cast<int>(transmission->GetValueInBaseUnit());
  return type == 2 || type == 3 ? MotorMotion::Linear : MotorMotion::Rotary;
}

MotorDatabase MotorDatabase::Load(const std::filesystem::path& file, bool allowMissing) {
  std::error_code error;
  if (allowMissing && !std::filesystem::exists(file, error)) return {};
  std::ifstream in(file, std::ios::binary);
  if (!in) throw MotorDatabaseError(file.string() + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str(), file.string());
}

MotorDatabase MotorDatabase::Parse(std::string_view text, const std::string& fileName) {
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& error) {
    Fail(fileName, "", std::string("not JSON: ") + error.what());
  }
  if (!json.is_object() || json.value("format", "") != kFormat) Fail(fileName, "", "not a motor database (\"format\" must be \"kestrel-motors\")");
  if (!json.contains("version") || json["version"] != kVersion) Fail(fileName, "", "unknown \"version\" (this Kestrel reads version 1)");
  if (!json.contains("motors") || !json["motors"].is_array()) Fail(fileName, "", "\"motors\" must be an array");
  MotorDatabase database;
  std::set<std::string> names;
  for (std::size_t i = 0; i < json["motors"].size(); ++i) {
    MotorEntry motor = ReadMotor(json["motors"][i], fileName, "motor " + std::to_string(i + 1));
    if (!names.insert(motor.name).second) Fail(fileName, "motor " + std::to_string(i + 1), "the name \"" + motor.name + "\" appears twice");
    database.motors_.push_back(std::move(motor));
  }
  return database;
}

std::string MotorDatabase::ToText() const {
  std::string text = "{\n  \"format\": \"kestrel-motors\",\n  \"version\": 1,\n  \"motors\": [";
  for (std::size_t i = 0; i < motors_.size(); ++i) {
    const MotorEntry& motor = motors_[i];
    Json values = Json::object();
    for (const auto& [name, value] : motor.values) values[name] = value;
    Json line{{"name", motor.name}, {"motion", MotionName(motor.motion)}, {"values", values}};
    text += (i == 0 ? "\n    " : ",\n    ") + line.dump();
  }
  return text + (motors_.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void MotorDatabase::Save(const std::filesystem::path& file) const {
  try {
    std::filesystem::create_directories(file.parent_path());
    WriteFileAtomically(file, ToText());
  } catch (const std::exception& error) {
    throw MotorDatabaseError(file.string() + ": cannot be written: " + error.what());
  }
}

const MotorEntry* MotorDatabase::Find(std::string_view name) const {
  const auto found = std::find_if(motors_.begin(), motors_.end(), [&](const MotorEntry& m) { return m.name == name; });
  return found == motors_.end() ? nullptr : &*found;
}

void MotorDatabase::Put(MotorEntry motor) {
  const auto found = std::find_if(motors_.begin(), motors_.end(), [&](const MotorEntry& m) { return m.name == motor.name; });
  if (found != motors_.end()) {
    *found = std::move(motor);
  } else {
    motors_.push_back(std::move(motor));
  }
}

bool MotorDatabase::Remove(std::string_view name) {
  return std::erase_if(motors_, [&](const MotorEntry& m) { return m.name == name; }) > 0;
}

MotorEntry MotorFromSetup(const CMC_Setup& setup, std::string name) {
  MotorEntry motor{std::move(name), MotorMotionOf(setup), {}};
  const ErrorReportingOff quiet;
  const CMC_Parameter* sensor = setup.FindParameter("MotorSensorType");
  const int sensorType = sensor == nullptr ? 0 : static_cast<int>(sensor->GetValueInBaseUnit());
  for (const std::string_view parameterName : kMotorData) {
    if (!BelongsTo(motor.motion, parameterName) || !UsedBySensor(parameterName, sensorType)) continue;
    const CMC_Parameter* parameter = setup.FindParameter(parameterName);
    if (parameter != nullptr) motor.values.emplace_back(parameterName, parameter->GetValueInBaseUnit());
  }
  return motor;
}

std::vector<std::string> ApplyMotorToSetup(const MotorEntry& motor, CMC_Setup& setup) {
  std::vector<std::string> changed;
  const ErrorReportingOff quiet;
  for (const auto& [name, value] : motor.values) {
    CMC_Parameter* parameter = setup.FindParameter(name);
    if (parameter == nullptr) continue;
    const double before = parameter->GetValueInInternalUnit();
    parameter->SetValueInBaseUnit(value);
    if (parameter->GetValueInInternalUnit() != before) changed.push_back(parameter->GetName());
  }
  return changed;
}

std::filesystem::path ShippedMotorDatabasePath() {
  return std::filesystem::path(GetGUIDirectory()) / "resources" / "motors.json";
}

std::filesystem::path UserMotorDatabasePath() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && *dataHome == '/') return std::filesystem::path(dataHome) / "kestrel" / "motors.json";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share" / "kestrel" / "motors.json";
}

}  // namespace drivebase
