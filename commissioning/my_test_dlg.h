// CMyTestDlg: the plug-in's base of every commissioning test. Over the host's test dialog it
// holds the run protocol that all tests share: preparing the program images, launching a program
// with its inputs between a pair of progress texts, the tick's wait for a program (STARTED, the
// axis, the drive's error register), reading program and drive variables, the preliminary
// initial-positioning stage, and the question on closing whether to keep what the test found.
//
// Progress texts come in pairs: at an even step the text that announces a launch, at the next
// odd step the text that says the program runs; the tick at step k + 2 reads the outcome of the
// program launched at step k.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commissioning/save_question.h"
#include "drivebase/test_dlg.h"

class IndexCapture;

class CMyTestDlg : public CMC_TestDlg {
 public:
  // Templates 102 and 103 (speed and position tuning) clear ABSTART_MINMOVE when the setup has it;
  // the destructor puts its value back.
  CMyTestDlg(CMC_Setup* setup, unsigned templateId, int flag, CWnd* parent);
  ~CMyTestDlg() override;

  // 1 when no drive error of the mask is set; else 0 with the error text set (and, with fail 1,
  // the run ended as failed).
  int CheckDriveErrors(int fail, std::uint16_t mask);

  static constexpr std::uint16_t kEnergisingErrorMask = 0x8002;  // short circuit and ENABLE
  static constexpr std::uint16_t kShortCircuitMask = 0x0002;     // a program that does not energise
  static constexpr std::uint16_t kEveryDriveError = 0xFFFF;
  static constexpr unsigned kTickPeriodMs = 20;

 protected:
  // An input variable of a program and the value it is given before the launch.
  struct ProgramInput {
    const char* name;
    double value;
  };
  // What the preliminary stage leaves in the drive for the programs that follow.
  struct PreliminaryReferences {
    double refTest = 0.0;   // REFTST_V, internal units
    double rIncTest = 0.0;  // RINCTST_V, internal units
  };
  // The outcome of a tick's look at the program it waits for.
  enum class ProgramState { Running, Ended, Failed };
  // What a launched program shows: not yet STARTED, started with the axis on, or with it off.
  enum class ProgramSign { Unreadable, NotStarted, AxisOn, AxisOff };

  // The image of the program: its file from the program name, then loaded (a missing program
  // shows later as a failed launch).
  static void PrepareProgram(const std::string& program, CMC_CoffFormat& image);

  // Shows the text of the current step (unless the step is odd: announced already), writes the
  // inputs, launches the program (with the logger when given), shows the text of the next step
  // and starts the tick. False when the run failed.
  bool LaunchProgram(std::span<const char* const> texts, const std::string& program, CMC_CoffFormat& image,
                     CMC_Logger* logger, std::initializer_list<ProgramInput> inputs);
  bool LaunchProgram(std::span<const char* const> texts, const std::string& program, CMC_CoffFormat& image,
                     CMC_Logger* logger, std::span<const ProgramInput> inputs);
  // A monitoring program, which needs no image, launched the same way; false when the run failed.
  bool LaunchProgramWithoutImage(std::span<const char* const> texts, const std::string& program);
  // The progress text of the current step (an index beyond the table shows nothing new).
  void ShowStepText(std::span<const char* const> texts);
  // Timer 1 again; false (the run failed) when it cannot be started.
  bool RestartTick(unsigned periodMs = kTickPeriodMs);

  // The start of a tick: true when it is timer 1's tick of a running test (timer 1 is then
  // killed); other timers go to the host, a tick after the run does nothing.
  bool TakeTick(std::uintptr_t id);
  // STARTED, then (once started) the axis. Unreadable: a read failed, its error text is set and
  // the caller ends the run.
  ProgramSign LookAtProgram(CMC_CoffFormat& image);
  // The tick's look at a launched program: still running (the tick is restarted), ended, or the
  // run failed (a read failed, a masked drive error, or the program ended on the user's Stop).
  ProgramState WaitForProgram(CMC_CoffFormat& image, std::uint16_t mask = kEnergisingErrorMask);
  // The preliminary initial-positioning program's end: In1 read back, then the references it
  // found. Running while it still runs.
  ProgramState FinishPreliminaryStage(CMC_CoffFormat& image, PreliminaryReferences& references);

  // A program variable; a failed read or no value fails the run.
  bool ReadProgramValue(CMC_CoffFormat& image, const char* name, double& value);
  // A drive variable read from the drive, in its internal or base unit; failures fail the run.
  bool ReadDriveValue(const char* name, bool internalUnit, double& value);
  // A drive variable written to the drive in its base unit; failures fail the run.
  bool WriteDriveValue(const char* name, double baseValue);
  // Ends the run as failed with the text.
  void Fail(const std::string& text);
  // The encoder tests' index capture at a tick (index_capture.cpp): armed once the motor has
  // moved, then the captured counter shown in the edit; false when the run failed.
  bool FollowIndexCapture(IndexCapture& index, bool moved, int editId);

  // Closing: a running test stops first (the host); after a success the values found that differ
  // from the setup's at opening are listed with the question whether to keep them: Yes accepts
  // (AcceptResults) and ends with IDOK, No ends with IDCANCEL (the setup as it was at opening, put
  // back whole by the setup dialog), Cancel keeps the dialog open.
  void OnCancel() override;
  virtual std::vector<kestrel::ComparedValue> ComparedValues() const { return {}; }
  // Whether the question lists every compared value once one differs (else only those that do).
  virtual bool ListsEveryComparedValue() const { return false; }
  // What OK does beyond keeping the setup; Yes to the question does the same.
  virtual void AcceptResults() {}

 private:
  std::optional<double> openingAbsoluteStartMove_;  // ABSTART_MINMOVE before the test cleared it
};
