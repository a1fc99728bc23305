// Program image descriptors: the JSON text of a program's names, version and variable table.
#include <algorithm>
#include <array>
#include <set>

#include <nlohmann/json.hpp>

#include "drivebase/program_image.h"
#include "drivebase/value_types.h"

namespace drivebase {
namespace {

using Json = nlohmann::ordered_json;

struct TypeName {
  ProgramVariableType type;
  std::string_view name;
  int storage;  // the setup model's storage type of the word
};

constexpr std::array<TypeName, 4> kTypeNames = {{
    {ProgramVariableType::int16, "int16", kSigned16},
    {ProgramVariableType::uint16, "uint16", kUnsigned16},
    {ProgramVariableType::int32, "int32", kSigned32},
    {ProgramVariableType::fixed16_16, "fixed16.16", kSigned32},
}};

constexpr std::array<std::pair<ProgramVariableDirection, std::string_view>, 3> kDirectionNames = {{
    {ProgramVariableDirection::input, "input"},
    {ProgramVariableDirection::output, "output"},
    {ProgramVariableDirection::in_out, "in_out"},
}};

const TypeName& Entry(ProgramVariableType type) {
  for (const TypeName& entry : kTypeNames) {
    if (entry.type == type) return entry;
  }
  return kTypeNames.front();
}

// Reads one JSON object, refusing keys it does not know; every fault names the source and place.
class Reader {
 public:
  Reader(const Json& object, std::string place) : object_(object), place_(std::move(place)) {
    if (!object_.is_object()) Fail("is not an object");
  }

  void OnlyKeys(std::initializer_list<std::string_view> known) const {
    for (const auto& [key, value] : object_.items()) {
      if (std::find(known.begin(), known.end(), key) == known.end()) Fail("unknown key \"" + key + "\"");
    }
  }

  const Json& Required(const char* key) const {
    const auto it = object_.find(key);
    if (it == object_.end()) Fail("key \"" + std::string(key) + "\" is missing");
    return *it;
  }

  std::string Text(const char* key) const {
    const Json& value = Required(key);
    if (!value.is_string() || value.get<std::string>().empty()) Fail(Key(key) + " is not a non-empty text");
    return value.get<std::string>();
  }

  double Whole(const char* key) const {
    const Json& value = Required(key);
    if (!value.is_number_integer()) Fail(Key(key) + " is not a whole number");
    return value.get<double>();
  }

  bool Flag(const char* key, bool absent) const {
    const auto it = object_.find(key);
    if (it == object_.end()) return absent;
    if (!it->is_boolean()) Fail(Key(key) + " is not true or false");
    return it->get<bool>();
  }

  [[noreturn]] void Fail(const std::string& what) const { throw ProgramImageError(place_ + ": " + what); }

 private:
  static std::string Key(const char* key) { return "\"" + std::string(key) + "\""; }

