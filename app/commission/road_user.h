// The user who walks the commissioning road through the setup dialogs: at Motor Setup and Drive
// Setup they press the button of the next step (or OK when the next step belongs to the other
// dialog, or when the road is over), at a test they act as the careful user of `kestrel test`
// does (test_runner_agent.h), with a hand on the simulated motor where the test asks for it, and
// they answer Yes to keep what a passed test found. They read what a test says: a resolution test
// that finds the encoder counting the other way round gets its "Reverse encoder counting" box
// changed and runs again; an inertia or mass test whose TestMaxSpeed the supply cannot reach gets
// a reachable one typed. What happens is told to the RoadRecorder.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "commission/road_recorder.h"
#include "test_runner_agent.h"
#include "ui/user_agent.h"

class CDialog;

namespace kestrel::cli {

class RoadUser final : public ui::UserAgent {
 public:
  // `simulated`: the simulated drive the user's hand acts on; null when the drive is real.
  RoadUser(std::vector<const RoadStep*> steps, CMC_Setup& setup, drivesim::Drive* simulated, RoadRecorder& recorder);

  bool ActWhenIdle(ui::EventLoop& loop) override;
  bool ActWhenBusy(ui::EventLoop& loop) override;
  std::optional<int> AnswerMessageBox(const ui::MessageBoxRecord& box) override;

  // Every step passed and Drive Setup was confirmed with OK.
  bool Completed() const { return !stopped_ && next_ == steps_.size() && confirmed_; }

  // How long a dialog may take to close after the user closed it before the road gives up.
  static constexpr ui::Milliseconds kCloseLimit{60'000};
  // The identification steps run their test this many times (the record shows the spread).
  static constexpr int kIdentificationRuns = 3;

 private:
  bool ActOnSetupDialog(ui::EventLoop& loop, CDialog& dialog, RoadDialog which);
  bool RunStep(ui::EventLoop& loop, CDialog& dialog, const RoadStep& step);
  void LetGoOfTheShaft(ui::EventLoop& loop);
  bool ActOnTest(ui::EventLoop& loop, CMC_TestDlg& test);
  // The speed test that the inertia and mass steps open their test from ("Identify").
  bool ActOnIdentificationOpener(ui::EventLoop& loop, CMC_TestDlg& speedTest);
  std::unique_ptr<CarefulUser> MakeTestUser();
  // The resolution test failed because the encoder counts the other way round: the user changes
  // the "Reverse encoder counting" box and runs it again. Whether they did.
  bool CorrectCountingDirection(CMC_TestDlg& test);
  // Before an inertia or mass run: a TestMaxSpeed the supply can reach, typed in its base unit.
  void TypeReachableTestSpeed(CMC_TestDlg& test);
  // Closes the dialog with OK, or IDCANCEL as Escape does (a running test stops first); while it
  // is still open, lets time pass, and gives up (std::runtime_error) after kCloseLimit.
  bool Close(ui::EventLoop& loop, CDialog& dialog, int endCode);
  // The user at the test failed with `error`: the step fails, the test is closed.
  bool GiveUp(ui::EventLoop& loop, CMC_TestDlg& test, const std::string& error);

  std::vector<const RoadStep*> steps_;
  CMC_Setup& setup_;
  drivesim::Drive* simulated_;
  RoadRecorder& recorder_;

  std::size_t next_ = 0;  // the next step to run
  bool stopped_ = false;  // a step failed: no further steps
  bool motorSetupSeen_ = false;
  bool confirmed_ = false;  // OK pressed on Drive Setup

  // The step in progress and the user at its test.
  const RoadStep* step_ = nullptr;
  std::unique_ptr<CarefulUser> testUser_;
  const CMC_TestDlg* userTest_ = nullptr;
  bool identifyPressed_ = false;
  bool directionCorrected_ = false;
  bool abandoned_ = false;
  const CDialog* closing_ = nullptr;  // the dialog the user closes
  ui::Milliseconds closeDeadline_{0};
};

}  // namespace kestrel::cli
