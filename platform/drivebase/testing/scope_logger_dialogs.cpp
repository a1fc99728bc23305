// The scope logger's dialogs: its settings (template 10130) and the file of a saved live plot
// (template 10160).
#include <array>
#include <cmath>
#include <filesystem>

#include "drivebase/gui_resources.h"
#include "drivebase/scope_logger.h"
#include "ui/controls.h"
#include "ui/data_exchange.h"
#include "ui/dialog.h"
#include "ui/template_library.h"

namespace {

constexpr unsigned kScopeSettingsTemplate = 10130;
constexpr int kWindowEdit = 10131;
constexpr int kModeCombo = 10132;
constexpr int kSlopeCombo = 10133;
constexpr int kTriggerCombo = 10134;
constexpr int kLevelEdit = 10135;
constexpr int kLevelUnit = 10136;
constexpr int kPretriggerEdit = 10137;
constexpr int kChannelName = 10140;  // + channel, and so the rows below
constexpr int kScaleEdit = 10144;
constexpr int kOffsetEdit = 10148;
constexpr int kChannelUnit = 10152;
constexpr int kChannelRows = 4;

constexpr unsigned kPlotFileTemplate = 10160;
constexpr int kPlotFileText = 10161;
constexpr int kPlotFileEdit = 10162;

// The trigger modes in the order of the mode combo.
constexpr std::array<int, 3> kModes = {drivebase::kScopeFreeRunning, drivebase::kScopeNormal, drivebase::kScopeSingle};
constexpr const char* kModeNames[] = {"Free running", "Normal", "Single"};
constexpr const char* kNoTrigger = "(none)";

// The host's own templates, where every host dialog finds them (also opened before any setup
// dialog).
unsigned HostTemplate(unsigned id) {
  ui::DialogTemplates().AddDirectory(std::filesystem::path(drivebase::GetGUIDirectory()) / "resources" / "dialogs");
  return id;
}

class ScopeSettingsDlg : public CDialog {
 public:
  ScopeSettingsDlg(CMC_ScopeLogger& scope, CWnd* parent)
      : CDialog(HostTemplate(kScopeSettingsTemplate), parent), scope_(scope) {
    window_s_ = scope.WindowSeconds();
    for (std::size_t i = 0; i < kModes.size(); ++i) {
      if (kModes[i] == scope.TriggerMode()) mode_ = static_cast<int>(i);
    }
    slope_ = scope.TriggerSlope();
    level_ = scope.TriggerLevel();
    pretrigger_ = scope.PretriggerPercent();
    trigger_ = 0;
    for (int channel = 0; channel < Channels(); ++channel) {
      scale_[channel] = scope.ChannelScale(channel).scale;
      offset_[channel] = scope.ChannelScale(channel).offset;
      if (scope.ChannelName(channel) == scope.TriggerVariable()) trigger_ = channel + 1;
    }
  }

  // Takes the values into the scope; true when any setting changed.
  bool Apply() {
    bool changed = false;
    const std::string trigger = trigger_ == 0 ? "" : scope_.ChannelName(trigger_ - 1);
    const int mode = kModes[static_cast<std::size_t>(mode_)];
    changed = window_s_ != scope_.WindowSeconds() || mode != scope_.TriggerMode() || slope_ != scope_.TriggerSlope() ||
              trigger != scope_.TriggerVariable() || level_ != scope_.TriggerLevel() ||
              pretrigger_ != scope_.PretriggerPercent();
    scope_.ChangeSettings(window_s_, mode, slope_, trigger, level_, static_cast<std::uint16_t>(pretrigger_));
    for (int channel = 0; channel < Channels(); ++channel) {
      const drivebase::ScopeChannelScale& old = scope_.ChannelScale(channel);
      if (old.scale == scale_[channel] && old.offset == offset_[channel]) continue;
      changed = true;
      scope_.RescaleVariable(scope_.ChannelName(channel), old.unit, scale_[channel], offset_[channel]);
    }
    return changed;
  }