  const Json& object_;
  std::string place_;
};

ProgramVariableSpec ReadVariable(const Json& item, const std::string& place) {
  const Reader reader(item, place);
  reader.OnlyKeys({"name", "type", "direction", "initial"});
  ProgramVariableSpec variable;
  variable.name = reader.Text("name");
  const Reader named(item, place + " (\"" + variable.name + "\")");
  const std::string type = named.Text("type");
  const std::optional<ProgramVariableType> known = ProgramVariableTypeFromName(type);
  if (!known) named.Fail("type \"" + type + "\" is not one of int16, uint16, int32, fixed16.16");
  variable.type = *known;
  const std::string direction = named.Text("direction");
  const auto found = std::find_if(kDirectionNames.begin(), kDirectionNames.end(),
                                  [&](const auto& entry) { return entry.second == direction; });
  if (found == kDirectionNames.end()) named.Fail("direction \"" + direction + "\" is not input, output or in_out");
  variable.direction = found->first;
  variable.initial = named.Whole("initial");
  if (StoreAs(variable.type, variable.initial) != variable.initial) {
    named.Fail("initial value " + item["initial"].dump() + " does not fit its type " + type);
  }
  return variable;
}

}  // namespace

std::string_view ProgramVariableTypeName(ProgramVariableType type) { return Entry(type).name; }

std::optional<ProgramVariableType> ProgramVariableTypeFromName(std::string_view name) {
  for (const TypeName& entry : kTypeNames) {
    if (entry.name == name) return entry.type;
  }
  return std::nullopt;
}

int SizeInWords(ProgramVariableType type) { return SizeInWords(Entry(type).storage); }

std::optional<double> StoreAs(ProgramVariableType type, double value) { return StoreAs(Entry(type).storage, value); }

std::string_view ProgramVariableDirectionName(ProgramVariableDirection direction) {
  for (const auto& [known, name] : kDirectionNames) {
    if (known == direction) return name;
  }
  return "input";
}

const ProgramVariableSpec* ProgramDescriptor::FindVariable(std::string_view variable) const {
  for (const ProgramVariableSpec& spec : variables) {
    if (spec.name == variable) return &spec;
  }
  return nullptr;
}

ProgramDescriptor ParseProgramDescriptor(std::string_view text, const std::string& source) {
  // A descriptor nests three levels deep; anything far deeper is refused while it is read.
  constexpr int kMaxNesting = 8;
  const Json::parser_callback_t shallow = [&](int depth, Json::parse_event_t, Json&) {
    if (depth > kMaxNesting) throw ProgramImageError(source + ": values nest deeper than a program image can");
    return true;
  };
  Json json;
  try {
    json = Json::parse(text.begin(), text.end(), shallow);
  } catch (const Json::exception& error) {
    throw ProgramImageError(source + ": not valid JSON: " + error.what());
  }
  const Reader reader(json, source);
  reader.OnlyKeys({kProgramImageFormat, "name", "base", "prefix", "linear", "version", "variables"});
  if (reader.Whole(std::string(kProgramImageFormat).c_str()) != kProgramImageFormatVersion) {
    reader.Fail("format version " + json[std::string(kProgramImageFormat)].dump() + " is not " +
                std::to_string(kProgramImageFormatVersion));
  }
  ProgramDescriptor descriptor;
  descriptor.name = reader.Text("name");
  descriptor.base = reader.Text("base");
  descriptor.prefix = reader.Text("prefix");
  descriptor.linear = reader.Flag("linear", false);
  const std::string composed = descriptor.prefix + "_" + descriptor.base + (descriptor.linear ? "_LIN" : "");
  if (descriptor.name != composed) {
    reader.Fail("name \"" + descriptor.name + "\" disagrees with its prefix, base and variant (\"" + composed + "\")");
  }
  const double version = reader.Whole("version");
  if (version < 1 || version > 1e9) reader.Fail("version " + json["version"].dump() + " is not a positive number");
  descriptor.version = static_cast<int>(version);
  const Json& variables = reader.Required("variables");
  if (!variables.is_array()) reader.Fail("\"variables\" is not an array");
  std::set<std::string> names;
  for (std::size_t i = 0; i < variables.size(); ++i) {
    const std::string place = source + ": variables[" + std::to_string(i) + "]";
    ProgramVariableSpec variable = ReadVariable(variables[i], place);
    if (!names.insert(variable.name).second) {
      throw ProgramImageError(place + ": variable \"" + variable.name + "\" appears twice");
    }
    descriptor.variables.push_back(std::move(variable));
  }
  return descriptor;
}

std::string SerializeProgramDescriptor(const ProgramDescriptor& descriptor) {
  Json json;
  json[std::string(kProgramImageFormat)] = kProgramImageFormatVersion;
  json["name"] = descriptor.name;
  json["base"] = descriptor.base;
  json["prefix"] = descriptor.prefix;
  json["linear"] = descriptor.linear;
  json["version"] = descriptor.version;
  std::string text = json.dump(2);
  // One variable per line keeps the file short and easy to compare.
  text.erase(text.rfind('\n'));
  text += ",\n  \"variables\": [";
  for (std::size_t i = 0; i < descriptor.variables.size(); ++i) {
    const ProgramVariableSpec& variable = descriptor.variables[i];
    Json entry;
    entry["name"] = variable.name;
    entry["type"] = ProgramVariableTypeName(variable.type);
    entry["direction"] = ProgramVariableDirectionName(variable.direction);
    entry["initial"] = static_cast<std::int64_t>(variable.initial);
    text += (i == 0 ? "\n    " : ",\n    ") + entry.dump();
  }
  text += descriptor.variables.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return text;
}

}  // namespace drivebase
