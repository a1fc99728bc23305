// The inner state of CMC_EditSetupDlg: its parameter bindings and what it remembers between
// messages. Private to drivebase_dialogs.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "drivebase/edit_setup_dlg.h"
#include "ui/window.h"

namespace drivebase {

enum class BindingKind { Edit, Check, Combo, Radios, Slider };

struct ParameterBinding {
  BindingKind kind = BindingKind::Edit;
  std::string name;                        // as the dialog bound it
  CMC_Parameter* userParameter = nullptr;  // a parameter the dialog owns; else found by name
  int editId = 0;  // Edit and Slider
  int unitComboId = 0;
  int controlId = 0;  // the check box, the combo, the first radio or the slider
  int lastRadioId = 0;
  int labelId = 0;
  int fineSpinId = 0;
  int coarseSpinId = 0;
  double sliderMin = 0.0;  // in the display unit
  double sliderMax = 0.0;
  std::string shownText;  // what the edit showed last
  int sliderPosition = 0;

  // The parameter, or null when the setup no longer holds it.
  CMC_Parameter* Parameter(const CMC_Setup& setup) const;
  bool Uses(int id) const;

  // What the binding needs of the dialog's controls; throws ui::DialogError otherwise.
  static void Validate(const CMC_EditSetupDlg& dialog, const ParameterBinding& binding);
  // Shows the value (and unit) in the controls; never calls back.
  static void Show(const CMC_EditSetupDlg& dialog, ParameterBinding& binding);
  // A user's action on control `id` with notification `code`: true when it concerned the binding.
  static bool TakeAction(CMC_EditSetupDlg& dialog, ParameterBinding& binding, int id, unsigned code);
  // A user's move of the slider or of one of its spins.
  static bool TakeScroll(CMC_EditSetupDlg& dialog, ParameterBinding& binding, int id);
  // Takes the edit's text when it differs from what it showed.
  // False when the text is not a number (the user was told, the edit shows the value again).
  static bool CommitEdit(CMC_EditSetupDlg& dialog, ParameterBinding& binding);
  // Stores a value the user gave and runs the callbacks when it changed the parameter.
  static void StoreUserValue(CMC_EditSetupDlg& dialog, ParameterBinding& binding,
                             const std::function<void(CMC_Parameter&)>& store);
  // The host's own controls of the dialog.
  static ui::Window* Control(const CMC_EditSetupDlg& dialog, int id);
  static const ui::Window& DialogWindow(const CMC_EditSetupDlg& dialog) { return dialog.Attached(); }
};

// The text of a value in the parameter's display unit with its precision, or minDigits
// significant digits when that is more.
std::string FormatInDisplayUnit(const CMC_Parameter& parameter, double baseValue, int minDigits);
// A number typed by the user: blanks around it allowed, nothing else; none when not a finite number.
std::optional<double> ParseTypedNumber(const std::string& text);

}  // namespace drivebase

struct CMC_EditSetupDlg::State {
  std::deque<drivebase::ParameterBinding> bindings;  // references stay valid as bindings are added
  bool open = false;
  int callbackDepth = 0;  // > 0 while the callbacks of one user edit run
  bool canSettings = false;
  bool motorEditor = false;
  std::vector<std::string> databaseFaults;  // shown when the database combo is filled
  bool userDatabaseReadable = true;
  std::string chosenMotor;  // the motor chosen last in 10011
};
