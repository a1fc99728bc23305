// CTwoTabTest: a commissioning test laid out on two tabs, "Test Parameters" and "Test". The test
// tab is refused while the test current exceeds the over-current protection (for a test that
// names one), and whenever the dialog's values do not validate; the parameters tab
// while a run goes on; opening the test tab shows again how the last run ended. Each tab shows
// its own controls; a test adds its own rules to the showing (ShowOwnControls).
#pragma once

#include <span>

#include "commissioning/my_test_dlg.h"
#include "compute/gain_pairs.h"
#include "ui/controls.h"

class CTwoTabTest : public CMyTestDlg {
 public:
  static constexpr int kTabs = 1300;

 protected:
  struct TabLayout {
    std::span<const int> parametersTab;  // controls shown on the parameters tab only
    std::span<const int> testTab;        // controls shown on the test tab only
    const char* testCurrent;             // the current that TestProtectionCurrent must not be below; null: none
  };

  CTwoTabTest(CMC_Setup* setup, unsigned templateId, const TabLayout& layout, CWnd* parent);

  // The two tabs, the parameters tab selected; at OnInitDialog.
  void InsertTabs();
  // Shows the controls of the tab (1: the test tab).
  void ShowTab(int tab);
  void ShowSelectedTab() { ShowTab(tabs_.GetCurSel()); }
  // The test's own rules after the tab's controls are shown (test: whether the test tab is).
  virtual void ShowOwnControls(bool test) = 0;
  // Enables what a run locks.
  virtual void ShowRunState() = 0;
  // A gain on a slider that spans half to one and a half times its value at opening, within the
  // parameter's limits, with its edit, spins and label (0: none).
  void SetSliderRange(const char* name, int slider, int edit, int fineSpin, int coarseSpin, int label);
  // A gain's register pair written to the drive while a run goes on: the shift first, then the
  // mantissa, each only when the write before it succeeded.
  bool WriteGainToDrive(const kestrel::GainPair& pair);
  // The result line of a gain: its value with the register pair that holds it.
  TestResultLine GainLine(const kestrel::GainPair& pair) const;

  void DoDataExchange(CDataExchange* pDX) override;
  // OK keeps what the test set: AcceptResults once the dialog has ended.
  void OnOK() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnSelchangeTabs(NMHDR* header, LRESULT* result);
  void OnShowWindow(bool shown, unsigned status);

  TabLayout layout_;
  CTabCtrl tabs_;
};
