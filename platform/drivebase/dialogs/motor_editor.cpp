// The motor database of a setup dialog: the database and motor combos (10010, 10011), choosing a
// motor, "Save to User Database" (10012) and "Delete" (10013).
#include <algorithm>
#include <stdexcept>

#include "drivebase/motor_database.h"
#include "edit_setup_state.h"
#include "ui/data_exchange.h"

namespace {

enum : int { kShippedDatabase = 0, kUserDatabase = 1 };

constexpr unsigned kSaveMotorTemplate = 10120;
constexpr int kSaveMotorName = 10121;

// Asks for the name under which the motor is saved.
class SaveMotorDlg : public CDialog {
 public:
  SaveMotorDlg(std::string name, CWnd* parent) : CDialog(kSaveMotorTemplate, parent), name_(std::move(name)) {}
  const std::string& Name() const { return name_; }

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, kSaveMotorName, name_);
    if (!pDX->m_bSaveAndValidate) return;
    const std::size_t begin = name_.find_first_not_of(" \t");
    name_ = begin == std::string::npos ? "" : name_.substr(begin, name_.find_last_not_of(" \t") + 1 - begin);
    if (name_.empty()) {
      MessageBox("Enter the name under which the motor is saved.", "", MB_OK | MB_ICONWARNING);
      pDX->PrepareCtrl(kSaveMotorName);
      pDX->Fail();
    }
  }

 private:
  std::string name_;
};

// Writes the user database; a failure is shown to the user and leaves the file as it was.
bool SaveUserDatabase(CWnd& dialog, const drivebase::MotorDatabase& updated) {
  try {
    updated.Save(drivebase::UserMotorDatabasePath());
    return true;
  } catch (const drivebase::MotorDatabaseError& error) {
    dialog.MessageBox(error.what(), "", MB_OK | MB_ICONWARNING);
    return false;
  }
}

int SelectedData(const ui::Window* combo) {
  if (combo == nullptr || combo->selection < 0) return -1;
  return static_cast<int>(combo->items[static_cast<std::size_t>(combo->selection)].data);
}

}  // namespace

void CMC_EditSetupDlg::InitializeMotorEditor() {
  state_->motorEditor = true;
  state_->databaseFaults.clear();
  try {
    shippedMotors_ = drivebase::MotorDatabase::Load(drivebase::ShippedMotorDatabasePath(), false);
  } catch (const drivebase::MotorDatabaseError& error) {
    shippedMotors_ = {};
    state_->databaseFaults.push_back(error.what());
  }
  try {
    userMotors_ = drivebase::MotorDatabase::Load(drivebase::UserMotorDatabasePath(), true);
    state_->userDatabaseReadable = true;
  } catch (const drivebase::MotorDatabaseError& error) {
    userMotors_ = {};
    state_->userDatabaseReadable = false;
    state_->databaseFaults.push_back(error.what());
  }
}

void CMC_EditSetupDlg::FillMotorDatabaseCombo() {
  if (!state_->open || !state_->motorEditor) return;
  ui::Window* combo = Attached().FindChild(drivebase::kMotorDatabaseCombo);
  if (combo == nullptr) return;
  const int selected = std::max(SelectedData(combo), 0);
  combo->items = {{"Kestrel", kShippedDatabase}, {"USER", kUserDatabase}};
  ui::SelectItem(*combo, selected);
  const std::vector<std::string> faults = std::move(state_->databaseFaults);
  state_->databaseFaults.clear();
  for (const std::string& fault : faults) {
    MessageBox("The motor database cannot be used:\n" + fault, "", MB_OK | MB_ICONWARNING);
  }
}

