// CMC_EditSetupDlg: the host's base of every setup dialog. It binds named setup parameters to
// controls (edits with unit combos, check boxes, radio groups and combos, sliders), shows each
// value in its selected display unit with its precision, takes the user's edits back into the
// setup and tells the dialog about them, and serves the host's shared controls: the guideline
// assistant, the CAN settings, the Help button and the motor database.
//
// What happens on a user's edit, in this order:
//   1. the value is stored (the setup model clamps and rounds it);
//   2. when the stored value differs from the one before: OnChangedParameterValue(name), then
//      OnRefreshParameterValue(name), then every bound control is shown again;
//      when it does not differ, no callback runs and the control shows the kept value again.
// While the callbacks of one edit run, notifications of bound controls are not taken as edits
// (a reaction that moves the focus or re-fills a combo never recurses). RefreshParameterControls
// and RefreshAllParameters only show values; they never call back.
//
// A setup dialog that closes other than with OK (Cancel, Esc, the close box, any other end code,
// or a failure that unwinds its modal loop) puts the whole setup back: values, limits, units,
// options and identity, as they were when the dialog was constructed (for its first run, so that
// the computations of a dialog's constructor are undone too) or when a later run began. Never keep a CMC_Parameter* of the
// setup across a child dialog's run: a cancelled child replaces the setup's parameter objects.
//
// Host control ids served here: guideline edit 10007 with "Previous" 10005 and "Next" 10006;
// motor database combos 10010 (database) and 10011 (motor), "Save to User Database" 10012,
// "Delete" 10013; CAN baud-rate combo 10021 and "CANopen settings..." 10022; "Help" 10024.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "drivebase/motor_database.h"
#include "drivebase/setup.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/message_map.h"

namespace drivebase {

// A dialog's table of guideline texts, one step per entry; empty for a dialog without one.
using GuidelineTable = std::span<const char* const>;

// Host control ids.
inline constexpr int kGuidelinePrevious = 10005;
inline constexpr int kGuidelineNext = 10006;
inline constexpr int kGuidelineText = 10007;
inline constexpr int kMotorDatabaseCombo = 10010;
inline constexpr int kMotorNameCombo = 10011;
inline constexpr int kSaveToUserDatabase = 10012;
inline constexpr int kDeleteFromUserDatabase = 10013;
inline constexpr int kCanBaudRateCombo = 10021;
inline constexpr int kCanopenSettingsButton = 10022;
inline constexpr int kHelpButton = 10024;

struct ParameterBinding;  // one bound parameter and its controls (edit_setup_bindings.h)

}  // namespace drivebase

class CMC_EditSetupDlg : public CDialog {
 public:
  // setup: the setup edited (owned by the caller, outlives the dialog); templateId: the dialog's
  // template; flag: kept for the dialogs' own use (GetFlag), the base does not read it;
  // guidelines: the guideline table, or an empty span; parent: the opener, or null.
  CMC_EditSetupDlg(CMC_Setup* setup, unsigned templateId, int flag,
                   drivebase::GuidelineTable guidelines, CWnd* parent);
  ~CMC_EditSetupDlg() override;

  // Runs the dialog modally. A result other than IDOK puts the setup back (see above; also when
  // a failure unwinds the loop).
  int DoModal() override;

  CMC_Setup* GetSetup() const { return setup_; }
  int GetFlag() const { return flag_; }

  // --- Bindings (in the constructor, or while open: a binding made while open shows at once).
  // Each returns false, binding nothing, when the setup lacks the parameter (reported while
  // g_bShowErrors is non-zero). A control id that the template lacks, or of the wrong kind, throws
  // ui::DialogError naming the dialog, the parameter and the control when the dialog opens.

  // An edit showing the value in the selected display unit; unitComboId 0 for none, else a combo
  // listing the display units of the parameter's unit family.
  bool AddParameterControls(std::string_view name, int editId, int unitComboId = 0);
  // A check box: checked when the value is not 0; clicking stores 1 or 0.
  bool AddCheckParameterControls(std::string_view name, int checkId);
  // A combo whose entries the dialog fills, each carrying its value as item data: the entry
  // whose data equals the value is selected (none when no entry has it; the value is left
  // alone until the user picks one); choosing an entry stores its data.
  bool AddSwitchParameterControls(std::string_view name, int comboId);
  // The radio buttons firstRadioId ... lastRadioId: the value is the index of the checked one,
  // counted from 0; a value outside the range checks none.
  bool AddSwitchParameterControls(std::string_view name, int firstRadioId, int lastRadioId);
  // A slider over [min, max] (in the display unit) in kSliderSteps steps, with an edit (as
  // AddParameterControls, no unit combo), an optional label (0: none) that shows the display
  // unit, and two optional spin buttons (0: none): the first moves one step, the second ten.
  bool AddSliderParameterControls(std::string_view name, int sliderId, int editId, int labelId,
                                  int fineSpinId, int coarseSpinId, double min, double max);
  static constexpr int kSliderSteps = 100;
  // A parameter the dialog owns (a display value such as a copy made with CMC_Parameter::CopyAs),
  // shown and edited like a setup parameter; the dialog keeps it alive while bound. Its callbacks
  // carry its own name. Binding a second parameter of the same name replaces the first.
  bool AddUserParameterControls(CMC_Parameter* parameter, int editId, int unitComboId = 0);

