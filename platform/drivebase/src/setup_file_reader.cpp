#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "drivebase/error_report.h"
#include "drivebase/named_table.h"
#include "drivebase/setup_file.h"
#include "drivebase/units.h"
#include "drivebase/value_types.h"

namespace drivebase {
namespace {

using Json = nlohmann::ordered_json;

std::string Join(const std::string& source, const std::vector<std::string>& faults) {
  std::string text = source + ": ";
  text += faults.size() == 1 ? faults.front() : std::to_string(faults.size()) + " faults";
  return text;
}

// A setup nests four levels deep; far deeper text is no setup, and values that deep would
// exhaust the stack of the recursive routines that print them.
constexpr int kMaxNesting = 64;

// Parses JSON, noting every object that repeats a key (the parser itself keeps the last) and
// dropping whatever nests deeper than a setup can.
Json ParseJson(std::string_view text, std::vector<std::string>& faults) {
  std::vector<std::set<std::string>> keys;
  bool tooDeep = false;
  const Json::parser_callback_t noteDuplicates = [&](int depth, Json::parse_event_t event,
                                                     Json& parsed) {
    if (depth > kMaxNesting) {
      if (!tooDeep) faults.push_back("values nest deeper than " + std::to_string(kMaxNesting) + " levels");
      tooDeep = true;
      return false;
    }
    if (event == Json::parse_event_t::object_start) {
      keys.emplace_back();
    } else if (event == Json::parse_event_t::object_end && !keys.empty()) {
      keys.pop_back();
    } else if (event == Json::parse_event_t::key && !keys.empty() &&
               !keys.back().insert(parsed.get<std::string>()).second) {
      faults.push_back("key \"" + parsed.get<std::string>() + "\" appears twice in one object");
    }
    return true;
  };
  try {
    return Json::parse(text.begin(), text.end(), noteDuplicates);
  } catch (const Json::exception& error) {
    faults.push_back(std::string("not valid JSON: ") + error.what());
    return Json();
  }
}

// A short description of a value for a message: scalars as they are written, at most about 40
// characters (never cutting a UTF-8 character), objects and arrays by their size.
std::string Describe(const Json& value) {
  if (value.is_object()) return "an object of " + std::to_string(value.size()) + " entries";
  if (value.is_array()) return "an array of " + std::to_string(value.size()) + " items";
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() <= 40) return text;
  std::size_t cut = 37;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

// Collects the faults of one entry, each prefixed with the entry's place.
class Entry {
 public:
  Entry(std::vector<std::string>& faults, std::string place)
      : faults_(faults), place_(std::move(place)) {}

  void Fault(const std::string& what) const { faults_.push_back(place_ + ": " + what); }

  // Reports keys of the object that the format does not know.
  void OnlyKeys(const Json& object, std::initializer_list<std::string_view> known) const {
    for (const auto& [key, value] : object.items()) {
      if (std::find(known.begin(), known.end(), key) == known.end()) {
        Fault("unknown key \"" + key + "\"");
      }
    }
  }

  bool IsObject(const Json& value) const {
    if (value.is_object()) return true;
    Fault("must be an object, not " + Describe(value));
    return false;
  }

  std::optional<std::string> String(const Json& object, const char* key, bool required) const {
    if (!object.contains(key)) {
      if (required) Fault("\"" + std::string(key) + "\" is missing");
      return std::nullopt;
    }
    const Json& value = object.at(key);
    if (!value.is_string()) {
      Fault("\"" + std::string(key) + "\" must be a string, not " + Describe(value));
      return std::nullopt;
    }
    return value.get<std::string>();
  }

  std::optional<bool> Bool(const Json& object, const char* key) const {
    if (!object.contains(key)) return std::nullopt;
    const Json& value = object.at(key);
    if (!value.is_boolean()) {
      Fault("\"" + std::string(key) + "\" must be true or false, not " + Describe(value));
      return std::nullopt;
    }
    return value.get<bool>();
  }

