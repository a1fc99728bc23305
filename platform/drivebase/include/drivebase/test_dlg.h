// CMC_TestDlg: the host's base of every commissioning test dialog. Over the setup-dialog base it
// runs the drive side of a test: launching programs (ExecuteCode), their user variables, the
// axis state, the progress texts, the outcome, and the Start/Stop button.
//
// Shared controls of every test template: 10000 Start/Stop, 10001 the progress text, 10002 the
// outcome text, 10003 "&Details" (the error text in a box), 10004 the status icon, 10014 and
// 10015 the "Test purpose" frame and text, 10024 Help, 2 Close, 1 OK where present.
//
// A run: Start (BeginTest, which the test overrides) → the test's timer ticks launch, wait, read
// → TestSucceeded(1) or TestFailed(1). Only these two end a run (the running flag is cleared);
// a later report in the same run does nothing, so a failure is never turned into a success.
//
// Stop is a two-phase request: the button sets the first stop flag (m_bStopRequested) and asks
// the drive to stop the program; the host sets the second (m_bStopDone) once the program has
// stopped (the axis is off). A test whose loop or tick takes up the stop ends the run itself;
// otherwise the host ends it once the stop is done, with TestFailed(1) and kStoppedText.
// Start is ignored while a handler of the test is still on the stack (a loop pumping messages).
// Closing a running test acts as Stop and closes once the run has ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drivebase/edit_setup_dlg.h"
#include "drivebase/logger.h"
#include "drivebase/program_image.h"

namespace drivebase {
// Shared control ids of the test templates.
inline constexpr int kStartStopButton = 10000;
inline constexpr int kProgressText = 10001;
inline constexpr int kOutcomeText = 10002;
inline constexpr int kDetailsButton = 10003;
inline constexpr int kStatusIcon = 10004;
inline constexpr int kPurposeFrame = 10014;
inline constexpr int kPurposeText = 10015;
// The timer of a test's ticks.
inline constexpr std::uintptr_t kTestTimer = 1;
// The host's own timer that polls the axis after Stop, and its period.
inline constexpr std::uintptr_t kHostStopTimer = 0x5354;
inline constexpr unsigned kHostStopPoll_ms = 20;
// The Start/Stop button's texts and the outcome texts (10002).
inline constexpr const char* kStartText = "Start";
inline constexpr const char* kStopText = "Stop";
inline constexpr const char* kTestPassedText = "Test passed";
inline constexpr const char* kTestFailedText = "Test failed";
// The status icon's bitmaps (resources/bitmaps); without them the icon shows the outcome text.
inline constexpr const char* kTestPassedBitmap = "test_passed";
inline constexpr const char* kTestFailedBitmap = "test_failed";
}  // namespace drivebase

class CMC_TestDlg : public CMC_EditSetupDlg {
 public:
  // setup, template, flag (1), parent: as CMC_EditSetupDlg, without guidelines.
  CMC_TestDlg(CMC_Setup* setup, unsigned templateId, int flag, CWnd* parent);
  ~CMC_TestDlg() override;

  static const char* const msc_pszErrInternal;
  static const char* const msc_pszErrInZero;
  static const char* const kStoppedText;

  // Start: the test's own run begins here (the base does nothing).
  virtual void BeginTest();
  // The Start/Stop button (10000): Start when idle, else the first phase of Stop.
  virtual void OnBtnStartStop();
  // The drive back to a known state: program stopped, axis off, latched errors cleared.
  void Reset();

  // Starts the program on the drive (the setup's registers first, then the image's variables,
  // the logger's settings when a logger is given). callback and data are always null. 1 on
  // success, 0 on failure (CMC_Comm::GetLastErrorText says why).
  int ExecuteCode(const std::string& program, CMC_CoffFormat* image, CMC_Logger* logger,
                  void* callback, void* data);
  // The program's user variables (kNoValue read: no value). 1 on success, 0 with errorText filled.
  int SetUserVariableValue(CMC_CoffFormat* image, const std::string& name, double value, std::string& errorText);
  int GetUserVariableValue(CMC_CoffFormat* image, const std::string& name, double& value, std::string& errorText);
  // on: non-zero while the axis is powered. 0 when the drive cannot be asked.
  int GetAxisOn(int& on);