void CMC_EditSetupDlg::FillMotorNameCombo() {
  if (!state_->open || !state_->motorEditor) return;
  ui::Window* combo = Attached().FindChild(drivebase::kMotorNameCombo);
  if (combo == nullptr) return;
  const bool user = SelectedData(Attached().FindChild(drivebase::kMotorDatabaseCombo)) == kUserDatabase;
  const drivebase::MotorDatabase& database = user ? userMotors_ : shippedMotors_;
  const drivebase::MotorMotion motion = drivebase::MotorMotionOf(*setup_);
  combo->items.clear();
  int selected = -1;
  for (std::size_t index = 0; index < database.Motors().size(); ++index) {
    const drivebase::MotorEntry& motor = database.Motors()[index];
    if (motor.motion != motion) continue;
    if (motor.name == state_->chosenMotor) selected = static_cast<int>(combo->items.size());
    combo->items.push_back({motor.name, index});
  }
  ui::SelectItem(*combo, selected);
  EnableChild(drivebase::kDeleteFromUserDatabase, user && selected >= 0);
}

void CMC_EditSetupDlg::OnSelchangeMotorDatabase() {
  state_->chosenMotor.clear();
  FillMotorNameCombo();
}

void CMC_EditSetupDlg::OnSelchangeMotorName() {
  if (!state_->open || state_->callbackDepth > 0) return;
  const bool user = SelectedData(Attached().FindChild(drivebase::kMotorDatabaseCombo)) == kUserDatabase;
  const drivebase::MotorDatabase& database = user ? userMotors_ : shippedMotors_;
  const int index = SelectedData(Attached().FindChild(drivebase::kMotorNameCombo));
  if (index < 0 || index >= static_cast<int>(database.Motors().size())) return;
  const drivebase::MotorEntry motor = database.Motors()[static_cast<std::size_t>(index)];
  state_->chosenMotor = motor.name;
  EnableChild(drivebase::kDeleteFromUserDatabase, user);
  const std::vector<std::string> changed = drivebase::ApplyMotorToSetup(motor, *setup_);
  ++state_->callbackDepth;
  try {
    for (const std::string& name : changed) {
      OnChangedParameterValue(name);
      OnRefreshParameterValue(name);
    }
  } catch (...) {
    --state_->callbackDepth;
    throw;
  }
  --state_->callbackDepth;
  RefreshAllParameters();
}

void CMC_EditSetupDlg::OnSaveToUserDatabase() {
  const std::string file = drivebase::UserMotorDatabasePath().string();
  if (!state_->userDatabaseReadable) {
    MessageBox("The user database " + file + " cannot be read, so the motor is not saved (saving would replace the file).",
               "", MB_OK | MB_ICONWARNING);
    return;
  }
  SaveMotorDlg ask(state_->chosenMotor, this);
  if (ask.DoModal() != IDOK) return;
  if (userMotors_.Find(ask.Name()) != nullptr &&
      MessageBox("The user database has a motor named \"" + ask.Name() + "\" already. Replace it?", "",
                 MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  drivebase::MotorDatabase updated = userMotors_;
  updated.Put(drivebase::MotorFromSetup(*setup_, ask.Name()));
  if (!SaveUserDatabase(*this, updated)) return;
  userMotors_ = std::move(updated);
  state_->chosenMotor = ask.Name();
  if (ui::Window* combo = Attached().FindChild(drivebase::kMotorDatabaseCombo)) ui::SelectItem(*combo, kUserDatabase);
  FillMotorNameCombo();
}

void CMC_EditSetupDlg::OnDeleteFromUserDatabase() {
  if (SelectedData(Attached().FindChild(drivebase::kMotorDatabaseCombo)) != kUserDatabase) return;
  const ui::Window* names = Attached().FindChild(drivebase::kMotorNameCombo);
  if (names == nullptr || names->selection < 0) return;
  const std::string name = names->items[static_cast<std::size_t>(names->selection)].text;
  if (MessageBox("Delete the motor \"" + name + "\" from the user database?", "", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  drivebase::MotorDatabase updated = userMotors_;
  updated.Remove(name);
  if (!SaveUserDatabase(*this, updated)) return;
  userMotors_ = std::move(updated);
  state_->chosenMotor.clear();
  FillMotorNameCombo();
}
