// CMC_EditSetupDlg: bindings, the modal run that restores the setup unless closed with OK, and the
// dispatch of the controls' messages.
#include "drivebase/edit_setup_dlg.h"

#include <filesystem>
#include <stdexcept>
#include <strings.h>

#include "drivebase/error_report.h"
#include "drivebase/gui_resources.h"
#include "edit_setup_state.h"
#include "ui/data_exchange.h"
#include "ui/event_loop.h"
#include "ui/keyboard.h"
#include "ui/template_library.h"

using drivebase::BindingKind;
using drivebase::ParameterBinding;

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

CMC_EditSetupDlg::CMC_EditSetupDlg(CMC_Setup* setup, unsigned templateId, int flag,
                                   drivebase::GuidelineTable guidelines, CWnd* parent)
    : CDialog(templateId, parent),
      setup_(setup),
      flag_(flag),
      guidelines_(guidelines.begin(), guidelines.end()),
      state_(std::make_unique<State>()) {
  if (setup_ == nullptr) throw std::invalid_argument("a setup dialog needs a setup");
  ui::DialogTemplates().AddDirectory(std::filesystem::path(drivebase::GetGUIDirectory()) / "resources" / "dialogs");
}

CMC_EditSetupDlg::~CMC_EditSetupDlg() = default;

int CMC_EditSetupDlg::DoModal() {
  const CMC_Setup before(*setup_);
  int result = IDCANCEL;
  try {
    result = CDialog::DoModal();
  } catch (...) {
    state_->open = false;
    *setup_ = before;
    throw;
  }
  state_->open = false;
  if (result != IDOK) *setup_ = before;
  return result;
}

bool CMC_EditSetupDlg::AddParameterControls(std::string_view name, int editId, int unitComboId) {
  ParameterBinding binding;
  binding.kind = BindingKind::Edit;
  binding.editId = editId;
  binding.unitComboId = unitComboId;
  return Bind(name, std::move(binding));
}

bool CMC_EditSetupDlg::AddCheckParameterControls(std::string_view name, int checkId) {
  ParameterBinding binding;
  binding.kind = BindingKind::Check;
  binding.controlId = checkId;
  return Bind(name, std::move(binding));
}

bool CMC_EditSetupDlg::AddSwitchParameterControls(std::string_view name, int comboId) {
  ParameterBinding binding;
  binding.kind = BindingKind::Combo;
  binding.controlId = comboId;
  return Bind(name, std::move(binding));
}

bool CMC_EditSetupDlg::AddSwitchParameterControls(std::string_view name, int firstRadioId, int lastRadioId) {
  if (lastRadioId < firstRadioId) {
    throw std::invalid_argument("parameter " + std::string(name) + ": the radio range " + std::to_string(firstRadioId) +
                                " ... " + std::to_string(lastRadioId) + " is empty");
  }
  ParameterBinding binding;
  binding.kind = BindingKind::Radios;
  binding.controlId = firstRadioId;
  binding.lastRadioId = lastRadioId;
  return Bind(name, std::move(binding));
}

bool CMC_EditSetupDlg::AddSliderParameterControls(std::string_view name, int sliderId, int editId, int labelId,
                                                  int fineSpinId, int coarseSpinId, double min, double max) {
  if (!(min < max)) {
    throw std::invalid_argument("parameter " + std::string(name) + ": the slider's minimum must be below its maximum");
  }
  ParameterBinding binding;
  binding.kind = BindingKind::Slider;
  binding.controlId = sliderId;
  binding.editId = editId;
  binding.labelId = labelId;
  binding.fineSpinId = fineSpinId;
  binding.coarseSpinId = coarseSpinId;
  binding.sliderMin = min;
  binding.sliderMax = max;
  return Bind(name, std::move(binding));
}

bool CMC_EditSetupDlg::AddUserParameterControls(CMC_Parameter* parameter, int editId, int unitComboId) {
  if (parameter == nullptr) return false;
  ParameterBinding binding;
  binding.kind = BindingKind::Edit;
  binding.name = parameter->GetName();
  binding.userParameter = parameter;
  binding.editId = editId;
  binding.unitComboId = unitComboId;
  for (ParameterBinding& bound : state_->bindings) {
    if (bound.userParameter != nullptr && SameName(bound.name, binding.name)) {
      bound = std::move(binding);
      ShowBound(bound);
      return true;
    }
  }
  state_->bindings.push_back(std::move(binding));
  ShowBound(state_->bindings.back());
  return true;
}

bool CMC_EditSetupDlg::Bind(std::string_view name, ParameterBinding binding) {
  if (setup_->FindParameter(name) == nullptr) return false;  // reported by the lookup
  binding.name = std::string(name);
  state_->bindings.push_back(std::move(binding));
  ShowBound(state_->bindings.back());
  return true;
}

void CMC_EditSetupDlg::ShowBound(ParameterBinding& binding) {
  if (!state_->open) return;
  ParameterBinding::Validate(*this, binding);
  ParameterBinding::Show(*this, binding);
}

