#include "test_runner_agent.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "commissioning/detect_pole_pairs.h"
#include "drivebase/test_dlg.h"
#include "drivesim/drive.h"
#include "ui/dialog_driver.h"
#include "ui/event_loop.h"
#include "ui/window.h"

namespace kestrel::cli {

bool CarefulUser::Reveal(CMC_TestDlg& test, int id) {
  ui::DialogDriver driver(test);
  if (driver.IsVisible(id)) return true;
  const ui::Window* dialog = test.GetSafeHwnd();
  if (dialog == nullptr) return false;
  for (const auto& control : dialog->children) {
    if (control->kind != ui::ControlKind::Tab || !control->visible || !control->enabled) continue;
    for (std::size_t tab = 0; tab < control->items.size(); ++tab) {
      driver.SelectTab(control->id, static_cast<int>(tab));
      if (driver.IsVisible(id)) return true;
    }
  }
  return false;
}

void CarefulUser::Press(ui::EventLoop& loop, CMC_TestDlg& test, int id, const char* what) {
  const std::size_t boxesBefore = loop.MessageBoxes().Shown().size();
  if (Reveal(test, id)) return ui::DialogDriver(test).Click(id);
  std::string error = "the test \"" + test.GetWindowText() + "\" shows no \"" + what + "\" button (" +
                      std::to_string(id) + ") on any of its tabs";
  // A tab that refused to open said why in a message box.
  if (loop.MessageBoxes().Shown().size() > boxesBefore) error += ": " + loop.MessageBoxes().Shown().back().text;
  throw std::runtime_error(error);
}

bool CarefulUser::ActWhenIdle(ui::EventLoop& loop) {
  auto* test = dynamic_cast<CMC_TestDlg*>(loop.TopDialog());
  if (test == nullptr) return false;
  switch (stage_) {
    case Stage::tune:
      stage_ = Stage::start;
      if (tune_ && test->TuneButtonId() != 0) {
        Press(loop, *test, test->TuneButtonId(), "Tune");
        return true;
      }
      [[fallthrough]];
    case Stage::start:
      StartRun(loop, *test);
      return true;
    case Stage::running:
      if (test->IsRunning()) {
        if (ActDuringRun(loop, *test)) return true;
        if (StopWhenDue(loop, *test)) return true;
        std::optional<ui::Milliseconds> due = loop.NextTimerDue();
        if (stopAt_ && (!due || *due > *stopAt_)) due = stopAt_;
        if (!due) return false;
        if (*due > runDeadline_) {
          throw std::runtime_error("the test \"" + test->GetWindowText() + "\" still ran after " +
                                   std::to_string(kRunLimit.count() / 1000) + " s");
        }
        loop.AdvanceTo(*due);
        return true;
      }
      if (test->Result() == 1) {
        if (onRunPassed) onRunPassed(*test);
        if (runsStarted_ < runs_) {
          StartRun(loop, *test);
          return true;
        }
      }
      stage_ = Stage::closed;
      ui::DialogDriver(*test).Click(IDCANCEL);
      return true;
    case Stage::closed: break;
  }
  return false;
}

void CarefulUser::StartRun(ui::EventLoop& loop, CMC_TestDlg& test) {
  if (beforeStart) beforeStart(loop, test);
  Press(loop, test, drivebase::kStartStopButton, "Start");
  ++runsStarted_;
  stage_ = Stage::running;
  runDeadline_ = loop.Clock().Now() + kRunLimit;
  stopAt_.reset();
  if (const double run_s = test.UnattendedRun_s(); run_s > 0.0) {
    stopAt_ = loop.Clock().Now() + ui::Milliseconds(static_cast<long long>(run_s * 1000.0));
  }
}

bool CarefulUser::StopWhenDue(ui::EventLoop& loop, CMC_TestDlg& test) {
  if (!stopAt_ || loop.Clock().Now() < *stopAt_) return false;
  stopAt_.reset();
  Press(loop, test, drivebase::kStartStopButton, "Stop");
  return true;
}

bool CarefulUser::ActWhenBusy(ui::EventLoop& loop) {
  auto* test = dynamic_cast<CMC_TestDlg*>(loop.TopDialog());
  if (test == nullptr || stage_ != Stage::running || !stopAt_ || !test->IsRunning()) return false;
  if (StopWhenDue(loop, *test)) return true;
  loop.AdvanceBy(ui::Milliseconds(1));
  return true;
}

std::optional<int> CarefulUser::AnswerMessageBox(const ui::MessageBoxRecord& box) {
  const unsigned buttons = box.style & MB_TYPEMASK;
  const bool question = buttons == MB_YESNOCANCEL || buttons == MB_YESNO;
  if (stage_ != Stage::closed || !question) return std::nullopt;
  return saveAnswer_;
}

bool HandUser::ActDuringRun(ui::EventLoop& loop, CMC_TestDlg& test) {
  const std::optional<CMC_TestDlg::HandMove> move = test.UnattendedHandMove();
  const std::optional<CMC_TestDlg::PotentiometerTurn> turn = test.UnattendedPotentiometer();
  if ((!move && !turn) || movedInRun_ == RunsStarted()) return false;
  movedInRun_ = RunsStarted();
  drive_.RunUntil(static_cast<double>(loop.Clock().Now().count()) / 1000.0);
  if (move) drive_.HandTurn(move->travel, move->duration_s);
  if (turn) {
    const drivesim::Status turned = drive_.RampAnalogInput_V(turn->from_V, turn->to_V, turn->duration_s);
    if (!turned.ok()) throw std::runtime_error("the potentiometer cannot be turned: " + turned.error);
  }
  return true;
}

bool PolePairsUser::ActDuringRun(ui::EventLoop& loop, CMC_TestDlg& test) {
  ui::DialogDriver dialog(test);
  constexpr int move = CDetectPolePairs::kMoveButton;
  if (!dialog.IsVisible(move) || !dialog.IsEnabled(move)) return false;
  // The shaft swings a moment after the field has stopped: the user looks once it rests.
  if (loop.Clock().Now() < lookAt_) {
    loop.AdvanceTo(lookAt_);
    return true;
  }
  drive_.RunUntil(static_cast<double>(loop.Clock().Now().count()) / 1000.0);
  if (!marked_) {
    drive_.MarkShaft();
    marked_ = true;
  }
  if (moves_ > 0 && ShaftBackAtMark()) {
    dialog.Click(drivebase::kStartStopButton);
    return true;
  }
  if (moves_ == kMostMoves) {
    throw std::runtime_error("the shaft was not back at its mark after " + std::to_string(kMostMoves) +
                             " moves: it does not follow the field");
  }
  ++moves_;
  dialog.Click(move);
  lookAt_ = loop.Clock().Now() + kSettling;
  return true;
}

bool PolePairsUser::ShaftBackAtMark() const {
  constexpr double kTurn = 2.0 * std::numbers::pi;
  const double turned = drive_.ShaftTurnedSinceMark();
  const double revolutions = std::round(turned / kTurn);
  return revolutions != 0.0 && std::fabs(turned - revolutions * kTurn) <= kMarkTolerance_deg / 360.0 * kTurn;
}

}  // namespace kestrel::cli