  // --- Showing values (never calls OnChangedParameterValue or OnRefreshParameterValue).
  // Shows the parameter's value (and unit) in all its controls; nothing when it is not bound or
  // the dialog is not open.
  void RefreshParameterControls(std::string_view name);
  void RefreshAllParameters();
  // Takes the text of every bound edit that differs from what it last showed, as if the user had
  // committed it (callbacks included). OnOK of a setup dialog calls this first; DoDataExchange
  // of the base calls it when saving.
  void CommitPendingEdits();

  // --- Child controls by id (ignored, without error, when the dialog has no such control).
  void ShowChild(int id, bool show);
  void EnableChild(int id, bool enable);
  void SetChildText(int id, const std::string& text);
  // Shows a bitmap of the host's GUI module (CMC_Setup::GetGuiModule) in a picture or button;
  // an unknown resource is reported and leaves the control as it was.
  void SetChildBitmap(int id, const std::string& resourceName);

  // --- Callbacks, with the parameter's name as bound (see the order above).
  // The user changed the value of a bound parameter (it is stored already).
  virtual void OnChangedParameterValue(const std::string& name);
  // Right after OnChangedParameterValue, before the controls are shown again.
  virtual void OnRefreshParameterValue(const std::string& name);
  // The user chose another display unit for the parameter (the value is shown in it already).
  virtual void OnChangedParameterUnit(const std::string& name);

  // --- CAN settings: enables the baud-rate combo 10021 (filled with the bit rates, bound to the
  // setup's "CAN_baudrate" in bit/s) and the "CANopen settings..." button 10022 (opens the host's
  // CANopen dialog over the CANopen parameters the setup holds); each is disabled when the setup
  // holds none of its parameters. Call at the end of the constructor.
  void EnableCANSettings();
  bool HasCANBaudRate() const;
  bool HasCANopenSettings() const;

  // --- Guideline assistant: edit 10007 shows entry n of the table; "Previous" and "Next" move
  // through it and are disabled at its ends. Switching the table shows its first entry.
  void SetGuidelineTable(drivebase::GuidelineTable guidelines);
  int GetGuidelineIndex() const { return guidelineIndex_; }

  // --- Help: the Help button 10024 opens the help page of the context set here (0: nothing).
  void SetHelpContext(unsigned context) { helpContext_ = context; }
  unsigned GetHelpContext() const { return helpContext_; }
  // Opens the help page of a context number (drivebase/help.h); a missing page gets a message box.
  void ShowHelp(unsigned context);

  // --- Motor database (combos 10010 and 10011, buttons 10012 and 10013).
  // Marks the dialog as a motor editor: the four controls are served from then on, and filled
  // when the dialog opens. Call in the constructor; again after a change of sensor type or
  // transmission (then followed by the two fills below).
  void InitializeMotorEditor();
  // Lists the databases ("Kestrel", "USER") and reads them; a faulty file gets a message box
  // naming the file and the entry, and lists no motor.
  void FillMotorDatabaseCombo();
  // Lists the motors of the selected database whose motion (rotary or linear) matches the motor
  // side of TransmissionType; the motor chosen last stays selected when it is listed.
  void FillMotorNameCombo();
  // The selection of a motor in 10011: its data go into the setup (each value the setup holds),
  // then OnChangedParameterValue and OnRefreshParameterValue run for each value that changed,
  // in the database's order, and all controls are shown again. A dialog that handles 10011
  // itself calls this first.
  void OnSelchangeMotorName();
  const drivebase::MotorDatabase& ShippedMotors() const { return shippedMotors_; }
  const drivebase::MotorDatabase& UserMotors() const { return userMotors_; }

 protected:
  // Validates and shows the bindings, fills the unit combos, the CAN combo, the guideline and
  // the motor database, then the framework's initialisation (data exchange to the controls).
  bool OnInitDialog() override;
  // Saving: takes the pending edits (CommitPendingEdits); a text that is not a number fails the
  // exchange, so OK keeps the dialog open. Loading: nothing (the dialogs end theirs with
  // RefreshAllParameters).
  void DoDataExchange(CDataExchange* pDX) override;
  // Enter in a bound edit commits it and keeps the dialog open; other keys as the framework.
  bool PreTranslateMessage(MSG* message) override;
  // Serves the bound controls and the host's controls, then the message map.
  bool OnCommand(WPARAM wParam, LPARAM lParam) override;

 public:
  const ui::MessageMap* GetMessageMap() const override;

 private:
  struct State;
  friend struct drivebase::ParameterBinding;

  bool Bind(std::string_view name, drivebase::ParameterBinding binding);
  void ShowBound(drivebase::ParameterBinding& binding);
  bool CommitPending();  // false when a text was refused
  void TakeScroll(CWnd* control);
  void ShowGuideline();
  void ApplyCANSettings();
  void OnHScroll(unsigned code, unsigned position, CWnd* control);
  void OnVScroll(unsigned code, unsigned position, CWnd* control);
  void OnGuidelinePrevious();
  void OnGuidelineNext();
  void OnHelpButton();
  void OnCanopenSettings();
  void OnSelchangeMotorDatabase();
  void OnSaveToUserDatabase();
  void OnDeleteFromUserDatabase();

  CMC_Setup* setup_;
  int flag_;
  std::vector<const char*> guidelines_;
  int guidelineIndex_ = 0;
  unsigned helpContext_ = 0;
  drivebase::MotorDatabase shippedMotors_;
  drivebase::MotorDatabase userMotors_;
  std::unique_ptr<State> state_;
};
