// The host's shared controls of a setup dialog: child controls by id, bitmaps, the guideline
// assistant, help and the CAN settings.
#include <stdexcept>

#include "canopen_settings_dlg.h"
#include "drivebase/error_report.h"
#include "drivebase/gui_resources.h"
#include "edit_setup_state.h"

using drivebase::ParameterBinding;

namespace {

// The bit rates a CANopen network runs at, in bit/s.
constexpr int kCanBitRates[] = {10000, 20000, 50000, 125000, 250000, 500000, 800000, 1000000};

std::string BitRateText(int bitsPerSecond) {
  return bitsPerSecond >= 1000000 ? std::to_string(bitsPerSecond / 1000000) + " Mbit/s"
                                  : std::to_string(bitsPerSecond / 1000) + " kbit/s";
}

}  // namespace

void CMC_EditSetupDlg::ShowChild(int id, bool show) {
  if (GetSafeHwnd() == nullptr) return;
  if (CWnd* child = GetDlgItem(id)) child->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CMC_EditSetupDlg::EnableChild(int id, bool enable) {
  if (GetSafeHwnd() == nullptr) return;
  if (CWnd* child = GetDlgItem(id)) child->EnableWindow(enable);
}

void CMC_EditSetupDlg::SetChildText(int id, const std::string& text) {
  if (GetSafeHwnd() == nullptr) return;
  if (CWnd* child = GetDlgItem(id)) child->SetWindowText(text);
}

void CMC_EditSetupDlg::SetChildBitmap(int id, const std::string& resourceName) {
  if (GetSafeHwnd() == nullptr) return;
  ui::Window* child = Attached().FindChild(id);
  if (child == nullptr) return;
  const drivebase::GuiModule& module = CMC_Setup::GetGuiModule();
  if (!module.HasBitmap(resourceName)) {
    drivebase::ReportError("the bitmap resource \"" + resourceName + "\" does not exist (" +
                           module.BitmapFile(resourceName).string() + ")");
    return;
  }
  child->bitmap = resourceName;
}

// --- Guideline assistant.

void CMC_EditSetupDlg::SetGuidelineTable(drivebase::GuidelineTable guidelines) {
  guidelines_.assign(guidelines.begin(), guidelines.end());
  guidelineIndex_ = 0;
  ShowGuideline();
}

void CMC_EditSetupDlg::ShowGuideline() {
  if (!state_->open) return;
  const int count = static_cast<int>(guidelines_.size());
  SetChildText(drivebase::kGuidelineText, count == 0 ? "" : guidelines_[static_cast<std::size_t>(guidelineIndex_)]);
  EnableChild(drivebase::kGuidelinePrevious, guidelineIndex_ > 0);
  EnableChild(drivebase::kGuidelineNext, guidelineIndex_ + 1 < count);
}

void CMC_EditSetupDlg::OnGuidelinePrevious() {
  if (guidelineIndex_ > 0) --guidelineIndex_;
  ShowGuideline();
}

void CMC_EditSetupDlg::OnGuidelineNext() {
  if (guidelineIndex_ + 1 < static_cast<int>(guidelines_.size())) ++guidelineIndex_;
  ShowGuideline();
}

// --- Help.

void CMC_EditSetupDlg::OnHelpButton() {
  if (helpContext_ != 0) ShowHelp(helpContext_);
}

void CMC_EditSetupDlg::ShowHelp(unsigned context) {
  const std::string helpFile = setup_->GetHelpFileOfGUI();
  if (helpFile.empty()) return;
  try {
    drivebase::OpenHelpContext(drivebase::GetGUIDirectory() + helpFile, context);
  } catch (const std::runtime_error& error) {
    MessageBox(error.what(), "", MB_OK | MB_ICONWARNING);
  }
}

// --- CAN settings.

bool CMC_EditSetupDlg::HasCANBaudRate() const {
  const drivebase::ErrorReportingOff quiet;
  return setup_->FindParameter(drivebase::kCanBaudRateParameter) != nullptr;
}

bool CMC_EditSetupDlg::HasCANopenSettings() const {
  const drivebase::ErrorReportingOff quiet;
  for (const drivebase::CanopenSetting& setting : drivebase::CanopenSettings()) {
    if (setup_->FindParameter(setting.name) != nullptr) return true;
  }
  return false;
}

void CMC_EditSetupDlg::EnableCANSettings() {
  if (!state_->canSettings && HasCANBaudRate()) {
    AddSwitchParameterControls(drivebase::kCanBaudRateParameter, drivebase::kCanBaudRateCombo);
  }
  state_->canSettings = true;
  ApplyCANSettings();
}

void CMC_EditSetupDlg::ApplyCANSettings() {
  if (!state_->open) return;
  if (ui::Window* combo = Attached().FindChild(drivebase::kCanBaudRateCombo); combo != nullptr && combo->items.empty()) {
    for (const int rate : kCanBitRates) combo->items.push_back({BitRateText(rate), static_cast<std::uintptr_t>(rate)});
  }
  EnableChild(drivebase::kCanBaudRateCombo, HasCANBaudRate());
  EnableChild(drivebase::kCanopenSettingsButton, HasCANopenSettings());
  RefreshParameterControls(drivebase::kCanBaudRateParameter);
}

void CMC_EditSetupDlg::OnCanopenSettings() {
  if (!HasCANopenSettings()) return;
  drivebase::CanopenSettingsDlg dialog(setup_, this);
  if (dialog.DoModal() == IDOK) RefreshAllParameters();
}
