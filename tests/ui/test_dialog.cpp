#include "test_dialog.h"

#include "ui/event_loop.h"
#include "ui/keyboard.h"

namespace ui_test {
namespace {

// Timers of the test dialog.
enum : std::uintptr_t {
  kEvery30 = 1,
  kKiller = 2,   // fires once at 50 ms and kills kVictim, due at the same time
  kVictim = 3,   // never fires
  kRearmed = 4,  // first after 20 ms, then every 45 ms
  kLater = 6,    // opens a child dialog 100 ms after "Open later"
};

bool Held(int key) { return GetKeyState(key) < 0; }

}  // namespace

std::filesystem::path TestData() { return KESTREL_UI_TEST_DATA; }

void TestGraph::ChangeScale(unsigned channel, unsigned scale) {
  GetParent()->SendMessage(kScaleMessage, static_cast<WPARAM>(GetDlgCtrlID()), MAKELPARAM(channel, scale));
}

const ui::MessageMap* TestGraph::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<TestGraph>(CWnd::GetMessageMap())
                                        .ContextMenu(&TestGraph::OnContextMenu)
                                        .Build();
  return &map;
}

// The graph's menu (kGraphMenu, when registered): "Load" is offered only after a save.
void TestGraph::OnContextMenu(CWnd*, CPoint) {
  ++contextMenus;
  CMenu menu;
  if (!menu.LoadMenu(kGraphMenu)) return;
  CMenu* popup = menu.GetSubMenu(0);
  popup->EnableMenuItem(10065, saved ? MF_ENABLED : MF_GRAYED);
  popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, 0, 0, GetParent());
}

TestDialog::TestDialog(int depth, CWnd* parent) : CDialog(kTemplateId, parent), depth_(depth) {}

bool TestDialog::OnInitDialog() {
  if (depth_ > 1) SetWindowText("Framework Test " + std::to_string(depth_));
  auto* units = static_cast<CComboBox*>(GetDlgItem(kUnit));
  units->AddString("mm");
  units->AddString("m");
  auto* levels = static_cast<CComboBox*>(GetDlgItem(kLevel));
  for (const auto& [text, data] : {std::pair{"Low", 10}, std::pair{"Medium", 20}, std::pair{"High", 30}}) {
    levels->SetItemData(levels->AddString(text), static_cast<std::uintptr_t>(data));
  }
  auto* tabs = static_cast<CTabCtrl*>(GetDlgItem(kTabs));
  tabs->InsertItem(0, "Levels");
  tabs->InsertItem(1, "Test");
  tabs->SetCurSel(0);
  static_cast<CSliderCtrl*>(GetDlgItem(kSlider))->SetRange(0, 200);
  static_cast<CSpinButtonCtrl*>(GetDlgItem(kSpin))->SetRange(0, 10);
  static_cast<CEdit*>(GetDlgItem(kCount))->LimitText(4);
  graph.SubclassDlgItem(kGraph, this);
  ShowTab(0);
  return CDialog::OnInitDialog();
}

bool TestDialog::PreTranslateMessage(MSG* message) {
  if (message->message == WM_KEYDOWN && message->wParam == 'E' && Held(VK_CONTROL) && Held(VK_MENU) &&
      Held(VK_SHIFT)) {
    editing = !editing;
    GetDlgItem(kCount)->EnableWindow(editing);
    events.push_back(editing ? "editing on" : "editing off");
  }
  return CDialog::PreTranslateMessage(message);
}

void TestDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, kUnit, unitCombo);
  DDX_Text(pDX, kName, name);
  DDX_Text(pDX, kSpeed, speed);
  DDX_CBString(pDX, kUnit, unit);
  DDX_Text(pDX, kCount, count);
  DDX_Check(pDX, kLimitCount, limitCount);
  DDX_Radio(pDX, kPosition, mode);
  DDX_CBIndex(pDX, kLevel, level);
}

const ui::MessageMap* TestDialog::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<TestDialog>(CDialog::GetMessageMap())
          .Command(kOpenChild, &TestDialog::OnOpenChild)
          .Command(kOpenLater, &TestDialog::OnOpenLater)
          .Command(kStartTimers, &TestDialog::OnStartTimers)
          .Command(kAsk, &TestDialog::OnAsk)
          .Command(kPump, &TestDialog::OnPump)
          .Command(kStop, &TestDialog::OnStop)
          .Command(kLimitCount, &TestDialog::OnLimitCount)
          .CommandRange(kPosition, kTorque, &TestDialog::OnMode)
          .ControlNotification(kLevel, CBN_SELCHANGE, &TestDialog::OnLevelChosen)
          .ControlNotification(kSpeed, EN_KILLFOCUS, &TestDialog::OnSpeedCommitted)
          .Notify(kTabs, TCN_SELCHANGING, &TestDialog::OnTabChanging)
          .Notify(kTabs, TCN_SELCHANGE, &TestDialog::OnTabChanged)
          .Timer(&TestDialog::OnTimer)
          .ShowWindow(&TestDialog::OnShowWindow)
          .CtlColor(&TestDialog::OnCtlColor)
          .ContextMenu(&TestDialog::OnContextMenu)
          .Command(kSaveCommand, &TestDialog::OnSave)
          .CommandRange(10062, 10066, &TestDialog::OnPlotCommand)
          .HScroll(&TestDialog::OnHScroll)
          .VScroll(&TestDialog::OnVScroll)
          .Message(kScaleMessage, &TestDialog::OnScaleChange)
          .Build();
  return &map;
}

