// The dialog of the framework's own tests (template tests/ui/dialogs/9000.json). It uses every
// feature that the plug-in's dialogs use and records what its handlers saw.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ui/controls.h"
#include "ui/data_exchange.h"
#include "ui/dialog.h"
#include "ui/menu.h"
#include "ui/message_map.h"

namespace ui_test {

// Control ids of the test dialog.
enum : int {
  kStatus = 1001,
  kName = 1002,
  kSpeed = 1004,
  kUnit = 1005,
  kCount = 1006,
  kLimitCount = 1010,
  kPosition = 1011,
  kSpeedMode = 1012,
  kTorque = 1013,
  kModeGroup = 1019,
  kLevel = 1020,
  kTabs = 1030,
  kSlider = 1040,
  kSpin = 1041,
  kProgress = 1042,
  kPicture = 1043,
  kGraph = 1044,
  kOpenChild = 1050,
  kStartTimers = 1051,
  kAsk = 1052,
  kPump = 1053,
  kStop = 1054,
  kOpenLater = 1055,
};

// The scale-change message that the graph sends its dialog.
inline constexpr unsigned kScaleMessage = 0x467;
inline constexpr int kSaveCommand = 10067;
// The graph's context menu: commands 10062 … 10066, Load (10065) offered after a save.
inline constexpr unsigned kGraphMenu = 9001;
inline constexpr const char* kGraphMenuJson = R"({"id": 9001, "popups": [{"text": "Plot", "items": [
  {"id": 10062, "text": "&Edit settings..."}, {"id": 10064, "text": "&Autoscale", "checked": true},
  {"separator": true},
  {"text": "&File", "items": [{"id": 10065, "text": "&Load..."}, {"id": 10066, "text": "&Save..."}]}]}]})";

// The folder of the tests' templates and scripts.
std::filesystem::path TestData();

// A graph control attached to its placeholder; it reports scale changes to its dialog.
class TestGraph : public CWnd {
 public:
  void ChangeScale(unsigned channel, unsigned scale);
  int contextMenus = 0;
  bool saved = false;

 protected:
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnContextMenu(CWnd* window, CPoint point);
};

class TestDialog : public CDialog {
 public:
  static constexpr unsigned kTemplateId = 9000;

  explicit TestDialog(int depth = 1, CWnd* parent = nullptr);
  bool OnInitDialog() override;
  bool PreTranslateMessage(MSG* message) override;

  // Exchanged with the controls.
  std::string name;
  double speed = 0;
  std::string unit = "mm";
  int count = 0;
  int limitCount = BST_UNCHECKED;
  int mode = 0;
  int level = -1;

  // What the handlers saw: (time in ms, timer id) and named events.
  std::vector<std::pair<long long, std::uintptr_t>> timerLog;
  std::vector<std::string> events;
  int pumps = 0;
  bool editing = false;
  std::vector<unsigned> commandsSeen;  // ids of the WM_COMMAND messages, before the message map

  TestGraph graph;
  CComboBox unitCombo;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  const ui::MessageMap* GetMessageMap() const override;
  bool OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  void OnOpenChild();
  void OnOpenLater();
  void OnStartTimers();
  void OnAsk();
  void OnPump();
  void OnStop();
  void OnLimitCount();
  void OnMode(unsigned id);
  void OnLevelChosen();
  void OnSpeedCommitted();
  void OnTabChanging(NMHDR* header, LRESULT* result);
  void OnTabChanged(NMHDR* header, LRESULT* result);
  void OnTimer(std::uintptr_t id);
  void OnShowWindow(bool shown, unsigned status);
  void OnCtlColor(CDC& dc, CWnd& control);
  void OnContextMenu(CWnd* window, CPoint point);
  void OnSave();
  void OnPlotCommand(unsigned id);
  void OnHScroll(unsigned code, unsigned position, CWnd* control);
  void OnVScroll(unsigned code, unsigned position, CWnd* control);
  LRESULT OnScaleChange(WPARAM wParam, LPARAM lParam);

  void ShowTab(int tab);
  void OpenChild();
  void SetStatus(const std::string& text) { SetDlgItemText(kStatus, text); }

  int depth_;
  bool pumping_ = false;
  bool rearmed_ = false;
};

}  // namespace ui_test
