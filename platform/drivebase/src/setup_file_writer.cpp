#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "drivebase/atomic_file.h"
#include "drivebase/setup_file.h"

namespace drivebase {
namespace {

using Json = nlohmann::ordered_json;

// Whole values as integers ("1000", not "1000.0"); others in the shortest form that reads back
// to the same double. -0.0 stays a float so that its sign survives.
Json Number(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  const bool negativeZero = value == 0.0 && std::signbit(value);
  if (!negativeZero && value == std::trunc(value) && std::fabs(value) < kLimit) {
    return static_cast<long long>(value);
  }
  return value;
}

Json Limit(double value) {
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return Number(value);
}

// A value on one line, with a blank after each comma and colon:
// {"name": "Feedback #1", "sensors": [1, 3]}.
std::string Line(const Json& value) {
  if (!value.is_structured()) return value.dump(-1, ' ', false, Json::error_handler_t::replace);
  const bool isObject = value.is_object();
  std::string text = isObject ? "{" : "[";
  bool first = true;
  for (const auto& [key, item] : value.items()) {
    if (!first) text += ", ";
    first = false;
    if (isObject) text += Json(key).dump() + ": ";
    text += Line(item);
  }
  return text + (isObject ? "}" : "]");
}

// "key": [ one line per item ]
std::string LineArray(std::string_view key, const std::vector<Json>& items, const char* indent) {
  std::string text = std::string(indent) + Json(std::string(key)).dump() + ": [";
  if (items.empty()) return text + "]";
  text += "\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    text += std::string(indent) + "  " + Line(items[i]) + (i + 1 < items.size() ? ",\n" : "\n");
  }
  return text + indent + "]";
}

Json QuantityJson(const Quantity& quantity) {
  Json json;
  json["name"] = quantity.GetName();
  json["type"] = quantity.GetType();
  if (!quantity.GetUnitName().empty()) json["unit"] = quantity.GetUnitName();
  if (quantity.IsDriveScaled()) json["scaled"] = true;
  json["value"] = Number(quantity.GetValueInInternalUnit());
  return json;
}

Json ParameterJson(const CMC_Parameter& parameter) {
  Json json = QuantityJson(parameter);
  if (parameter.GetMinInBaseUnit() != -std::numeric_limits<double>::infinity()) {
    json["min"] = Limit(parameter.GetMinInBaseUnit());
  }
  if (parameter.GetMaxInBaseUnit() != std::numeric_limits<double>::infinity()) {
    json["max"] = Limit(parameter.GetMaxInBaseUnit());
  }
  if (parameter.AreLimitsCrossed()) json["crossed"] = true;
  if (parameter.GetPrecision() != ParameterSpec().precision) {
    json["precision"] = parameter.GetPrecision();
  }
  return json;
}

Json ClocksJson(const ClockList& clocks) {
  Json json;
  json["kHz"] = clocks.kHz;
  json["modes"] = clocks.modes;
  return json;
}

std::string DriveSection(const DriveFamilyData& family) {
  const char* indent = "    ";
  std::string text = "  \"drive\": {\n";
  text += std::string(indent) + "\"adcFullScale\": " + std::to_string(family.adcFullScale) + ",\n";
  text += std::string(indent) + "\"generation\": " + std::to_string(family.generation) + ",\n";
  text += std::string(indent) + "\"maxSensorType\": " + std::to_string(family.maxSensorType) + ",\n";
  text += std::string(indent) + "\"sensorNames\": " + Line(Json(family.sensorNames)) + ",\n";
  std::vector<Json> connectors;
  for (const FeedbackConnector& connector : family.connectors) {
    Json json;
    json["name"] = connector.name;
    json["sensors"] = connector.sensorTypes;
    connectors.push_back(std::move(json));
  }
  text += LineArray("connectors", connectors, indent) + ",\n";
  text += std::string(indent) + "\"ssiClocks\": " + Line(ClocksJson(family.ssiClocks)) + ",\n";
  text += std::string(indent) + "\"bissClocks\": " + Line(ClocksJson(family.bissClocks)) + ",\n";
  std::vector<Json> pins;
  for (const IoPin& io : family.ioPins) {
    Json json;
    json["pin"] = io.pin;
    json["port"] = io.port;
    json["brake"] = io.brakeOutput;
    if (!io.sourceOutput) json["stage"] = "sink";
    if (io.inverted) json["inverted"] = true;
    pins.push_back(std::move(json));
  }
  text += LineArray("ioPins", pins, indent) + "\n";
  return text + "  }";
}

}  // namespace

std::string SerializeSetup(const CMC_Setup& setup) {
  const DriveIdentity& identity = setup.Identity();
  Json identityJson;
  identityJson["firmware"] = identity.firmwareId;
  identityJson["product"] = identity.productId;
  identityJson["application"] = identity.applicationId;
  identityJson["description"] = identity.description;
  identityJson["e2romSize"] = identity.e2romSize;

  std::vector<Json> parameters;
  for (const auto& parameter : setup.Parameters()) parameters.push_back(ParameterJson(*parameter));
  std::vector<Json> variables;
  for (const auto& variable : setup.Variables()) variables.push_back(QuantityJson(*variable));
  std::vector<Json> options;
  for (const auto& option : setup.Options()) {
    Json json;
    json["name"] = option->name;
    json["value"] = option->value;
    options.push_back(std::move(json));
  }

  std::string text = "{\n";
  text += "  \"format\": " + Json(std::string(kSetupFormatName)).dump() + ",\n";
  text += "  \"version\": " + std::to_string(kSetupFormatVersion) + ",\n";
  text += "  \"identity\": " + Line(identityJson) + ",\n";
  text += DriveSection(setup.DriveFamily()) + ",\n";
  text += LineArray("parameters", parameters, "  ") + ",\n";
  text += LineArray("variables", variables, "  ") + ",\n";
  text += LineArray("options", options, "  ") + "\n";
  return text + "}\n";
}

void SaveSetupFile(const CMC_Setup& setup, const std::filesystem::path& path) {
  WriteFileAtomically(path, SerializeSetup(setup));
}

}  // namespace drivebase
