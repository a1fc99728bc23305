// What the road's user sees and keeps of each step: the test's progress texts as they change, each
// passed run's measured values, the outcome and results when the test closes, its plots, and once
// the step is over what it changed in the setup, the gains it tuned and, in words, what it found
// and corrected. It observes the dialogs (the test's close) and is told by the road's user what it
// does (a step begun, a run passed, a question answered, a failure of its own seen).
#pragma once

#include <optional>
#include <string>

#include "commission/road_record.h"
#include "commission/road_runner.h"
#include "setup_changes.h"
#include "ui/event_loop.h"

namespace kestrel::cli {

// "%g" of the value and its base unit, for what a step noted ("0.9 Ohm", "4").
std::string ValueWithUnit(const CMC_Parameter& parameter, double value);

class RoadRecorder final : public ui::DialogObserver {
 public:
  // `previous` (may be null) is told of every dialog too; `reportDirectory` empty: no plots saved.
  RoadRecorder(CMC_Setup& setup, RoadRecord& record, RoadProgress& progress, std::string reportDirectory,
               ui::DialogObserver* previous);

  void DialogOpened(CDialog& dialog) override;
  void DialogClosed(CDialog& dialog, int endCode) override;

  // Whether the host asks the road to end before its next step (RoadProgress::StopRequested).
  bool StopRequested() { return progress_.StopRequested(); }
  // A step begins: the setup's values before it, its plot directory, the progress told.
  void BeginStep(const RoadStep& step, int number, int count);
  bool InStep() const { return step_ != nullptr; }
  // The test that the step runs (the one whose close decides the step).
  void Watch(CMC_TestDlg& test) { watched_ = &test; }
  // The watched test's progress text, when it shows a new one.
  void LookAt(const CMC_TestDlg& test);
  void RunPassed(const CMC_TestDlg& test);
  // The watched test passed, closed with OK and nothing else failed in the step.
  bool TestKept() const { return endCode_ == IDOK && testPassed_ && failure_.empty(); }
  // The question whether to keep the values was answered.
  void QuestionAnswered() { questionAnswered_ = true; }
  // The step fails with this text unless its test failed with its own; the first one counts.
  void Fail(const std::string& text);
  void Note(std::string note) { current_.notes.push_back(std::move(note)); }
  // The step is over (its test closed, back at the setup dialog): its record completed, kept in
  // the road's record and told. Whether it passed.
  bool EndStep();

 private:
  void TestClosed(CMC_TestDlg& test, int endCode);
  void SavePlots(CMC_TestDlg& test);
  void NoteWhatChanged();
  void RecordGains();

  CMC_Setup& setup_;
  RoadRecord& record_;
  RoadProgress& progress_;
  std::string reportDirectory_;
  ui::DialogObserver* previous_;

  const RoadStep* step_ = nullptr;
  StepRecord current_;
  SetupValues before_;
  CMC_TestDlg* watched_ = nullptr;
  std::optional<int> endCode_;  // the watched test's, once it closed
  bool testPassed_ = false;
  bool questionAnswered_ = false;
  std::string failure_;
};

}  // namespace kestrel::cli