void CMC_EditSetupDlg::RefreshParameterControls(std::string_view name) {
  if (!state_->open) return;
  for (ParameterBinding& binding : state_->bindings) {
    if (SameName(binding.name, name)) ParameterBinding::Show(*this, binding);
  }
}

void CMC_EditSetupDlg::RefreshAllParameters() {
  if (!state_->open) return;
  for (ParameterBinding& binding : state_->bindings) ParameterBinding::Show(*this, binding);
}

void CMC_EditSetupDlg::CommitPendingEdits() { CommitPending(); }

bool CMC_EditSetupDlg::CommitPending() {
  if (!state_->open) return true;
  bool allTaken = true;
  // By index: a reaction may bind more parameters while the edits are taken.
  for (std::size_t index = 0; index < state_->bindings.size(); ++index) {
    if (state_->bindings[index].editId != 0) allTaken = ParameterBinding::CommitEdit(*this, state_->bindings[index]) && allTaken;
  }
  return allTaken;
}

void CMC_EditSetupDlg::OnChangedParameterValue(const std::string&) {}

void CMC_EditSetupDlg::OnRefreshParameterValue(const std::string&) {}

void CMC_EditSetupDlg::OnChangedParameterUnit(const std::string&) {}

bool CMC_EditSetupDlg::OnInitDialog() {
  state_->open = true;
  for (ParameterBinding& binding : state_->bindings) ParameterBinding::Validate(*this, binding);
  ShowGuideline();
  if (state_->canSettings) ApplyCANSettings();
  if (state_->motorEditor) {
    FillMotorDatabaseCombo();
    FillMotorNameCombo();
  }
  CDialog::OnInitDialog();
  RefreshAllParameters();
  return true;
}

void CMC_EditSetupDlg::DoDataExchange(CDataExchange* pDX) {
  if (pDX->m_bSaveAndValidate && !CommitPending()) pDX->Fail();
}

bool CMC_EditSetupDlg::PreTranslateMessage(MSG* message) {
  if (message->message == WM_KEYDOWN && message->wParam == VK_RETURN && state_->open) {
    const ui::Window* focus = ui::CurrentEventLoop().Focus();
    for (std::size_t index = 0; focus != nullptr && index < state_->bindings.size(); ++index) {
      ParameterBinding& binding = state_->bindings[index];
      if (binding.editId == 0 || ParameterBinding::Control(*this, binding.editId) != focus) continue;
      ParameterBinding::CommitEdit(*this, binding);
      return true;
    }
  }
  return CDialog::PreTranslateMessage(message);
}

bool CMC_EditSetupDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = static_cast<int>(LOWORD(wParam));
  const unsigned code = HIWORD(wParam);
  bool handled = false;
  if (state_->open) {
    for (std::size_t index = 0; index < state_->bindings.size() && !handled; ++index) {
      ParameterBinding& binding = state_->bindings[index];
      if (binding.Uses(id)) handled = ParameterBinding::TakeAction(*this, binding, id, code);
    }
  }
  return CDialog::OnCommand(wParam, lParam) || handled;
}

void CMC_EditSetupDlg::OnHScroll(unsigned, unsigned, CWnd* control) { TakeScroll(control); }

void CMC_EditSetupDlg::OnVScroll(unsigned, unsigned, CWnd* control) { TakeScroll(control); }

void CMC_EditSetupDlg::TakeScroll(CWnd* control) {
  if (!state_->open || control == nullptr || control->GetSafeHwnd() == nullptr) return;
  const int id = control->GetDlgCtrlID();
  for (std::size_t index = 0; index < state_->bindings.size(); ++index) {
    if (ParameterBinding::TakeScroll(*this, state_->bindings[index], id)) return;
  }
}

const ui::MessageMap* CMC_EditSetupDlg::GetMessageMap() const {
  using Self = CMC_EditSetupDlg;
  static const ui::MessageMap map =
      ui::MessageMapBuilder<Self>(CDialog::GetMessageMap())
          .Command(drivebase::kGuidelinePrevious, &Self::OnGuidelinePrevious)
          .Command(drivebase::kGuidelineNext, &Self::OnGuidelineNext)
          .Command(drivebase::kHelpButton, &Self::OnHelpButton)
          .Command(drivebase::kCanopenSettingsButton, &Self::OnCanopenSettings)
          .ControlNotification(drivebase::kMotorDatabaseCombo, CBN_SELCHANGE, &Self::OnSelchangeMotorDatabase)
          .ControlNotification(drivebase::kMotorNameCombo, CBN_SELCHANGE, &Self::OnSelchangeMotorName)
          .Command(drivebase::kSaveToUserDatabase, &Self::OnSaveToUserDatabase)
          .Command(drivebase::kDeleteFromUserDatabase, &Self::OnDeleteFromUserDatabase)
          .HScroll(&Self::OnHScroll)
          .VScroll(&Self::OnVScroll)
          .Build();
  return &map;
}