  // A finite number; for limits also the strings "inf" and "-inf".
  std::optional<double> Number(const Json& value, const std::string& what,
                               bool infinityAllowed) const {
    if (value.is_number()) {
      const double number = value.get<double>();
      if (std::isfinite(number)) return number;
    }
    if (infinityAllowed && value.is_string()) {
      if (value == "inf") return std::numeric_limits<double>::infinity();
      if (value == "-inf") return -std::numeric_limits<double>::infinity();
    }
    Fault(what + " must be a finite number" + (infinityAllowed ? " or \"inf\", \"-inf\"" : "") +
          ", not " + Describe(value));
    return std::nullopt;
  }

  std::optional<long long> Integer(const Json& value, const std::string& what, long long lowest,
                                   long long highest) const {
    const std::optional<double> number = Number(value, what, false);
    if (!number) return std::nullopt;
    if (*number != std::trunc(*number) || *number < static_cast<double>(lowest) ||
        *number > static_cast<double>(highest)) {
      Fault(what + " must be a whole number from " + std::to_string(lowest) + " to " +
            std::to_string(highest) + ", not " + Describe(value));
      return std::nullopt;
    }
    return static_cast<long long>(*number);
  }

  std::optional<long long> Integer(const Json& object, const char* key, long long lowest,
                                   long long highest, bool required) const {
    if (!object.contains(key)) {
      if (required) Fault("\"" + std::string(key) + "\" is missing");
      return std::nullopt;
    }
    return Integer(object.at(key), "\"" + std::string(key) + "\"", lowest, highest);
  }

  std::vector<int> IntegerArray(const Json& object, const char* key, long long lowest,
                                long long highest) const {
    std::vector<int> numbers;
    if (!object.contains(key)) return numbers;
    const Json& array = object.at(key);
    if (!array.is_array()) {
      Fault("\"" + std::string(key) + "\" must be an array, not " + Describe(array));
      return numbers;
    }
    for (std::size_t i = 0; i < array.size(); ++i) {
      const std::string what = "\"" + std::string(key) + "\"[" + std::to_string(i) + "]";
      if (const auto number = Integer(array[i], what, lowest, highest)) {
        numbers.push_back(static_cast<int>(*number));
      }
    }
    return numbers;
  }

