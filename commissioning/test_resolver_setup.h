// The resolver setup test (template 3064): after the preliminary initial positioning the drive
// tunes the resolver interface (the demodulation phase of its R/D converter) and finds the
// resolver's offset against the electrical angle, ZAOFF, which the test keeps in the setup. The
// dialog turns a diagram with the resolver's position while the program runs.
//
// Steps: 0/1 the preliminary program, 2/3 the resolver program, 4 following it while the axis is
// on (10 ms ticks), 5 after its end.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"
#include "drivebase/diagrams.h"

class CTestResolverSetup : public CMyTestDlg {
 public:
  CTestResolverSetup(CMC_Setup* setup, CWnd* parent);

  static constexpr unsigned kTemplateId = 3064;
  static constexpr unsigned kHelpContext = 262424;
  static constexpr int kPositionDiagram = 3482;
  static constexpr const char* kPreliminaryProgram = "IE_Initial_Positioning_Test";
  static constexpr const char* kResolverProgram = "RES_Setup_Resolver_Test";
  static constexpr double kAngleIncrement = 50.0;  // IncTheta: the field's turn per slow period
  static constexpr unsigned kFollowPeriodMs = 10;
  static constexpr std::array<const char*, 6> kTexts{
      "Compiling and launching code for initial positioning",
      "Waiting initial positioning test to be finished",
      "Compiling and launching code Resolver setup test",
      "Waiting Resolver setup test to be finished",
      "Processing test results",
      "Test finished",
  };

  void BeginTest() override;
  std::vector<TestResultLine> ResultLines() const override;

  const CEncoderDiagram& PositionDiagram() const { return diagram_; }

 protected:
  bool OnInitDialog() override;
  // A found offset is the setup's from then on: closing after a success keeps it (IDOK).
  void OnCancel() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  bool LaunchResolverProgram();
  void FollowProgram();
  void KeepOffset();
  // The diagram at the converter's count: one turn per MECRESL counts.
  void ShowPosition(double count);

  double countsPerTurn_;  // MECRESL
  CMC_CoffFormat preliminaryImage_, resolverImage_;
  PreliminaryReferences references_;
  CEncoderDiagram diagram_;
};
