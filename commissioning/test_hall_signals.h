// CTestHallSignals: the "Hall Sensors Connection Test" (template 293; CTestHallSignals_lin,
// template 3069, for a linear motor). The drive watches its three digital Hall inputs while the
// user turns the shaft (moves the linear motor) by hand; the test shows the position, the Hall
// state and the slices of the states seen, and notes each signal seen low and high. On Stop each
// signal is judged "OK" (seen both ways) or "Bad", and the drive's own count of the states seen
// decides the outcome.
//
// Steps: 0/1 the launch of the monitoring program, 2 watching until Stop.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/hall_test_displays.h"
#include "commissioning/my_test_dlg.h"

namespace kestrel {

// One flag word per Hall signal (Hall 1, 2, 3): after a state (Hall 1 the bit of value 4, Hall 3
// the bit of value 1) a signal's flag is OR-ed with 1 when the signal is low, with 2 when it is
// high; 3 means the signal has toggled.
using HallSignalFlags = std::array<int, 3>;
void MarkHallSignals(HallSignalFlags& flags, int state);

}  // namespace kestrel

class CTestHallSignals : public CMyTestDlg {
 public:
  CTestHallSignals(CMC_Setup* setup, CWnd* parent);
  ~CTestHallSignals() override;

  static constexpr unsigned kTemplateId = 293;
  static constexpr unsigned kHelpContext = 262415;
  static constexpr std::array<int, 3> kResultEdits{1029, 1030, 1031};  // Hall 1, 2, 3
  static constexpr std::uint16_t kMonitorMask = 0x0002;                 // short circuit
  static constexpr std::array<const char*, 3> kTexts{"Launching code for test", "Running test", "Test finished"};
  static constexpr const char* kNotAllTransitionsText = "The test did not detect all three HALL transitions.";
  static constexpr const char* kNoTransitionsText =
      "No transitions detected on one or more HALL signals. Check HALL sensor connectors and power supply.";
  // The drive's count of Hall states seen after a full electrical turn.
  static constexpr double kAllStates = 6.0;

  void BeginTest() override;
  void OnBtnStartStop() override;
  std::vector<TestResultLine> ResultLines() const override;
  // Without a screen: one revolution (a linear motor: four pole pitches) by hand in 4 s, 167 ms
  // per Hall state on a motor of four pole pairs, then Stop.
  double UnattendedRun_s() const override { return 5.0; }
  std::optional<HandMove> UnattendedHandMove() const override;

  const HallTestDisplays& Displays() const { return displays_; }
  const kestrel::HallSignalFlags& Flags() const { return flags_; }
  const std::string& Program() const { return program_; }

 protected:
  CTestHallSignals(CMC_Setup* setup, bool linear, unsigned templateId, CWnd* parent);
  bool OnInitDialog() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void Watch();
  void ShowPosition(double position);
  void FinishOnStop();

  std::string program_;
  CMC_CoffFormat image_;
  int lines_ = 0;  // encoder lines per revolution, from the setup at opening
  HallTestDisplays displays_;
  kestrel::HallSignalFlags flags_{};
};

class CTestHallSignals_lin : public CTestHallSignals {
 public:
  CTestHallSignals_lin(CMC_Setup* setup, CWnd* parent);
  static constexpr unsigned kTemplateId = 3069;
};
