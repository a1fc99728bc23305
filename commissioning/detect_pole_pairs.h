// CDetectPolePairs: the "Motor Pole Pairs Detection Test" (template 289). The drive holds the
// motor aligned; each Move turns the stator field one electrical revolution, which turns the
// shaft 1/pp of a revolution, and the drive counts the moves. The user marks the shaft, presses
// Move until the mark is back where it was, then Stop: the count becomes the setup's pp.
//
// Steps: 0/1 the preliminary program, 2/3 the pole pairs program, 4 waiting for it to start,
// then for the user (no timer; Move), 5 after Stop: waiting for the program to end.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"

class CDetectPolePairs : public CMyTestDlg {
 public:
  CDetectPolePairs(CMC_Setup* setup, CWnd* parent);
  ~CDetectPolePairs() override;

  static constexpr unsigned kTemplateId = 289;
  static constexpr unsigned kHelpContext = 262410;
  static constexpr int kMoveButton = 1021;
  static constexpr int kCountEdit = 3126;
  static constexpr std::array<const char*, 5> kTexts{
      "Launching the application for preliminary test",
      "Waiting preliminary test to be finished",
      "Launching the application for test",
      "Waiting for user input",
      "Running test",
  };
  // THTST at the aligned rest position, where every move starts and ends.
  static constexpr double kRestAngle = -16383.0;
  // The longest one move (one electrical revolution) may take.
  static constexpr long long kMoveLimit_ms = 3000;
  static constexpr unsigned kStopPoll_ms = 1;

  std::vector<TestResultLine> ResultLines() const override;
  void BeginTest() override;
  void OnBtnStartStop() override;

  // Move is shown and may be pressed (the program waits for the user).
  bool MoveOffered() const { return IsRunning() && moveVisible_ && moveEnabled_; }
  // A move has been done in this run.
  bool Moved() const { return moved_; }
  int OpeningPolePairs() const { return openingPolePairs_; }
  const std::string& PreliminaryProgram() const { return preliminaryProgram_; }
  const std::string& PolePairsProgram() const { return mainProgram_; }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchPolePairsProgram();
  void WaitForUser();
  void FinishPolePairsProgram();
  void OnMove();
  // Move shown while the program waits for the user, enabled unless a move is underway.
  void ShowMoveButton();
  // Waits, pumping messages, until THTST has left the rest angle and come back to it; false when
  // the run ended meanwhile (stopped, a failed read, the drive stopped, the time limit).
  bool WaitForMoveEnd();
  bool ProgramStillRuns();
  int PolePairs() const;

  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_, mainImage_;
  PreliminaryReferences references_;
  // The setup's pp at opening rounded to the nearest integer: the question's old value. No to the
  // question leaves the exact opening value, as every setup dialog that does not end with OK.
  int openingPolePairs_ = 0;
  int testCurrent_ = 0;       // internal units, taken at Start
  bool moved_ = false;
  bool moveUnderway_ = false;
  bool moveVisible_ = false;
  bool moveEnabled_ = true;
};
