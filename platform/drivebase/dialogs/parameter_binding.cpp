// Showing bound parameters in their controls and taking the user's actions on them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "drivebase/error_report.h"
#include "edit_setup_state.h"
#include "ui/message_box.h"
#include "ui/window_messages.h"

namespace drivebase {
namespace {

const char* KindOfBinding(BindingKind kind) {
  switch (kind) {
    case BindingKind::Edit: return "edit";
    case BindingKind::Check: return "check box";
    case BindingKind::Combo: return "combo";
    case BindingKind::Radios: return "radio group";
    case BindingKind::Slider: return "slider";
  }
  return "control";
}

void Require(const CMC_EditSetupDlg& dialog, const ParameterBinding& binding, int id, ui::ControlKind kind) {
  if (id == 0) return;
  const ui::Window* control = ParameterBinding::Control(dialog, id);
  const std::string place = ParameterBinding::DialogWindow(dialog).Describe() + ": the " +
                            KindOfBinding(binding.kind) + " of parameter " + binding.name + ": control " +
                            std::to_string(id);
  if (control == nullptr) throw ui::DialogError(place + " does not exist");
  if (control->kind != kind) {
    throw ui::DialogError(place + " is " + ui::KindWithArticle(control->kind) + ", not " + ui::KindWithArticle(kind));
  }
}

void SelectByData(ui::Window& combo, double value) {
  int selected = -1;
  for (std::size_t index = 0; index < combo.items.size(); ++index) {
    if (static_cast<double>(static_cast<std::intptr_t>(combo.items[index].data)) == value) {
      selected = static_cast<int>(index);
      break;
    }
  }
  ui::SelectItem(combo, selected);
}

// Lists the display units of the parameter's family (again when the family changed) and selects
// the parameter's unit.
void ShowUnit(ui::Window& combo, const CMC_Parameter& parameter) {
  const UnitFamily& family = parameter.GetUnitType();
  const bool listed = combo.items.size() == family.units.size() &&
                      std::equal(family.units.begin(), family.units.end(), combo.items.begin(),
                                 [](const DisplayUnit& unit, const ui::ListItem& item) { return unit.name == item.text; });
  if (!listed) {
    combo.items.clear();
    for (std::size_t index = 0; index < family.units.size(); ++index) {
      combo.items.push_back({std::string(family.units[index].name), index});
    }
  }
  const auto found = std::find_if(combo.items.begin(), combo.items.end(),
                                  [&](const ui::ListItem& item) { return item.text == parameter.GetUnitName(); });
  ui::SelectItem(combo, found == combo.items.end() ? -1 : static_cast<int>(found - combo.items.begin()));
}

void ShowText(ui::Window* edit, ParameterBinding& binding, const CMC_Parameter& parameter) {
  if (edit == nullptr) return;
  binding.shownText = parameter.PrintValue();
  edit->text = binding.shownText;
}

int SliderPosition(const ParameterBinding& binding, const CMC_Parameter& parameter) {
  const double span = binding.sliderMax - binding.sliderMin;
  if (!(span > 0.0)) return 0;
  const double steps = (parameter.GetValueInDisplayUnit() - binding.sliderMin) / span * CMC_EditSetupDlg::kSliderSteps;
  return static_cast<int>(std::lround(std::clamp(steps, 0.0, double{CMC_EditSetupDlg::kSliderSteps})));
}

std::string ExpectedNumber(const CMC_Parameter& parameter) {
  std::string expected = "Enter a number";
  if (!parameter.GetUnitName().empty() && parameter.GetUnitName() != " ") expected += " in " + parameter.GetUnitName();
  const double min = parameter.GetMinInBaseUnit();
  const double max = parameter.GetMaxInBaseUnit();
  if (std::isfinite(min) && std::isfinite(max) && min <= max) {
    // Limits with at least 10 digits: a limit of 10000 mA reads "10000", not "1e+04".
    expected += ", from " + FormatInDisplayUnit(parameter, min, 10) + " to " + FormatInDisplayUnit(parameter, max, 10);
  }
  return expected + ".";
}

}  // namespace

std::string FormatInDisplayUnit(const CMC_Parameter& parameter, double baseValue, int minDigits) {
  char text[64];
  const double display = baseValue / BaseUnitsPerUnit(parameter.GetUnitType(), parameter.GetUnitName());
  std::snprintf(text, sizeof text, "%.*g", std::max(parameter.GetPrecision(), minDigits), display);
  return text;
}

std::optional<double> ParseTypedNumber(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  const std::size_t end = text.find_last_not_of(" \t") + 1;
  const std::string number = text.substr(begin, end - begin);
  char* stop = nullptr;
  const double value = std::strtod(number.c_str(), &stop);
  if (stop != number.c_str() + number.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

CMC_Parameter* ParameterBinding::Parameter(const CMC_Setup& setup) const {
  if (userParameter != nullptr) return userParameter;
  const ErrorReportingOff quiet;
  return setup.FindParameter(name);
}

bool ParameterBinding::Uses(int id) const {
  if (kind == BindingKind::Radios) return id >= controlId && id <= lastRadioId;
  return id != 0 && (id == editId || id == unitComboId || id == controlId || id == fineSpinId || id == coarseSpinId);
}

ui::Window* ParameterBinding::Control(const CMC_EditSetupDlg& dialog, int id) {
  return dialog.Attached().FindChild(id);
}

void ParameterBinding::Validate(const CMC_EditSetupDlg& dialog, const ParameterBinding& binding) {
  Require(dialog, binding, binding.editId, ui::ControlKind::Edit);
  Require(dialog, binding, binding.unitComboId, ui::ControlKind::Combo);
  Require(dialog, binding, binding.labelId, ui::ControlKind::Static);
  Require(dialog, binding, binding.fineSpinId, ui::ControlKind::Spin);
  Require(dialog, binding, binding.coarseSpinId, ui::ControlKind::Spin);
  switch (binding.kind) {
    case BindingKind::Edit: return;
    case BindingKind::Check: return Require(dialog, binding, binding.controlId, ui::ControlKind::Check);
    case BindingKind::Combo: return Require(dialog, binding, binding.controlId, ui::ControlKind::Combo);
    case BindingKind::Slider: return Require(dialog, binding, binding.controlId, ui::ControlKind::Slider);
    case BindingKind::Radios:
      Require(dialog, binding, binding.controlId, ui::ControlKind::Radio);
      Require(dialog, binding, binding.lastRadioId, ui::ControlKind::Radio);
      for (int id = binding.controlId + 1; id < binding.lastRadioId; ++id) {
        if (Control(dialog, id) != nullptr) Require(dialog, binding, id, ui::ControlKind::Radio);
      }
      return;
  }
}

void ParameterBinding::Show(const CMC_EditSetupDlg& dialog, ParameterBinding& binding) {
  const CMC_Parameter* parameter = binding.Parameter(*dialog.GetSetup());
  if (parameter == nullptr) return;
  ShowText(Control(dialog, binding.editId), binding, *parameter);
  if (ui::Window* unit = binding.unitComboId != 0 ? Control(dialog, binding.unitComboId) : nullptr) {
    ShowUnit(*unit, *parameter);
  }
  ui::Window* control = binding.controlId != 0 ? Control(dialog, binding.controlId) : nullptr;
  const double value = parameter->GetValueInBaseUnit();
  switch (binding.kind) {
    case BindingKind::Edit: return;
    case BindingKind::Check:
      if (control != nullptr) control->check = value != 0.0 ? BST_CHECKED : BST_UNCHECKED;
      return;
    case BindingKind::Combo:
      if (control != nullptr) SelectByData(*control, value);
      return;
    case BindingKind::Radios: {
      const double index = std::trunc(value);
      for (int id = binding.controlId; id <= binding.lastRadioId; ++id) {
        if (ui::Window* radio = Control(dialog, id)) {
          radio->check = index == id - binding.controlId ? BST_CHECKED : BST_UNCHECKED;
        }
      }
      return;
    }
    case BindingKind::Slider: {
      binding.sliderPosition = SliderPosition(binding, *parameter);
      if (control != nullptr) {
        control->rangeMin = 0;
        control->rangeMax = CMC_EditSetupDlg::kSliderSteps;
        control->position = binding.sliderPosition;
      }
      for (const int spinId : {binding.fineSpinId, binding.coarseSpinId}) {
        if (ui::Window* spin = spinId != 0 ? Control(dialog, spinId) : nullptr) {
          spin->rangeMin = 0;
          spin->rangeMax = CMC_EditSetupDlg::kSliderSteps;
          spin->position = binding.sliderPosition;
        }
      }
      if (ui::Window* label = binding.labelId != 0 ? Control(dialog, binding.labelId) : nullptr) {
        label->text = parameter->GetUnitName();
      }
      return;
    }
  }
}

void ParameterBinding::StoreUserValue(CMC_EditSetupDlg& dialog, ParameterBinding& binding,
                                      const std::function<void(CMC_Parameter&)>& store) {
  CMC_EditSetupDlg::State& state = *dialog.state_;
  CMC_Parameter* parameter = binding.Parameter(*dialog.GetSetup());
  if (state.callbackDepth > 0 || parameter == nullptr) return;  // the final refresh shows it
  const double before = parameter->GetValueInInternalUnit();
  store(*parameter);
  if (parameter->GetValueInInternalUnit() == before) {
    Show(dialog, binding);
    return;
  }
  const std::string name = binding.name;  // the callbacks may bind more and move the binding
  ++state.callbackDepth;
  try {
    dialog.OnChangedParameterValue(name);
    dialog.OnRefreshParameterValue(name);
  } catch (...) {
    --state.callbackDepth;
    throw;
  }
  --state.callbackDepth;
  dialog.RefreshAllParameters();
}

bool ParameterBinding::CommitEdit(CMC_EditSetupDlg& dialog, ParameterBinding& binding) {
  const ui::Window* edit = Control(dialog, binding.editId);
  CMC_Parameter* parameter = binding.Parameter(*dialog.GetSetup());
  if (edit == nullptr || parameter == nullptr || edit->text == binding.shownText) return true;
  if (dialog.state_->callbackDepth > 0) return true;
  const std::string typed = edit->text;
  const std::optional<double> number = ParseTypedNumber(typed);
  if (!number) {
    Show(dialog, binding);  // the setup keeps its value; the edit shows it again
    dialog.MessageBox(binding.name + ": \"" + typed + "\" is not a number. " + ExpectedNumber(*parameter), "",
                      MB_OK | MB_ICONWARNING);
    return false;
  }
  StoreUserValue(dialog, binding, [&](CMC_Parameter& target) { target.SetValueInDisplayUnit(*number); });
  return true;
}

bool ParameterBinding::TakeAction(CMC_EditSetupDlg& dialog, ParameterBinding& binding, int id, unsigned code) {
  if (id == binding.editId && code == EN_KILLFOCUS) {
    CommitEdit(dialog, binding);
    return true;
  }
  if (id == binding.unitComboId && code == CBN_SELCHANGE) {
    CMC_Parameter* parameter = binding.Parameter(*dialog.GetSetup());
    const ui::Window* combo = Control(dialog, id);
    if (parameter == nullptr || combo == nullptr || combo->selection < 0) return true;
    const std::string unit = combo->items[static_cast<std::size_t>(combo->selection)].text;
    if (unit == parameter->GetUnitName() || !parameter->ChangeUnitType(unit)) return true;
    const std::string name = binding.name;
    Show(dialog, binding);
    dialog.OnChangedParameterUnit(name);
    return true;
  }
  const ui::Window* control = Control(dialog, id);
  if (control == nullptr || !binding.Uses(id)) return false;
  switch (binding.kind) {
    case BindingKind::Check:
      if (code != BN_CLICKED) return false;
      StoreUserValue(dialog, binding, [&](CMC_Parameter& p) { p.SetValueInBaseUnit(control->check == BST_CHECKED ? 1.0 : 0.0); });
      return true;
    case BindingKind::Combo: {
      if (code != CBN_SELCHANGE || control->selection < 0) return false;
      const auto data = static_cast<std::intptr_t>(control->items[static_cast<std::size_t>(control->selection)].data);
      StoreUserValue(dialog, binding, [&](CMC_Parameter& p) { p.SetValueInBaseUnit(static_cast<double>(data)); });
      return true;
    }
    case BindingKind::Radios:
      if (code != BN_CLICKED || control->check != BST_CHECKED) return false;
      StoreUserValue(dialog, binding, [&](CMC_Parameter& p) { p.SetValueInBaseUnit(id - binding.controlId); });
      return true;
    case BindingKind::Edit:
    case BindingKind::Slider: return false;
  }
  return false;
}

bool ParameterBinding::TakeScroll(CMC_EditSetupDlg& dialog, ParameterBinding& binding, int id) {
  if (binding.kind != BindingKind::Slider) return false;
  const ui::Window* control = Control(dialog, id);
  if (control == nullptr) return false;
  int position = 0;
  if (id == binding.controlId) {
    position = control->position;
  } else if (id == binding.fineSpinId || id == binding.coarseSpinId) {
    const int stepsPerPress = id == binding.coarseSpinId ? 10 : 1;
    position = binding.sliderPosition + (control->position - binding.sliderPosition) * stepsPerPress;
  } else {
    return false;
  }
  position = std::clamp(position, 0, CMC_EditSetupDlg::kSliderSteps);
  const double value = binding.sliderMin + (binding.sliderMax - binding.sliderMin) * position / CMC_EditSetupDlg::kSliderSteps;
  StoreUserValue(dialog, binding, [&](CMC_Parameter& p) { p.SetValueInDisplayUnit(value); });
  return true;
}

}  // namespace drivebase
