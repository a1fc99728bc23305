// A logger as a file: its settings, its variables and the points last uploaded, as JSON.
//
//   {"format": "kestrel_logger", "version": 1,
//    "settings": {"points": 100, "type": 2, "divider": 1},
//    "variables": [{"name": "Current_Reference", "flag": 1}, ...],
//    "points": [[time_s, value, ...], ...]}          (values in internal units)
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "drivebase/atomic_file.h"
#include "drivebase/logger.h"

namespace {

using nlohmann::json;

constexpr const char* kFormat = "kestrel_logger";
constexpr int kVersion = 1;

// A fault of one entry of the file; what() names the entry.
class EntryError : public std::runtime_error {
 public:
  EntryError(const std::string& entry, const std::string& fault) : std::runtime_error("entry '" + entry + "' " + fault) {}
};

const json& Member(const json& object, const std::string& entry, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) throw EntryError(entry + key, "is missing");
  return *found;
}

int Integer(const json& object, const std::string& entry, const char* key) {
  const json& value = Member(object, entry, key);
  if (!value.is_number_integer()) throw EntryError(entry + key, "is not an integer");
  constexpr long long kLimit = 1 << 20;  // far beyond any setting, far within an int
  const bool tooLarge = value.is_number_unsigned() && value.get<unsigned long long>() > kLimit;
  const long long number = tooLarge ? kLimit + 1 : value.get<long long>();
  if (number < -kLimit || number > kLimit) throw EntryError(entry + key, "is out of range");
  return static_cast<int>(number);
}

double Number(const json& value, const std::string& entry) {
  if (!value.is_number()) throw EntryError(entry, "is not a number");
  return value.get<double>();
}

const json& Array(const json& object, const std::string& entry, const char* key) {
  const json& value = Member(object, entry, key);
  if (!value.is_array()) throw EntryError(entry + key, "is not a list");
  return value;
}

}  // namespace

bool CMC_Logger::Save(const std::string& path) const {
  const drivebase::LoggerSettings settings = LaunchSettings();
  json file{{"format", kFormat},
            {"version", kVersion},
            {"settings", {{"points", settings.points}, {"type", settings.type}, {"divider", settings.divider}}},
            {"variables", json::array()},
            {"points", json::array()}};
  for (const LoggedVariable& variable : variables_) {
    file["variables"].push_back({{"name", variable.name}, {"flag", variable.flag}});
  }
  for (const drivebase::LoggedPoint& point : points_) {
    json row = json::array({point.time_s});
    for (const double value : point.values) row.push_back(value);
    file["points"].push_back(std::move(row));
  }
  try {
    drivebase::WriteFileAtomically(path, file.dump(1) + "\n");
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  return true;
}

bool CMC_Logger::Load(const std::string& path) {
  const std::string source = "The logger file '" + path + "'";
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(source + ": it cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  const json file = json::parse(text.str(), nullptr, false);
  if (file.is_discarded() || !file.is_object()) return Fail(source + ": its text is not a JSON object");

  drivebase::LoggerSettings settings;
  std::vector<LoggedVariable> variables;
  std::vector<drivebase::LoggedPoint> points;
  try {
    const json& format = Member(file, "", "format");
    if (format != kFormat) throw EntryError("format", "is not \"" + std::string(kFormat) + "\"");
    if (Integer(file, "", "version") != kVersion) throw EntryError("version", "is not " + std::to_string(kVersion));
    const json& stored = Member(file, "", "settings");
    if (!stored.is_object()) throw EntryError("settings", "is not an object");
    settings = {Integer(stored, "settings.", "points"), Integer(stored, "settings.", "type"),
                Integer(stored, "settings.", "divider"), {}};
    const json& names = Array(file, "", "variables");
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string entry = "variables[" + std::to_string(i) + "].";
      if (!names[i].is_object()) throw EntryError(entry.substr(0, entry.size() - 1), "is not an object");
      const json& name = Member(names[i], entry, "name");
      if (!name.is_string()) throw EntryError(entry + "name", "is not a text");
      const int flag = Integer(names[i], entry, "flag");
      if (flag != 0 && flag != 1) throw EntryError(entry + "flag", "is neither 0 nor 1");
      if (setup_ == nullptr || setup_->FindVariable(name.get<std::string>(), 0) == nullptr) {
        throw EntryError(entry + "name", "names '" + name.get<std::string>() + "', which the setup does not hold");
      }
      variables.push_back({name.get<std::string>(), flag});
      settings.variables.push_back(name.get<std::string>());
    }
    const json& rows = Array(file, "", "points");
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string entry = "points[" + std::to_string(i) + "]";
      if (!rows[i].is_array() || rows[i].size() != variables.size() + 1) {
        throw EntryError(entry, "does not hold the time and " + std::to_string(variables.size()) + " values");
      }
      drivebase::LoggedPoint point{Number(rows[i][0], entry + "[0]"), {}};
      for (std::size_t j = 1; j < rows[i].size(); ++j) {
        point.values.push_back(Number(rows[i][j], entry + "[" + std::to_string(j) + "]"));
      }
      points.push_back(std::move(point));
    }
  } catch (const EntryError& error) {
    return Fail(source + ": " + error.what());
  }
  if (!ApplySettings(settings)) return Fail(source + ": entry 'settings' holds settings this logger cannot take");

  variables_ = std::move(variables);
  points_ = std::move(points);
  nextPoint_ = 0;
  uploading_ = false;
  LocateItems();
  for (const drivebase::LoggedPoint& point : points_) document_.AddRow(DocumentRow(point));
  return true;
}
