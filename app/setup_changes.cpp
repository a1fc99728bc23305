#include "setup_changes.h"

#include <bit>
#include <cstdint>

#include "number_text.h"
#include "table_text.h"

namespace kestrel::cli {
namespace {

bool Same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

}  // namespace

SetupValues ValuesOf(const CMC_Setup& setup) {
  SetupValues values;
  for (const auto& p : setup.Parameters()) values.parameters[p->GetName()] = p->GetValueInBaseUnit();
  for (const auto& o : setup.Options()) values.options[o->name] = o->value;
  return values;
}

std::vector<std::vector<std::string>> Changes(const CMC_Setup& setup, const SetupValues& before) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& p : setup.Parameters()) {
    const double old = before.parameters.at(p->GetName());
    const double now = p->GetValueInBaseUnit();
    if (!Same(old, now)) {
      rows.push_back({p->GetName(), NumberText(old), NumberText(now), UnitText(p->GetBaseUnitName())});
    }
  }
  for (const auto& o : setup.Options()) {
    const auto old = before.options.find(o->name);
    if (old == before.options.end()) {
      rows.push_back({o->name, "(none)", '"' + o->value + '"', "option"});
    } else if (old->second != o->value) {
      rows.push_back({o->name, '"' + old->second + '"', '"' + o->value + '"', "option"});
    }
  }
  return rows;
}

}  // namespace kestrel::cli
