// The user of `kestrel test` without a script: a careful engineer at the test dialog. They look
// through its tabs for the button they need, press "Tune" first when asked to, press Start, let
// the test run (time passes to the dialog's next timer while it runs; a run that goes on until
// stopped they stop after the time the test names), then close the test and answer its question
// whether to keep the values with the answer given on the command line.
// Asked to repeat, they press Start again after each run that passed, as often as asked.
// The pole pairs test needs more of them: PolePairsUser watches the simulated shaft.
#pragma once

#include <functional>
#include <optional>

#include "ui/clock.h"
#include "ui/user_agent.h"

class CMC_TestDlg;

namespace drivesim {
class Drive;
}

namespace kestrel::cli {

class CarefulUser : public ui::UserAgent {
 public:
  // `saveAnswer`: IDYES or IDNO, the answer to the question whether to keep the values.
  // `runs`: how many runs to start, each after the one before passed.
  CarefulUser(bool tune, int saveAnswer, int runs = 1) : tune_(tune), saveAnswer_(saveAnswer), runs_(runs) {}
  virtual ~CarefulUser() = default;

  // Called after each run that passed, before the next Start or the close.
  std::function<void(CMC_TestDlg&)> onRunPassed;
  // Called before each Start: what the user sets in the test before a run.
  std::function<void(ui::EventLoop&, CMC_TestDlg&)> beforeStart;

  bool ActWhenIdle(ui::EventLoop& loop) override;
  // While a handler pumps, an upload runs on by itself; a live run that goes on until stopped
  // sees time pass, a millisecond a pump, and is stopped when its time is up.
  bool ActWhenBusy(ui::EventLoop& loop) override;
  std::optional<int> AnswerMessageBox(const ui::MessageBoxRecord& box) override;

  // The longest a run may take in virtual time before the user gives up on it.
  static constexpr ui::Milliseconds kRunLimit{600'000};

  // Makes the control visible as a user would, choosing each tab of the dialog's tab controls in
  // turn until it shows; false when no tab shows it.
  static bool Reveal(CMC_TestDlg& test, int id);

 protected:
  // How many runs were started so far.
  int RunsStarted() const { return runsStarted_; }
  // What the user does while a run waits for them, beside letting time pass: true when they acted.
  virtual bool ActDuringRun(ui::EventLoop&, CMC_TestDlg&) { return false; }

 private:
  enum class Stage { tune, start, running, closed };

  // Reveals and clicks the button; an error naming it (and what a refusing tab said) when it cannot.
  static void Press(ui::EventLoop& loop, CMC_TestDlg& test, int id, const char* what);

  // Start pressed, and the time by which the run must have ended.
  void StartRun(ui::EventLoop& loop, CMC_TestDlg& test);
  // A run that goes on until stopped: Stop, once its time has come.
  bool StopWhenDue(ui::EventLoop& loop, CMC_TestDlg& test);

  bool tune_;
  int saveAnswer_;
  int runs_;
  int runsStarted_ = 0;
  Stage stage_ = Stage::tune;
  ui::Milliseconds runDeadline_{0};
  std::optional<ui::Milliseconds> stopAt_;  // a run that goes on until stopped is stopped then
};

// The user at the simulated drive, who puts a hand on the motor in a run that asks for it (the
// encoder and Hall connection tests), or turns the potentiometer on the analogue reference input
// (the analogue reference test): once in each run, as soon as it goes.
class HandUser final : public CarefulUser {
 public:
  HandUser(drivesim::Drive& drive, bool tune, int saveAnswer, int runs)
      : CarefulUser(tune, saveAnswer, runs), drive_(drive) {}

 protected:
  bool ActDuringRun(ui::EventLoop& loop, CMC_TestDlg& test) override;

 private:
  drivesim::Drive& drive_;
  int movedInRun_ = 0;
};

// The user of the pole pairs test on the simulated drive: marks the shaft when Move first shows,
// presses Move whenever it is enabled until the shaft, at rest, is back at its mark (a whole
// number of revolutions turned, within 2°), then Stop.
class PolePairsUser final : public CarefulUser {
 public:
  PolePairsUser(drivesim::Drive& drive, int saveAnswer) : CarefulUser(false, saveAnswer), drive_(drive) {}

  // More moves than any motor has pole pairs: the shaft does not follow the field.
  static constexpr int kMostMoves = 256;
  static constexpr double kMarkTolerance_deg = 2.0;
  // How long after a move the user waits for the shaft to rest before looking at the mark.
  static constexpr ui::Milliseconds kSettling{500};

 protected:
  bool ActDuringRun(ui::EventLoop& loop, CMC_TestDlg& test) override;

 private:
  bool ShaftBackAtMark() const;

  drivesim::Drive& drive_;
  bool marked_ = false;
  int moves_ = 0;
  ui::Milliseconds lookAt_{0};
};

}  // namespace kestrel::cli