bool TestDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  commandsSeen.push_back(LOWORD(wParam));
  return CDialog::OnCommand(wParam, lParam);
}

void TestDialog::OnOpenChild() { OpenChild(); }

void TestDialog::OnOpenLater() { SetTimer(kLater, 100); }

void TestDialog::OnStartTimers() {
  SetTimer(kEvery30, 30);
  SetTimer(kKiller, 50);
  SetTimer(kVictim, 50);
  SetTimer(kRearmed, 20);
}

void TestDialog::OnAsk() {
  const int answer = MessageBox("Save the changes?", "Framework Test", MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDYES) AfxMessageBox("Saved.", MB_ICONINFORMATION);
  SetStatus("Answered " + std::string(ui::AnswerName(answer)));
}

void TestDialog::OnPump() {
  pumping_ = true;
  GetDlgItem(kStop)->EnableWindow(true);
  GetDlgItem(kPump)->EnableWindow(false);
  BeginWaitCursor();
  while (pumping_) {
    ++pumps;
    SetStatus("Pumped " + std::to_string(pumps));
    static_cast<CProgressCtrl*>(GetDlgItem(kProgress))->SetPos(pumps);
    ui::DispatchPendingMessages();
  }
  EndWaitCursor();
  GetDlgItem(kStop)->EnableWindow(false);
  GetDlgItem(kPump)->EnableWindow(true);
  SetStatus("Stopped after " + std::to_string(pumps));
}

void TestDialog::OnStop() { pumping_ = false; }

void TestDialog::OnLimitCount() {
  if (UpdateData(true)) GetDlgItem(kCount)->EnableWindow(limitCount == BST_CHECKED);
}

void TestDialog::OnMode(unsigned id) {
  if (UpdateData(true)) SetStatus("Mode " + std::to_string(mode) + " from " + std::to_string(id));
}

void TestDialog::OnLevelChosen() {
  const auto* levels = static_cast<CComboBox*>(GetDlgItem(kLevel));
  const int chosen = levels->GetCurSel();
  SetStatus("Level " + levels->GetLBText(chosen) + " " + std::to_string(levels->GetItemData(chosen)));
}

void TestDialog::OnSpeedCommitted() {
  if (UpdateData(true)) events.push_back("speed committed");
}

void TestDialog::OnTabChanging(NMHDR*, LRESULT* result) {
  const bool named = !GetDlgItemText(kName).empty();
  if (!named) SetStatus("Enter a name first");
  *result = named ? 0 : 1;
}

void TestDialog::OnTabChanged(NMHDR*, LRESULT*) { ShowTab(static_cast<CTabCtrl*>(GetDlgItem(kTabs))->GetCurSel()); }

void TestDialog::OnTimer(std::uintptr_t id) {
  const long long now = ui::CurrentEventLoop().Clock().Now().count();
  timerLog.emplace_back(now, id);
  SetStatus("Timer " + std::to_string(id) + " at " + std::to_string(now));
  if (id == kKiller) {
    KillTimer(kKiller);
    KillTimer(kVictim);
  } else if (id == kRearmed && !rearmed_) {
    rearmed_ = true;
    SetTimer(kRearmed, 45);
  } else if (id == kLater) {
    KillTimer(kLater);
    OpenChild();
  }
}

void TestDialog::OnShowWindow(bool shown, unsigned) { events.push_back(shown ? "shown" : "hidden"); }

void TestDialog::OnCtlColor(CDC& dc, CWnd& control) {
  if (control.GetDlgCtrlID() == kStatus && GetDlgItemText(kStatus).starts_with("Stopped")) {
    dc.SetTextColor(RGB(200, 0, 0));
  }
}

void TestDialog::OnContextMenu(CWnd* window, CPoint) {
  events.push_back("context " + std::to_string(window->GetDlgCtrlID()));
}

void TestDialog::OnSave() {
  events.push_back("save");
  graph.saved = true;
}

void TestDialog::OnPlotCommand(unsigned id) { events.push_back("plot command " + std::to_string(id)); }

void TestDialog::OnHScroll(unsigned, unsigned position, CWnd*) { SetStatus("Slider " + std::to_string(position)); }

void TestDialog::OnVScroll(unsigned, unsigned position, CWnd*) { SetStatus("Spin " + std::to_string(position)); }

LRESULT TestDialog::OnScaleChange(WPARAM wParam, LPARAM lParam) {
  const auto packed = static_cast<std::uintptr_t>(lParam);
  events.push_back("scale " + std::to_string(wParam) + " channel " + std::to_string(LOWORD(packed)) + " scale " +
                   std::to_string(HIWORD(packed)));
  return 1;
}

void TestDialog::ShowTab(int tab) {
  GetDlgItem(kLevel)->ShowWindow(tab == 0 ? SW_SHOW : SW_HIDE);
  for (const int id : {kSlider, kSpin, kProgress}) GetDlgItem(id)->ShowWindow(tab == 1 ? SW_SHOW : SW_HIDE);
}

void TestDialog::OpenChild() {
  TestDialog child(depth_ + 1, this);
  const int result = child.DoModal();
  const std::string what = "Child " + std::to_string(depth_ + 1) + " returned " + std::to_string(result);
  events.push_back(what);
  SetStatus(what);
}

}  // namespace ui_test
