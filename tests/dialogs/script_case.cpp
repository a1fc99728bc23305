#include "script_case.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "compute/unit_scale.h"
#include "drivebase/setup_file.h"

namespace kestrel::dialogs_test {
namespace {

std::string Trim(std::string text) {
  const auto first = text.find_first_not_of(' ');
  const auto last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

ValueCheck ReadValueCheck(const std::string& text, const std::string& where) {
  ValueCheck check;
  if (const auto equals = text.find('='); equals != std::string::npos) {
    check.name = Trim(text.substr(0, equals));
    check.value = std::stod(text.substr(equals + 1));
  } else if (text.ends_with(" unchanged")) {
    check.name = Trim(text.substr(0, text.size() - 10));
    check.unchanged = true;
  } else {
    throw std::runtime_error(where + ": expected NAME = VALUE or NAME unchanged");
  }
  return check;
}

double PlugInFactor(CMC_Setup* setup, const char* unit, const char* name) { return UnitScaleFactor(setup, unit, name); }
double PlugInOffset(CMC_Setup* setup, const char* unit, const char*) { return UnitScaleOffset(setup, unit); }

}  // namespace

ScriptCase ReadScriptCase(const std::filesystem::path& file) {
  ScriptCase result;
  result.file = file;
  std::ifstream in(file);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.starts_with("# ")) continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(2, colon - 2);
    const std::string value = Trim(line.substr(colon + 1));
    const std::string where = file.filename().string() + ":" + std::to_string(number);
    if (key == "setup") {
      result.setup = value;
    } else if (key == "dialog") {
      result.dialog = value;
    } else if (key == "ends") {
      result.endCode = value == "ok" ? 1 : 2;
    } else if (key == "before") {
      result.before.push_back(ReadValueCheck(value, where));
    } else if (key == "option" || key == "before identity" || key == "after identity") {
      const auto equals = value.find('=');
      if (equals == std::string::npos) throw std::runtime_error(where + ": expected NAME = TEXT");
      auto& list = key == "option" ? result.options : key == "before identity" ? result.identityBefore : result.identityAfter;
      list.emplace_back(Trim(value.substr(0, equals)), Trim(value.substr(equals + 1)));
    } else if (key == "boxes") {
      result.boxes = std::stoi(value);
    } else if (key == "after" && value == "setup unchanged") {
      result.setupUnchanged = true;
    } else if (key == "after") {
      result.after.push_back(ReadValueCheck(value, where));
    }
  }
  return result;
}

std::vector<ScriptCase> AllScriptCases() {
  std::vector<ScriptCase> cases;
  for (const auto& entry : std::filesystem::directory_iterator(KESTREL_DIALOG_SCRIPTS)) {
    if (entry.path().extension() == ".script") cases.push_back(ReadScriptCase(entry.path()));
  }
  std::ranges::sort(cases, {}, &ScriptCase::file);
  return cases;
}

std::string IdentityField(const CMC_Setup& setup, const std::string& field) {
  if (field == "firmware") return setup.GetFirmwareID();
  if (field == "product") return setup.GetProductID();
  if (field == "application") return setup.GetUserAppID();
  if (field == "description") return setup.GetDescription();
  if (field == "e2romSize") return std::to_string(setup.GetE2ROMSize());
  throw std::invalid_argument("no identity field '" + field + "'");
}

void SetIdentityField(CMC_Setup& setup, const std::string& field, const std::string& text) {
  if (field == "e2romSize") return setup.SetE2ROMSize(std::stoi(text));
  if (field == "description") return setup.SetDescription(text);
  throw std::invalid_argument("identity field '" + field + "' cannot be set before a run");
}

CMC_Setup ShippedSetup(const std::string& name) {
  CMC_Setup setup = drivebase::ReadSetupFile(std::string(KESTREL_SETUPS_DIR) + "/" + name + ".json");
  setup.SetScaleFunctions({&PlugInFactor, &PlugInOffset});
  return setup;
}

}  // namespace kestrel::dialogs_test