 protected:
  bool OnInitDialog() override {
    for (const auto& [combo, id] :
         {std::pair{&modeCombo_, kModeCombo}, {&slopeCombo_, kSlopeCombo}, {&triggerCombo_, kTriggerCombo}}) {
      combo->SubclassDlgItem(id, this);
    }
    for (const char* name : kModeNames) modeCombo_.AddString(name);
    slopeCombo_.AddString("Falling");
    slopeCombo_.AddString("Rising");
    triggerCombo_.AddString(kNoTrigger);
    for (int channel = 0; channel < static_cast<int>(scope_.GetVariablesNo()); ++channel) {
      triggerCombo_.AddString(scope_.ChannelName(channel));
    }
    for (int row = 0; row < kChannelRows; ++row) {
      const bool shown = row < Channels();
      for (const int id : {kChannelName, kScaleEdit, kOffsetEdit, kChannelUnit}) ShowWindowOf(id + row, shown);
      if (!shown) continue;
      SetDlgItemText(kChannelName + row, scope_.ChannelName(row));
      SetDlgItemText(kChannelUnit + row, scope_.ChannelScale(row).unit);
    }
    SetDlgItemText(kLevelUnit, trigger_ == 0 ? "" : scope_.ChannelScale(trigger_ - 1).unit);
    return CDialog::OnInitDialog();
  }

  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, kWindowEdit, window_s_);
    DDX_CBIndex(pDX, kModeCombo, mode_);
    DDX_CBIndex(pDX, kSlopeCombo, slope_);
    DDX_CBIndex(pDX, kTriggerCombo, trigger_);
    DDX_Text(pDX, kLevelEdit, level_);
    DDX_Text(pDX, kPretriggerEdit, pretrigger_);
    for (int channel = 0; channel < Channels(); ++channel) {
      DDX_Text(pDX, kScaleEdit + channel, scale_[channel]);
      DDX_Text(pDX, kOffsetEdit + channel, offset_[channel]);
    }
    if (!pDX->m_bSaveAndValidate) return;
    Require(pDX, kWindowEdit, window_s_ > 0.0 && std::isfinite(window_s_), "The window must be longer than 0 s.");
    Require(pDX, kPretriggerEdit, pretrigger_ >= 0 && pretrigger_ <= 100, "The pre-trigger share must be 0 … 100 %.");
    for (int channel = 0; channel < Channels(); ++channel) {
      Require(pDX, kScaleEdit + channel, scale_[channel] > 0.0 && std::isfinite(scale_[channel]),
              "The scale of " + scope_.ChannelName(channel) + " must be greater than 0.");
    }
  }

 private:
  int Channels() const { return std::min(static_cast<int>(scope_.GetVariablesNo()), kChannelRows); }
  void ShowWindowOf(int id, bool shown) {
    if (CWnd* control = GetDlgItem(id); control != nullptr) control->ShowWindow(shown ? SW_SHOW : SW_HIDE);
  }
  void Require(CDataExchange* pDX, int id, bool holds, const std::string& text) {
    if (holds) return;
    MessageBox(text, "", MB_OK | MB_ICONWARNING);
    pDX->PrepareCtrl(id);
    pDX->Fail();
  }

  CMC_ScopeLogger& scope_;
  CComboBox modeCombo_, slopeCombo_, triggerCombo_;
  double window_s_ = 0.0;
  int mode_ = 0;
  int slope_ = 0;
  int trigger_ = 0;  // 0: untriggered, else the channel + 1
  double level_ = 0.0;
  int pretrigger_ = 0;
  double scale_[kChannelRows] = {};
  double offset_[kChannelRows] = {};
};

class PlotFileDlg : public CDialog {
 public:
  PlotFileDlg(int save, std::string path, CWnd* parent)
      : CDialog(HostTemplate(kPlotFileTemplate), parent), save_(save != 0), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 protected:
  bool OnInitDialog() override {
    SetDlgItemText(kPlotFileText, save_ ? "Save the live plot to:" : "Load the live plot from:");
    return CDialog::OnInitDialog();
  }
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, kPlotFileEdit, path_);
    if (!pDX->m_bSaveAndValidate || path_.find_first_not_of(" \t") != std::string::npos) return;
    MessageBox("Enter the file of the live plot.", "", MB_OK | MB_ICONWARNING);
    pDX->PrepareCtrl(kPlotFileEdit);
    pDX->Fail();
  }

 private:
  bool save_;
  std::string path_;
};

}  // namespace

int CMC_ScopeLogger::Edit(CWnd* parent) {
  ScopeSettingsDlg dialog(*this, parent);
  if (dialog.DoModal() != IDOK) return IDCANCEL;
  return dialog.Apply() ? IDOK : IDCANCEL;
}

std::string DoPromptScopeLoggerFileName(int save, const std::string& name, CWnd* parent) {
  const std::filesystem::path file = std::filesystem::path(drivebase::PlotDirectory()) / (name + ".scope.json");
  PlotFileDlg dialog(save, file.string(), parent);
  return dialog.DoModal() == IDOK ? dialog.Path() : "";
}
