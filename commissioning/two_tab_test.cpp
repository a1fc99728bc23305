#include "commissioning/two_tab_test.h"

#include <algorithm>

#include "commissioning/save_question.h"
#include "dialogs/setup_values.h"
#include "ui/data_exchange.h"

CTwoTabTest::CTwoTabTest(CMC_Setup* setup, unsigned templateId, const TabLayout& layout, CWnd* parent)
    : CMyTestDlg(setup, templateId, 1, parent), layout_(layout) {}

void CTwoTabTest::InsertTabs() {
  tabs_.InsertItem(0, "Test Parameters");
  tabs_.InsertItem(1, "Test");
  tabs_.SetCurSel(0);
}

void CTwoTabTest::ShowTab(int tab) {
  const bool test = tab == 1;
  for (const int id : layout_.parametersTab) ShowChild(id, !test);
  for (const int id : layout_.testTab) ShowChild(id, test);
  ShowOwnControls(test);
  if (!test) ShowChild(drivebase::kDetailsButton, false);
}

void CTwoTabTest::DoDataExchange(CDataExchange* pDX) {
  CMyTestDlg::DoDataExchange(pDX);
  DDX_Control(pDX, kTabs, tabs_);
  if (pDX->m_bSaveAndValidate) return;
  ShowRunState();
  if (tabs_.GetItemCount() > 0) ShowSelectedTab();
}

void CTwoTabTest::OnOK() {
  CMyTestDlg::OnOK();
  if (ModalEnded()) AcceptResults();
}

void CTwoTabTest::OnSelchangeTabs(NMHDR*, LRESULT*) {
  const int tab = tabs_.GetCurSel();
  if ((tab == 0 && IsRunning()) || !UpdateData(true)) {
    tabs_.SetCurSel(1 - tab);
    return;
  }
  const CMC_Setup* setup = GetSetup();
  using kestrel::dialogs::Value;
  if (tab == 1 && layout_.testCurrent != nullptr &&
      Value(setup, layout_.testCurrent) > Value(setup, "TestProtectionCurrent")) {
    MessageBox("Over current protection must be greater or equal to Test current.");
    tabs_.SetCurSel(0);
    return;
  }
  ShowTab(tab);
  if (tab != 1) return;
  if (Result() == 1) {
    TestSucceeded(0);
  } else if (!ErrorText().empty()) {
    TestFailed(0);
  }
}

void CTwoTabTest::SetSliderRange(const char* name, int slider, int edit, int fineSpin, int coarseSpin, int label) {
  const CMC_Parameter* parameter = GetSetup()->FindParameter(name);
  if (parameter == nullptr) return;
  const double value = parameter->GetValueInBaseUnit();
  const double low = std::max(parameter->GetMinInBaseUnit(), 0.5 * value);
  const double high = std::min(parameter->GetMaxInBaseUnit(), 1.5 * value);
  // The slider works in the display unit, a fixed multiple of the base unit.
  const double display = value != 0.0 ? parameter->GetValueInDisplayUnit() / value : 1.0;
  AddSliderParameterControls(name, slider, edit, label, fineSpin, coarseSpin, low * display, high * display);
}

bool CTwoTabTest::WriteGainToDrive(const kestrel::GainPair& pair) {
  for (const char* name : {pair.shift, pair.mantissa}) {
    const CMC_Parameter* parameter = GetSetup()->FindParameter(name);
    if (parameter == nullptr || !parameter->WriteToChip()) return false;
  }
  return true;
}

CMyTestDlg::TestResultLine CTwoTabTest::GainLine(const kestrel::GainPair& pair) const {
  const CMC_Setup* setup = GetSetup();
  using kestrel::dialogs::Value;
  return {pair.gain, kestrel::FormatG(Value(setup, pair.gain)) + " (" + pair.mantissa + " = " +
                         kestrel::FormatG(Value(setup, pair.mantissa)) + ", " + pair.shift + " = " +
                         kestrel::FormatG(Value(setup, pair.shift)) + ")"};
}

void CTwoTabTest::OnShowWindow(bool shown, unsigned) {
  if (shown) ShowTab(0);
}

const ui::MessageMap* CTwoTabTest::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTwoTabTest>(CMyTestDlg::GetMessageMap())
                                        .Notify(kTabs, TCN_SELCHANGE, &CTwoTabTest::OnSelchangeTabs)
                                        .ShowWindow(&CTwoTabTest::OnShowWindow)
                                        .Build();
  return &map;
}