 private:
  std::vector<std::string>& faults_;
  std::string place_;
};

constexpr long long kIntMax = std::numeric_limits<int>::max();

DriveIdentity ReadIdentity(const Json& json, std::vector<std::string>& faults) {
  DriveIdentity identity;
  const Entry entry(faults, "identity");
  if (!entry.IsObject(json)) return identity;
  entry.OnlyKeys(json, {"firmware", "product", "application", "description", "e2romSize"});
  identity.firmwareId = entry.String(json, "firmware", false).value_or("");
  if (!identity.firmwareId.empty() && !IsValidFirmwareId(identity.firmwareId)) {
    entry.Fault("firmware id \"" + identity.firmwareId +
                "\" must be 1 to 15 letters and digits");
  }
  identity.productId = entry.String(json, "product", false).value_or("");
  identity.applicationId = entry.String(json, "application", false).value_or("");
  identity.description = entry.String(json, "description", false).value_or("");
  identity.e2romSize = static_cast<int>(entry.Integer(json, "e2romSize", 0, kIntMax, false).value_or(0));
  return identity;
}

ClockList ReadClocks(const Json& drive, const char* key, std::vector<std::string>& faults) {
  ClockList clocks;
  if (!drive.contains(key)) return clocks;
  const Entry entry(faults, "drive \"" + std::string(key) + "\"");
  const Json& json = drive.at(key);
  if (!entry.IsObject(json)) return clocks;
  entry.OnlyKeys(json, {"kHz", "modes"});
  clocks.kHz = entry.IntegerArray(json, "kHz", 1, kIntMax);
  clocks.modes = entry.IntegerArray(json, "modes", 0, kIntMax);
  return clocks;
}

DriveFamilyData ReadDriveFamily(const Json& json, std::vector<std::string>& faults) {
  DriveFamilyData family;
  const Entry entry(faults, "drive");
  if (!entry.IsObject(json)) return family;
  entry.OnlyKeys(json, {"adcFullScale", "generation", "maxSensorType", "sensorNames",
                        "connectors", "ssiClocks", "bissClocks", "ioPins"});
  family.adcFullScale = static_cast<std::uint32_t>(
      entry.Integer(json, "adcFullScale", 1, 4294967295LL, true).value_or(family.adcFullScale));
  family.generation =
      static_cast<int>(entry.Integer(json, "generation", 0, kIntMax, false).value_or(1));
  family.maxSensorType =
      static_cast<int>(entry.Integer(json, "maxSensorType", 0, 255, false).value_or(9));

  if (json.contains("sensorNames")) {
    const Json& names = json.at("sensorNames");
    if (!names.is_array()) entry.Fault("\"sensorNames\" must be an array of strings");
    for (std::size_t i = 0; names.is_array() && i < names.size(); ++i) {
      if (names[i].is_string()) {
        family.sensorNames.push_back(names[i].get<std::string>());
      } else {
        entry.Fault("\"sensorNames\"[" + std::to_string(i) + "] must be a string");
      }
    }
  }

  if (json.contains("connectors")) {
    const Json& connectors = json.at("connectors");
    if (!connectors.is_array()) entry.Fault("\"connectors\" must be an array");
    for (std::size_t i = 0; connectors.is_array() && i < connectors.size(); ++i) {
      const Entry connector(faults, "drive connector " + std::to_string(i));
      if (!connector.IsObject(connectors[i])) continue;
      connector.OnlyKeys(connectors[i], {"name", "sensors"});
      FeedbackConnector input;
      input.name = connector.String(connectors[i], "name", true).value_or("");
      if (connectors[i].contains("name") && input.name.empty()) {
        connector.Fault("\"name\" must not be empty");
      }
      input.sensorTypes =
          connector.IntegerArray(connectors[i], "sensors", 0, family.maxSensorType);
      family.connectors.push_back(std::move(input));
    }
  }

  family.ssiClocks = ReadClocks(json, "ssiClocks", faults);
  family.bissClocks = ReadClocks(json, "bissClocks", faults);

  if (json.contains("ioPins")) {
    const Json& pins = json.at("ioPins");
    if (!pins.is_array()) entry.Fault("\"ioPins\" must be an array");
    std::set<int> seenPins;
    std::set<int> seenPorts;
    for (std::size_t i = 0; pins.is_array() && i < pins.size(); ++i) {
      const Entry pin(faults, "drive I/O pin " + std::to_string(i));
      if (!pin.IsObject(pins[i])) continue;
      pin.OnlyKeys(pins[i], {"pin", "port", "brake", "stage", "inverted"});
      IoPin io;
      io.pin = static_cast<int>(pin.Integer(pins[i], "pin", 0, 255, true).value_or(0));
      io.port = static_cast<int>(pin.Integer(pins[i], "port", 0, 255, true).value_or(0));
      io.brakeOutput = pin.Bool(pins[i], "brake").value_or(false);
      const std::string stage = pin.String(pins[i], "stage", false).value_or("source");
      if (stage != "source" && stage != "sink") pin.Fault("\"stage\" must be \"source\" or \"sink\", not \"" + stage + "\"");
      io.sourceOutput = stage != "sink";
      io.inverted = pin.Bool(pins[i], "inverted").value_or(false);
      if (!seenPins.insert(io.pin).second) pin.Fault("pin " + std::to_string(io.pin) + " appears twice");
      if (!seenPorts.insert(io.port).second) pin.Fault("port " + std::to_string(io.port) + " appears twice");
      family.ioPins.push_back(io);
    }
  }
  return family;
}

// Name, type, unit, scaling and value: what parameters and variables share.
std::optional<QuantitySpec> ReadQuantity(const Json& json, const Entry& entry) {
  QuantitySpec spec;
  bool sound = true;
  if (const auto name = entry.String(json, "name", true)) {
    spec.name = *name;
    if (spec.name.empty()) {
      entry.Fault("\"name\" must not be empty");
      sound = false;
    }
  } else {
    sound = false;
  }
  const auto type = entry.Integer(json, "type", 0, kValueTypeCount - 1, true);
  sound = sound && type.has_value();
  spec.type = static_cast<int>(type.value_or(0));
  spec.unit = entry.String(json, "unit", false).value_or("");
  spec.driveScaled = entry.Bool(json, "scaled").value_or(false);

  const UnitFamily* family = FindFamilyOfUnit(spec.unit);
  if (family == nullptr) {
    entry.Fault("unknown unit \"" + spec.unit + "\"");
    sound = false;
  } else if (type && IsUnitlessType(spec.type) && (!spec.unit.empty() || spec.driveScaled)) {
    entry.Fault("a " + std::string(ValueTypeName(spec.type)) + " has no unit and is never scaled");
    sound = false;
  } else if (spec.driveScaled && !family->driveScalable) {
    entry.Fault("unit \"" + spec.unit + "\" is not one the drive scales (\"scaled\" must be false)");
    sound = false;
  }

  if (!json.contains("value")) {
    entry.Fault("\"value\" is missing");
    return std::nullopt;
  }
  const auto value = entry.Number(json.at("value"), "\"value\"", false);
  if (!value) return std::nullopt;
  spec.internal = *value;
  if (type && !IsExactlyStorable(spec.type, spec.internal)) {
    entry.Fault("value " + Describe(json.at("value")) + " does not fit type " +
                std::to_string(spec.type) + " (" + std::string(ValueTypeName(spec.type)) + ")");
    sound = false;
  }
  if (!sound) return std::nullopt;
  return spec;
}

std::string Place(const char* section, std::size_t index, const Json& item) {
  std::string place = std::string(section) + "[" + std::to_string(index) + "]";
  if (item.is_object() && item.contains("name") && item.at("name").is_string()) {
    place += " '" + item.at("name").get<std::string>() + "'";
  }
  return place;
}

const Json* Section(const Json& root, const char* key, std::vector<std::string>& faults) {
  if (!root.contains(key)) return nullptr;
  const Json& section = root.at(key);
  if (!section.is_array()) {
    faults.push_back("\"" + std::string(key) + "\" must be an array");
    return nullptr;
  }
  return &section;
}

void ReadParameters(const Json& root, CMC_Setup& setup, std::vector<std::string>& faults) {
  const Json* section = Section(root, "parameters", faults);
  if (section == nullptr) return;
  for (std::size_t i = 0; i < section->size(); ++i) {
    const Json& item = (*section)[i];
    const Entry entry(faults, Place("parameters", i, item));
    if (!entry.IsObject(item)) continue;
    entry.OnlyKeys(item, {"name", "type", "unit", "scaled", "value", "min", "max", "crossed",
                          "precision"});
    const std::optional<QuantitySpec> quantity = ReadQuantity(item, entry);
    ParameterSpec spec;
    if (quantity) static_cast<QuantitySpec&>(spec) = *quantity;
    bool sound = quantity.has_value();
    for (const auto& [key, limit] : {std::pair{"min", &spec.min}, std::pair{"max", &spec.max}}) {
      if (!item.contains(key)) continue;
      const auto value = entry.Number(item.at(key), "\"" + std::string(key) + "\"", true);
      sound = sound && value.has_value();
      if (value) *limit = *value;
    }
    const bool crossed = entry.Bool(item, "crossed").value_or(false);
    if (sound && crossed != (spec.min > spec.max)) {
      entry.Fault(crossed ? "\"crossed\" is true, but min is not above max"
                          : "min " + Describe(item.at("min")) + " is above max " +
                                Describe(item.at("max")) +
                                " (add \"crossed\": true if that is meant)");
      sound = false;
    }
    if (const auto precision = entry.Integer(item, "precision", 1, kMaxPrecision, false)) {
      spec.precision = static_cast<int>(*precision);
    } else if (item.contains("precision")) {
      sound = false;
    }
    if (!sound) continue;
    if (setup.FindParameter(spec.name) != nullptr) {
      entry.Fault("a parameter of this name (ignoring case) appears earlier");
      continue;
    }
    setup.AddParameter(spec);
  }
}

void ReadVariables(const Json& root, CMC_Setup& setup, std::vector<std::string>& faults) {
  const Json* section = Section(root, "variables", faults);
  if (section == nullptr) return;
  for (std::size_t i = 0; i < section->size(); ++i) {
    const Json& item = (*section)[i];
    const Entry entry(faults, Place("variables", i, item));
    if (!entry.IsObject(item)) continue;
    entry.OnlyKeys(item, {"name", "type", "unit", "scaled", "value"});
    const std::optional<QuantitySpec> spec = ReadQuantity(item, entry);
    if (!spec) continue;
    if (setup.FindVariable(spec->name, 0) != nullptr) {
      entry.Fault("a drive variable of this name (ignoring case) appears earlier");
      continue;
    }
    setup.AddVariable(*spec);
  }
}

void ReadOptions(const Json& root, CMC_Setup& setup, std::vector<std::string>& faults) {
  const Json* section = Section(root, "options", faults);
  if (section == nullptr) return;
  for (std::size_t i = 0; i < section->size(); ++i) {
    const Json& item = (*section)[i];
    const Entry entry(faults, Place("options", i, item));
    if (!entry.IsObject(item)) continue;
    entry.OnlyKeys(item, {"name", "value"});
    const auto name = entry.String(item, "name", true);
    const auto value = entry.String(item, "value", true);
    if (!name || !value) continue;
    if (name->empty()) {
      entry.Fault("\"name\" must not be empty");
    } else if (setup.FindOption(*name) != nullptr) {
      entry.Fault("an option of this name (ignoring case) appears earlier");
    } else {
      setup.SetOption(*name, *value);
    }
  }
}

CMC_Setup Build(const Json& root, std::vector<std::string>& faults) {
  CMC_Setup setup;
  if (!root.is_object()) {
    faults.push_back("the file must hold one JSON object");
    return setup;
  }
  const Entry top(faults, "top level");
  top.OnlyKeys(root, {"format", "version", "identity", "drive", "parameters", "variables",
                      "options"});
  const auto format = top.String(root, "format", true);
  if (format && *format != kSetupFormatName) {
    top.Fault("\"format\" is \"" + *format + "\", expected \"" + std::string(kSetupFormatName) + "\"");
  }
  const auto version = top.Integer(root, "version", 1, kIntMax, true);
  if (version && *version > kSetupFormatVersion) {
    top.Fault("version " + std::to_string(*version) + " is newer than this program reads (" +
              std::to_string(kSetupFormatVersion) + ")");
    return setup;
  }
  if (root.contains("identity")) setup.SetIdentity(ReadIdentity(root.at("identity"), faults));
  if (root.contains("drive")) setup.SetDriveFamily(ReadDriveFamily(root.at("drive"), faults));
  const ErrorReportingOff silent;  // duplicate checks probe names that are mostly absent
  ReadParameters(root, setup, faults);
  ReadVariables(root, setup, faults);
  ReadOptions(root, setup, faults);
  return setup;
}

}  // namespace

SetupFileError::SetupFileError(const std::string& source, std::vector<std::string> faults)
    : std::runtime_error(Join(source, faults)), source_(source), faults_(std::move(faults)) {}

CMC_Setup ParseSetup(std::string_view text, const std::string& source) {
  std::vector<std::string> faults;
  const Json root = ParseJson(text, faults);
  if (!faults.empty()) throw SetupFileError(source, std::move(faults));
  CMC_Setup setup = Build(root, faults);
  if (!faults.empty()) throw SetupFileError(source, std::move(faults));
  return setup;
}

std::vector<std::string> CheckSetupText(std::string_view text) {
  std::vector<std::string> faults;
  const Json root = ParseJson(text, faults);
  if (faults.empty()) Build(root, faults);
  return faults;
}

void LoadSetupFile(const std::filesystem::path& path, CMC_Setup& setup) {
  CMC_Setup loaded = ReadSetupFile(path);
  // The conversions belong to the host and its plug-in, not to the file.
  loaded.SetScaleFunctions(setup.GetScaleFunctions());
  setup = std::move(loaded);
}

CMC_Setup ReadSetupFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw SetupFileError(path.string(), {"cannot be opened for reading"});
  std::ostringstream contents;
  contents << file.rdbuf();
  if (file.bad()) throw SetupFileError(path.string(), {"cannot be read"});
  return ParseSetup(contents.str(), path.string());
}

}  // namespace drivebase
