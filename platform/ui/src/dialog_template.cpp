#include "ui/dialog_template.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <map>
#include <optional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "text.h"

namespace ui {
namespace {

using Json = nlohmann::json;

// Control ids travel in 16 bits of a command message.
constexpr int kLargestId = 0xFFFF;

// Collects the faults of a template, each with the place it concerns.
class Faults {
 public:
  void Add(const std::string& place, const std::string& fault) { faults_.push_back(place + ": " + fault); }

  void ThrowIfAny(const std::string& source) const {
    if (faults_.empty()) return;
    if (faults_.size() == 1) throw TemplateError(source + ": " + faults_.front());
    std::string message = source + ": " + std::to_string(faults_.size()) + " faults:";
    for (const std::string& fault : faults_) message += "\n  " + fault;
    throw TemplateError(message);
  }

 private:
  std::vector<std::string> faults_;
};

// Reads the members of one JSON object, noting each fault against the object's place.
class Reader {
 public:
  Reader(const Json& object, std::string place, Faults& faults)
      : object_(object), place_(std::move(place)), faults_(faults) {}

  void Fault(const std::string& what) const { faults_.Add(place_, what); }

  void OnlyKeys(std::initializer_list<std::string_view> known) const {
    for (const auto& [key, value] : object_.items()) {
      if (std::find(known.begin(), known.end(), key) == known.end()) Fault("unknown key " + Quote(key));
    }
  }

  bool Has(std::string_view key) const { return object_.contains(key); }

  std::optional<int> Id(bool required) const {
    const auto found = object_.find("id");
    if (found == object_.end()) {
      if (required) Fault("has no \"id\"");
      return std::nullopt;
    }
    if (!found->is_number_integer() || *found < 1 || *found > kLargestId) {
      Fault("\"id\" must be a whole number from 1 to " + std::to_string(kLargestId) + ", not " + found->dump());
      return std::nullopt;
    }
    return found->get<int>();
  }

  std::string Text(std::string_view key, bool required) const {
    const auto found = object_.find(key);
    if (found == object_.end()) {
      if (required) Fault("has no " + Quote(key));
      return {};
    }
    if (!found->is_string()) {
      Fault(Quote(key) + " must be a text, not " + found->dump());
      return {};
    }
    return found->get<std::string>();
  }

  bool Flag(std::string_view key) const {
    const auto found = object_.find(key);
    if (found == object_.end()) return false;
    if (!found->is_boolean()) {
      Fault(Quote(key) + " must be true or false, not " + found->dump());
      return false;
    }
    return found->get<bool>();
  }

  int Number(std::string_view key) const {
    const auto found = object_.find(key);
    if (found == object_.end()) return 0;
    if (!found->is_number_integer() || *found < 1 || *found > kLargestId) {
      Fault(Quote(key) + " must be a control id, not " + found->dump());
      return 0;
    }
    return found->get<int>();
  }

  const Json* Array(std::string_view key) const {
    const auto found = object_.find(key);
    if (found == object_.end()) {
      Fault("has no " + Quote(key));
      return nullptr;
    }
    if (!found->is_array()) {
      Fault(Quote(key) + " must be an array");
      return nullptr;
    }
    return &*found;
  }

