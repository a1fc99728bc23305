// kestrel show: the setup's parameters, drive variables and options.
#include <algorithm>
#include <cmath>
#include <memory>
#include <iostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_error.h"
#include "commands.h"
#include "drivebase/error_report.h"
#include "drivebase/value_types.h"
#include "number_text.h"
#include "setup_source.h"
#include "table_text.h"

namespace kestrel::cli {
namespace {

struct ShowOptions {
  SetupSource source;
  bool json = false;
  bool internalOnly = false;
  std::vector<std::string> names;
};

using Json = nlohmann::ordered_json;

// A double for JSON: numbers as they are (they read back exactly), the rest as text.
Json JsonNumber(double value) {
  if (std::isfinite(value)) return value;
  return NumberText(value);
}

struct Selection {
  std::vector<const CMC_Parameter*> parameters;
  std::vector<const CMC_Variable*> variables;
  std::vector<const drivebase::Option*> options;
};

Selection Select(const CMC_Setup& setup, const std::vector<std::string>& names) {
  Selection selection;
  if (names.empty()) {
    for (const auto& p : setup.Parameters()) selection.parameters.push_back(p.get());
    for (const auto& v : setup.Variables()) selection.variables.push_back(v.get());
    for (const auto& o : setup.Options()) selection.options.push_back(o.get());
    return selection;
  }
  const drivebase::ErrorReportingOff silent;
  for (const std::string& name : names) {
    const CMC_Parameter* parameter = setup.FindParameter(name);
    const CMC_Variable* variable = setup.FindVariable(name, 0);
    const drivebase::Option* option = setup.FindOption(name);
    if (parameter == nullptr && variable == nullptr && option == nullptr) {
      throw Failure("no parameter, drive variable or option named '" + name + "'");
    }
    if (parameter != nullptr) selection.parameters.push_back(parameter);
    if (variable != nullptr) selection.variables.push_back(variable);
    if (option != nullptr) selection.options.push_back(option);
  }
  return selection;
}

void PrintJson(const Selection& selection) {
  Json root;
  root["parameters"] = Json::object();
  for (const CMC_Parameter* p : selection.parameters) {
    Json& entry = root["parameters"][p->GetName()];
    entry["value"] = JsonNumber(p->GetValueInBaseUnit());
    entry["internal"] = JsonNumber(p->GetValueInInternalUnit());
    entry["unit"] = std::string(p->GetBaseUnitName());
    entry["type"] = p->GetType();
    entry["min"] = JsonNumber(p->GetMinInBaseUnit());
    entry["max"] = JsonNumber(p->GetMaxInBaseUnit());
  }
  root["variables"] = Json::object();
  for (const CMC_Variable* v : selection.variables) {
    Json& entry = root["variables"][v->GetName()];
    entry["value"] = JsonNumber(v->GetValueInBaseUnit());
    entry["internal"] = JsonNumber(v->GetValueInInternalUnit());
    entry["unit"] = std::string(v->GetBaseUnitName());
    entry["type"] = v->GetType();
  }
  root["options"] = Json::object();
  for (const drivebase::Option* o : selection.options) root["options"][o->name] = o->value;
  std::cout << root.dump(2) << '\n';
}

void PrintText(const Selection& selection, bool internalOnly) {
  std::vector<std::vector<std::string>> rows;
  if (internalOnly) {
    rows.push_back({"NAME", "INTERNAL", "TYPE"});
    for (const CMC_Parameter* p : selection.parameters) {
      rows.push_back({p->GetName(), NumberText(p->GetValueInInternalUnit()),
                      std::string(drivebase::ValueTypeName(p->GetType()))});
    }
  } else {
    rows.push_back({"NAME", "VALUE", "UNIT", "INTERNAL", "TYPE", "MIN", "MAX"});
    for (const CMC_Parameter* p : selection.parameters) {
      rows.push_back({p->GetName(), NumberText(p->GetValueInBaseUnit()),
                      UnitText(p->GetBaseUnitName()), NumberText(p->GetValueInInternalUnit()),
                      std::string(drivebase::ValueTypeName(p->GetType())),
                      NumberText(p->GetMinInBaseUnit()), NumberText(p->GetMaxInBaseUnit())});
    }
  }
  if (!selection.parameters.empty()) PrintTable(std::cout, rows);

  if (!selection.variables.empty()) {
    rows.assign(1, {"DRIVE VARIABLE", "VALUE", "UNIT", "INTERNAL", "TYPE"});
    for (const CMC_Variable* v : selection.variables) {
      rows.push_back({v->GetName(), NumberText(v->GetValueInBaseUnit()),
                      UnitText(v->GetBaseUnitName()), NumberText(v->GetValueInInternalUnit()),
                      std::string(drivebase::ValueTypeName(v->GetType()))});
    }
    std::cout << '\n';
    PrintTable(std::cout, rows);
  }

  if (!selection.options.empty()) {
    rows.assign(1, {"OPTION", "VALUE"});
    for (const drivebase::Option* o : selection.options) rows.push_back({o->name, o->value});
    std::cout << '\n';
    PrintTable(std::cout, rows);
  }
}

int RunShow(Host& host, const ShowOptions& options) {
  const CMC_Setup setup = host.LoadSetup(options.source);
  const Selection selection = Select(setup, options.names);
  if (options.json) {
    PrintJson(selection);
  } else {
    PrintText(selection, options.internalOnly);
  }
  return 0;
}

}  // namespace

void AddShowCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<ShowOptions>();
  CLI::App* show = app.add_subcommand(
      "show", "Print parameters (value in base unit, unit, internal value, type, limits), drive "
              "variables and options");
  show->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  show->add_flag("--json", options->json, "Print JSON; every number reads back exactly");
  show->add_flag("--internal", options->internalOnly,
                 "Print only each parameter's internal value and type (text output)");
  show->add_option("names", options->names, "Names to show (any case); all when none is given");
  show->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunShow(host, *options); });
  });
}

}  // namespace kestrel::cli
