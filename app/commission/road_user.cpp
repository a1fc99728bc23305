#include "commission/road_user.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "commissioning/detect_encoder_resolution.h"
#include "commissioning/inertia_question.h"
#include "commissioning/test_speed_tuning.h"
#include "commissioning/total_inertia_test.h"
#include "compute/setup_access.h"
#include "dialogs/drive_setup_dlg.h"
#include "dialogs/motor_setup_dialog.h"
#include "dialogs/setup_values.h"
#include "drivebase/test_dlg.h"
#include "drivesim/drive.h"
#include "ui/dialog.h"
#include "ui/dialog_driver.h"
#include "ui/event_loop.h"

namespace kestrel::cli {
namespace {

// The speed tuning test's "Identify" button, on one of its tabs: it opens the total inertia or
// mass test.
constexpr int kIdentifyButton = 3271;
// Drive Setup's "Motor setup" button.
constexpr int kMotorSetupButton = 10019;

bool IsQuestion(unsigned style) {
  const unsigned buttons = style & MB_TYPEMASK;
  return buttons == MB_YESNO || buttons == MB_YESNOCANCEL;
}

// What the user answers to a box they did not expect: the choice that changes nothing.
int CautiousAnswer(unsigned style) {
  for (const int answer : {IDNO, IDCANCEL, IDABORT}) {
    if (ui::OffersAnswer(style, answer)) return answer;
  }
  return IDOK;
}

bool IsIdentification(const RoadStep& step) {
  return step.name == "rl" || step.name == "inertia" || step.name == "mass";
}

bool OpensFromSpeedTest(const RoadStep& step) { return step.name == "inertia" || step.name == "mass"; }

std::string ThreeDigits(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

}  // namespace

RoadUser::RoadUser(std::vector<const RoadStep*> steps, CMC_Setup& setup, drivesim::Drive* simulated,
                   RoadRecorder& recorder)
    : steps_(std::move(steps)), setup_(setup), simulated_(simulated), recorder_(recorder) {}

bool RoadUser::ActWhenIdle(ui::EventLoop& loop) {
  CDialog* top = loop.TopDialog();
  if (top == nullptr) return false;
  // A dialog the user closed has gone; another may open where it was.
  const std::vector<CDialog*> open = loop.OpenDialogs();
  if (std::ranges::find(open, closing_) == open.end()) closing_ = nullptr;
  if (auto* test = dynamic_cast<CMC_TestDlg*>(top)) return ActOnTest(loop, *test);
  switch (top->TemplateId()) {
    case CInertiaQuestion::kTemplateId:
    case CMassQuestion::kTemplateId:
      // The default choice: the total raised a little above the motor's own.
      return Close(loop, *top, IDOK);
    case CMotorSetupDialog::kTemplateId:
      motorSetupSeen_ = true;
      return ActOnSetupDialog(loop, *top, RoadDialog::motorSetup);
    case CDriveSetupDlg::kTemplateId: return ActOnSetupDialog(loop, *top, RoadDialog::driveSetup);
    default:
      recorder_.Fail("an unexpected dialog \"" + top->GetWindowText() + "\" opened");
      return Close(loop, *top, IDCANCEL);
  }
}

bool RoadUser::ActOnSetupDialog(ui::EventLoop& loop, CDialog& dialog, RoadDialog which) {
  // Drive Setup opens Motor Setup by itself a moment after it shows: the user waits for it.
  if (which == RoadDialog::driveSetup && !motorSetupSeen_) {
    if (const std::optional<ui::Milliseconds> due = loop.NextTimerDue()) {
      loop.AdvanceTo(*due);
      return true;
    }
    motorSetupSeen_ = true;  // it does not come: the user opens it when a step needs it
  }
  // Asked to stop, the user ends the road before its next step as after a step that failed.
  if (!stopped_ && next_ < steps_.size() && recorder_.StopRequested()) stopped_ = true;
  const RoadStep* next = !stopped_ && next_ < steps_.size() ? steps_[next_] : nullptr;
  if (next != nullptr && next->dialog == which) return RunStep(loop, dialog, *next);
  if (which == RoadDialog::driveSetup && next != nullptr) {
    ui::DialogDriver(dialog).Click(kMotorSetupButton);
    return true;
  }
  confirmed_ = which == RoadDialog::driveSetup;
  return Close(loop, dialog, IDOK);
}

bool RoadUser::RunStep(ui::EventLoop& loop, CDialog& dialog, const RoadStep& step) {
  ++next_;
  recorder_.BeginStep(step, static_cast<int>(next_), static_cast<int>(steps_.size()));
  step_ = &step;
  testUser_.reset();
  userTest_ = nullptr;
  identifyPressed_ = directionCorrected_ = abandoned_ = false;
  closing_ = nullptr;
  try {
    ui::DialogDriver driver(dialog);
    const char* unusable = !driver.IsVisible(step.button) ? "hidden" : !driver.IsEnabled(step.button) ? "disabled" : "";
    if (*unusable != '\0') {
      recorder_.Fail("the button \"" + driver.Text(step.button) + "\" (" + std::to_string(step.button) + ") of " +
                     driver.Caption() + " is " + unusable);
    } else {
      driver.Click(step.button);  // the test runs inside, until it has closed
    }
  } catch (const ui::ActionError& error) {
    recorder_.Fail(error.what());
  }
  step_ = nullptr;
  testUser_.reset();
  userTest_ = nullptr;
  LetGoOfTheShaft(loop);
  if (!recorder_.EndStep()) stopped_ = true;
  return true;
}

// A hand that turned the shaft in a test would otherwise hold it through the tests that follow.
void RoadUser::LetGoOfTheShaft(ui::EventLoop& loop) {
  if (simulated_ == nullptr) return;
  simulated_->RunUntil(static_cast<double>(loop.Clock().Now().count()) / 1000.0);
  simulated_->HandRelease();
}

bool RoadUser::ActOnTest(ui::EventLoop& loop, CMC_TestDlg& test) {
  if (step_ == nullptr) return GiveUp(loop, test, "the test \"" + test.GetWindowText() + "\" opened outside a step");
  if (OpensFromSpeedTest(*step_) && test.TemplateId() == CTestSpeedTuning::kTemplateId) {
    return ActOnIdentificationOpener(loop, test);
  }
  if (userTest_ != &test) {
    userTest_ = &test;
    recorder_.Watch(test);
    testUser_ = MakeTestUser();
    if (!testUser_) {
      return GiveUp(loop, test,
                    "the pole pairs test needs a user who watches the motor shaft: run it on the simulated drive, or "
                    "by hand in the dialog");
    }
  }
  recorder_.LookAt(test);
  if (abandoned_) return Close(loop, test, IDCANCEL);
  if (CorrectCountingDirection(test)) return true;
  try {
    if (!testUser_->ActWhenIdle(loop))
      return GiveUp(loop, test, "the test \"" + test.GetWindowText() + "\" stayed open");
  } catch (const std::exception& error) {
    return GiveUp(loop, test, error.what());
  }
  recorder_.LookAt(test);
  return true;
}

bool RoadUser::ActWhenBusy(ui::EventLoop& loop) {
  auto* test = dynamic_cast<CMC_TestDlg*>(loop.TopDialog());
  if (test == nullptr || test != userTest_ || !testUser_ || abandoned_) return false;
  recorder_.LookAt(*test);
  try {
    return testUser_->ActWhenBusy(loop);
  } catch (const std::exception& error) {
    recorder_.Fail(error.what());
    abandoned_ = true;
    return false;
  }
}

bool RoadUser::ActOnIdentificationOpener(ui::EventLoop& loop, CMC_TestDlg& speedTest) {
  if (identifyPressed_) {
    // It ran nothing: OK closes it without a question and keeps the identified total, which
    // Close would put back with the rest of the setup.
    return Close(loop, speedTest, recorder_.TestKept() ? IDOK : IDCANCEL);
  }
  identifyPressed_ = true;
  if (!CarefulUser::Reveal(speedTest, kIdentifyButton) || !ui::DialogDriver(speedTest).IsEnabled(kIdentifyButton)) {
    recorder_.Fail("the test \"" + speedTest.GetWindowText() + "\" offers no \"Identify\" button (" +
                   std::to_string(kIdentifyButton) + ") on any of its tabs");
    return true;
  }
  ui::DialogDriver(speedTest).Click(kIdentifyButton);  // the inertia or mass test runs inside
  return true;
}

std::unique_ptr<CarefulUser> RoadUser::MakeTestUser() {
  const RoadStep& step = *step_;
  std::unique_ptr<CarefulUser> user;
  const int runs = IsIdentification(step) ? kIdentificationRuns : 1;
  if (step.name == "pole-pairs") {
    if (simulated_ == nullptr) return nullptr;
    user = std::make_unique<PolePairsUser>(*simulated_, IDYES);
  } else if (simulated_ != nullptr) {
    user = std::make_unique<HandUser>(*simulated_, step.tune, IDYES, runs);
  } else {
    user = std::make_unique<CarefulUser>(step.tune, IDYES, runs);
  }
  user->onRunPassed = [this](CMC_TestDlg& test) { recorder_.RunPassed(test); };
  if (OpensFromSpeedTest(step)) {
    user->beforeStart = [this](ui::EventLoop&, CMC_TestDlg& test) { TypeReachableTestSpeed(test); };
  }
  return user;
}

bool RoadUser::CorrectCountingDirection(CMC_TestDlg& test) {
  if (directionCorrected_ || test.IsRunning() || test.Result() == 1) return false;
  if (test.ErrorText() != CDetectEncoderResolution::kReversedText) return false;
  constexpr int check = CDetectEncoderResolution::kReverseCountingCheck;
  if (!CarefulUser::Reveal(test, check) || !ui::DialogDriver(test).IsEnabled(check)) return false;
  ui::DialogDriver(test).Click(check);
  directionCorrected_ = true;
  testUser_ = MakeTestUser();  // runs the test again from its Start
  return true;
}

void RoadUser::TypeReachableTestSpeed(CMC_TestDlg& test) {
  const bool linear = IsLinearMotor(&setup_);
  const char* constantName = linear ? "Kf" : "K";
  const double constant = dialogs::Value(&setup_, constantName);
  const double supply_V = dialogs::Value(&setup_, "Vdc");
  const CMC_Parameter* speed = FindOptionalParameter(&setup_, "TestMaxSpeed");
  if (speed == nullptr || constant <= 0.0) return;
  // The no-load speed at which the motor's back EMF equals the supply.
  const double reachable = supply_V / constant;
  const double programmed = speed->GetValueInBaseUnit();
  if (programmed <= reachable) return;
  const std::string unit(speed->GetBaseUnitName());
  const std::string typed = ThreeDigits(reachable / 3.0);
  ui::DialogDriver driver(test);
  CarefulUser::Reveal(test, CTotalLoadTest::kMaxSpeedEdit);
  driver.Select(CTotalLoadTest::kMaxSpeedUnit, unit);
  driver.Type(CTotalLoadTest::kMaxSpeedEdit, typed);
  recorder_.Note("TestMaxSpeed typed as " + typed + " " + unit + ": the setup's " + ThreeDigits(programmed) + " " +
                 unit + " is beyond the " + ThreeDigits(reachable) + " " + unit + " at which the motor's back EMF " +
                 "reaches the " + ThreeDigits(supply_V) + " V supply (Vdc ÷ " + constantName + "); a third of it");
}

bool RoadUser::GiveUp(ui::EventLoop& loop, CMC_TestDlg& test, const std::string& error) {
  recorder_.Fail(error);
  abandoned_ = true;
  return Close(loop, test, IDCANCEL);
}

bool RoadUser::Close(ui::EventLoop& loop, CDialog& dialog, int endCode) {
  if (closing_ != &dialog) {
    closing_ = &dialog;
    closeDeadline_ = loop.Clock().Now() + kCloseLimit;
    ui::DialogDriver driver(dialog);
    // OK is the dialog's own button; Close (Escape) also stops a running test first.
    endCode == IDOK ? driver.Click(IDOK) : driver.Close(endCode);
    return true;
  }
  if (loop.Clock().Now() >= closeDeadline_) {
    throw std::runtime_error("the dialog \"" + dialog.GetWindowText() + "\" did not close within " +
                             std::to_string(kCloseLimit.count() / 1000) + " s");
  }
  const std::optional<ui::Milliseconds> due = loop.NextTimerDue();
  loop.AdvanceTo(due && *due < closeDeadline_ ? *due : closeDeadline_);
  return true;
}

std::optional<int> RoadUser::AnswerMessageBox(const ui::MessageBoxRecord& box) {
  if (IsQuestion(box.style) && testUser_ && !abandoned_) {
    if (const std::optional<int> answer = testUser_->AnswerMessageBox(box)) {
      recorder_.QuestionAnswered();
      return answer;
    }
  }
  if (recorder_.InStep()) recorder_.Fail(box.text);
  return CautiousAnswer(box.style);
}

}  // namespace kestrel::cli