 private:
  const Json& object_;
  std::string place_;
  Faults& faults_;
};

std::string GroupPlace(std::size_t group, const std::string& caption) {
  return "group " + std::to_string(group + 1) + (caption.empty() ? "" : " " + Quote(caption));
}

std::string ControlPlace(const std::string& groupPlace, std::size_t row, std::size_t column, int id) {
  return groupPlace + ", row " + std::to_string(row + 1) +
         (id == IDC_STATIC ? ", item " + std::to_string(column + 1) : ", control " + std::to_string(id));
}

// Reports a key that the kind of control does not take.
void OnlyFor(const Reader& reader, std::string_view key, ControlKind kind,
             std::initializer_list<ControlKind> kinds) {
  if (reader.Has(key) && std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
    reader.Fault(Quote(key) + " does not apply to " + KindWithArticle(kind));
  }
}

ControlTemplate ReadControl(const Json& entry, const std::string& groupPlace, std::size_t row,
                            std::size_t column, Faults& faults) {
  const auto rawId = entry.is_object() ? entry.find("id") : entry.end();
  const int placeId = entry.is_object() && rawId != entry.end() && rawId->is_number_integer()
                          ? rawId->get<int>()
                          : IDC_STATIC;
  const std::string place = ControlPlace(groupPlace, row, column, placeId);
  ControlTemplate control;
  if (!entry.is_object()) {
    faults.Add(place, "must be a JSON object");
    return control;
  }
  const Reader reader(entry, place, faults);
  reader.OnlyKeys({"id", "kind", "text", "first", "unit", "hidden", "disabled", "bitmap", "multiline"});
  const std::string kindName = reader.Text("kind", true);
  const std::optional<ControlKind> kind = ControlKindNamed(kindName);
  if (!kind) {
    if (reader.Has("kind")) reader.Fault("unknown kind " + Quote(kindName) + " (known: " + ControlKindNames() + ")");
    return control;
  }
  control.kind = *kind;
  control.id = reader.Id(*kind != ControlKind::Static).value_or(IDC_STATIC);
  control.text = reader.Text("text", false);
  control.hidden = reader.Flag("hidden");
  control.disabled = reader.Flag("disabled");
  OnlyFor(reader, "first", *kind, {ControlKind::Radio});
  control.firstOfGroup = reader.Flag("first");
  OnlyFor(reader, "unit", *kind, {ControlKind::Edit});
  control.unitCombo = reader.Number("unit");
  OnlyFor(reader, "multiline", *kind, {ControlKind::Edit});
  control.multiline = reader.Flag("multiline");
  OnlyFor(reader, "bitmap", *kind, {ControlKind::Picture, ControlKind::Button});
  control.bitmap = reader.Text("bitmap", false);
  return control;
}

GroupTemplate ReadGroup(const Json& entry, std::size_t index, Faults& faults) {
  GroupTemplate group;
  if (!entry.is_object()) {
    faults.Add(GroupPlace(index, ""), "must be a JSON object");
    return group;
  }
  const std::string caption = entry.contains("caption") && entry["caption"].is_string()
                                  ? entry["caption"].get<std::string>()
                                  : std::string();
  const std::string place = GroupPlace(index, caption);
  const Reader reader(entry, place, faults);
  reader.OnlyKeys({"id", "caption", "rows"});
  group.id = reader.Id(false).value_or(IDC_STATIC);
  group.caption = reader.Text("caption", false);
  const Json* rows = reader.Array("rows");
  if (rows == nullptr) return group;
  for (std::size_t r = 0; r < rows->size(); ++r) {
    const Json& row = (*rows)[r];
    if (!row.is_array()) {
      faults.Add(place + ", row " + std::to_string(r + 1), "must be an array of controls");
      continue;
    }
    ControlRow& controls = group.rows.emplace_back();
    for (std::size_t c = 0; c < row.size(); ++c) controls.push_back(ReadControl(row[c], place, r, c, faults));
  }
  return group;
}

// Calls visit(control, place) for every control of the template, in order.
template <class Visit>
void ForEachControl(const DialogTemplate& dialog, Visit visit) {
  for (std::size_t g = 0; g < dialog.groups.size(); ++g) {
    const GroupTemplate& group = dialog.groups[g];
    const std::string groupPlace = GroupPlace(g, group.caption);
    for (std::size_t r = 0; r < group.rows.size(); ++r) {
      for (std::size_t c = 0; c < group.rows[r].size(); ++c) {
        const ControlTemplate& control = group.rows[r][c];
        visit(control, ControlPlace(groupPlace, r, c, control.id), g);
      }
    }
  }
}

void CheckUniqueIds(const DialogTemplate& dialog, Faults& faults) {
  std::map<int, std::string> firstPlace;
  const auto note = [&](int id, const std::string& place) {
    if (id == IDC_STATIC) return;
    const auto [found, added] = firstPlace.emplace(id, place);
    if (!added) faults.Add(place, "the id " + std::to_string(id) + " is taken already (" + found->second + ")");
  };
  for (std::size_t g = 0; g < dialog.groups.size(); ++g) {
    note(dialog.groups[g].id, GroupPlace(g, dialog.groups[g].caption));
  }
  ForEachControl(dialog, [&](const ControlTemplate& control, const std::string& place, std::size_t) {
    note(control.id, place);
  });
}

void CheckUnitCombos(const DialogTemplate& dialog, Faults& faults) {
  std::map<int, ControlKind> kinds;
  ForEachControl(dialog, [&](const ControlTemplate& control, const std::string&, std::size_t) {
    kinds.emplace(control.id, control.kind);
  });
  ForEachControl(dialog, [&](const ControlTemplate& control, const std::string& place, std::size_t) {
    if (control.unitCombo == 0) return;
    const auto found = kinds.find(control.unitCombo);
    const std::string unit = "its unit combo " + std::to_string(control.unitCombo);
    if (found == kinds.end()) {
      faults.Add(place, unit + " is not in the template");
    } else if (found->second != ControlKind::Combo) {
      faults.Add(place, unit + " is " + KindWithArticle(found->second) + ", not a combo");
    }
  });
}

// A radio group runs from a radio marked first to the next one so marked, within one group of
// the layout; a radio before any marked one belongs to no group.
void CheckRadioGroups(const DialogTemplate& dialog, Faults& faults) {
  std::optional<std::size_t> openInGroup;
  ForEachControl(dialog, [&](const ControlTemplate& control, const std::string& place, std::size_t group) {
    if (control.kind != ControlKind::Radio) return;
    if (control.firstOfGroup) {
      openInGroup = group;
    } else if (openInGroup != group) {
      faults.Add(place, "begins a radio group but is not marked \"first\": true");
      openInGroup = group;
    }
  });
}

}  // namespace

DialogTemplate ParseDialogTemplate(std::string_view json, const std::string& source) {
  Json root;
  try {
    root = Json::parse(json.begin(), json.end());
  } catch (const Json::parse_error& error) {
    throw TemplateError(source + ": not valid JSON: " + error.what());
  }
  Faults faults;
  if (!root.is_object()) {
    faults.Add("the template", "must be a JSON object");
    faults.ThrowIfAny(source);
  }
  const Reader reader(root, "the template", faults);
  reader.OnlyKeys({"id", "caption", "groups"});
  DialogTemplate dialog;
  dialog.source = source;
  dialog.id = static_cast<unsigned>(reader.Id(true).value_or(0));
  dialog.caption = reader.Text("caption", true);
  if (const Json* groups = reader.Array("groups")) {
    for (std::size_t g = 0; g < groups->size(); ++g) dialog.groups.push_back(ReadGroup((*groups)[g], g, faults));
  }
  CheckUniqueIds(dialog, faults);
  CheckUnitCombos(dialog, faults);
  CheckRadioGroups(dialog, faults);
  faults.ThrowIfAny(source);
  return dialog;
}

DialogTemplate LoadDialogTemplate(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw TemplateError(file.string() + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseDialogTemplate(text.str(), file.string());
}

}  // namespace ui