  // end 1: the run ends with that outcome (a failure shows m_strErrorText); only while the
  // running flag is set (BeginTest sets it before it can report), so the first report of a run
  // wins. end 0: shows that outcome again (after a tab change, say) and changes nothing.
  void TestFailed(int end);
  void TestSucceeded(int end);
  // Shows the text as the current progress step and advances the step index by one.
  void SetInfoText(const std::string& text);
  // The image file of a program (drivebase::ProgramImagePath).
  static std::string GetOutPathName(const std::string& program);

  bool IsRunning() const { return m_bTestRunning != 0; }
  int Result() const { return m_nResult; }
  const std::string& ErrorText() const { return m_strErrorText; }
  // The user closed the test while it ran: it ends with IDCANCEL once the run has ended, and
  // nothing the test computes from then on may stay in the setup.
  bool CloseRequested() const { return closeRequested_; }

  // For a user without a screen (a host that runs tests unattended): the button that tunes before
  // a run (0: none), the results to print after a run, and every plot the test draws saved in
  // the plot directory (drivebase::PlotDirectory).
  struct TestResultLine {
    std::string label, value;
  };
  virtual int TuneButtonId() const { return 0; }
  virtual std::vector<TestResultLine> ResultLines() const { return {}; }
  virtual bool SaveAllPlots(std::string& error);
  // A run that goes on until the user stops it: how long a user without a screen lets it run
  // before pressing Stop (0: the run ends by itself).
  virtual double UnattendedRun_s() const { return 0.0; }
  // A run that needs the user's hand on the motor: once the run has begun, the shaft turned by
  // `travel` (rad; m for a linear motor) in `duration_s`. None by default.
  struct HandMove {
    double travel = 0.0;
    double duration_s = 0.0;
  };
  virtual std::optional<HandMove> UnattendedHandMove() const { return std::nullopt; }
  // A run that needs the user to turn a potentiometer on the analogue reference input: once the
  // run has begun, from `from_V` turned evenly to `to_V` in `duration_s`. None by default.
  struct PotentiometerTurn {
    double from_V = 0.0;
    double to_V = 0.0;
    double duration_s = 0.0;
  };
  virtual std::optional<PotentiometerTurn> UnattendedPotentiometer() const { return std::nullopt; }
  // The measured values that runs of the test repeated one after another are compared by (kestrel
  // test --repeat): name, unit and value of each, the same names in every run; none by default.
  struct MeasuredValue {
    std::string name, unit;
    double value = 0.0;
  };
  virtual std::vector<MeasuredValue> MeasuredValues() const { return {}; }


 protected:
  // The base's, then the Start button and the stored outcome shown.
  bool OnInitDialog() override;
  // Close (2) and Esc: a running test stops first and closes when its run has ended. A test
  // that overrides it (the save question) calls this one while the test runs.
  void OnCancel() override;
  // The host's timers (the stop's poll); a test passes the ticks it does not handle here.
  void OnTimer(std::uintptr_t id);
  // "&Details": the error text in a message box.
  void OnDetails();
  // Sets the purpose text (10015).
  void SetPurposeText(const std::string& text);

 public:
  const ui::MessageMap* GetMessageMap() const override;

 protected:
  int m_bTestRunning = 0;
  int m_nResult = -1;
  std::string m_strErrorText;
  std::uint16_t m_nStep = 0;
  std::uint16_t m_nStepsNo = 0;
  int m_bContinuousRun = 0;
  int m_bStopRequested = 0;  // first phase of Stop: the user pressed it
  int m_bStopDone = 0;       // second phase: the program has stopped

 private:
  enum class Outcome { none, passed, failed };
  // Ends the run with a success or a failure; the first report of a run only.
  void EndRun(bool succeeded);
  // Shows an outcome: 10002 and the icon 10004; a failure also shows the error text in 10001
  // and "&Details"; none clears them (Details hidden).
  void Display(Outcome outcome);
  // The host's poll of the axis after Stop (timer kHostStopTimer).
  void PollStoppedProgram();
  Outcome outcome_ = Outcome::none;
  bool closeRequested_ = false;
};
