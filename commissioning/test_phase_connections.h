// CTestPhaseConnections: the "Motor Phase Connection Test" (template 288). The drive aligns the
// motor with a test current along phase A and measures the currents of phases A and B; in a
// healthy star motor phase A carries the test current and phase B minus half of it. Two bar
// graphs show both currents against the test current.
//
// Steps: 0/1 the preliminary program, 2/3 the phase connection program, 4 its outcome.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"
#include "drivebase/bar_graph.h"

namespace kestrel {

// Whether the measured phase currents (A) show the motor wired right for a test current itest_A:
// IB negative and not 0, |IA / IB| strictly between 1.5 and 2.5, IA strictly between 0.6 and
// 1.4 times the test current.
bool PhaseCurrentsAreRight(double ia_A, double ib_A, double itest_A);

}  // namespace kestrel

class CTestPhaseConnections : public CMyTestDlg {
 public:
  CTestPhaseConnections(CMC_Setup* setup, CWnd* parent);
  ~CTestPhaseConnections() override;

  static constexpr unsigned kTemplateId = 288;
  static constexpr unsigned kHelpContext = 262411;
  static constexpr int kCurrentAEdit = 1020;
  static constexpr int kCurrentABar = 1021;
  static constexpr int kCurrentBEdit = 1022;
  static constexpr int kCurrentBBar = 1023;
  static constexpr std::array<const char*, 4> kTexts{
      "Launching the application for preliminary test",
      "Waiting preliminary test to be finished",
      "Launching the application for test",
      "Running test",
  };
  static constexpr const char* kFailureText =
      "Possible causes of failure:\n\t- one of the motor phases is disconnected\n\t- the motor phases are unbalanced "
      "(they do not have the same resistance)\n\t- the test current isn't high enough.\nPlease check the motor phase "
      "connections to the drive and repeat the test. If the test fails and the connections are OK, increase the test "
      "current value.";

  std::vector<TestResultLine> ResultLines() const override;
  void BeginTest() override;

  const CBarGraph& CurrentABar() const { return barA_; }
  const CBarGraph& CurrentBBar() const { return barB_; }
  const std::string& PreliminaryProgram() const { return preliminaryProgram_; }
  const std::string& PhaseProgram() const { return mainProgram_; }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  double TestCurrent_A() const;
  void ShowBars(double ia_A, double ib_A);
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchPhaseProgram();
  void FinishPhaseProgram();

  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_, mainImage_;
  PreliminaryReferences references_;
  int testCurrent_ = 0;  // internal units, taken at Start
  double ia_A_ = 0.0, ib_A_ = 0.0;
  CBarGraph barA_, barB_;
};
