// The setup dialog of the base's tests (template tests/drivebase_dialogs/dialogs/9100.json): it
// binds one parameter of every kind, logs every callback with what the controls showed at that
// moment, and runs a reaction the test gives it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "drivebase/edit_setup_dlg.h"

namespace editbase_test {

// Control ids of the probe template.
enum : int { kCurrentEdit = 2001, kCurrentUnit, kTimeEdit, kTimeUnit, kPolePairsEdit, kOverCurrentCheck, kHallCaseCombo };
enum : int { kPositionRadio = 2011, kSpeedRadio, kTorqueRadio };
enum : int { kDeadBandSlider = 2021, kDeadBandEdit, kDeadBandLabel, kDeadBandFineSpin, kDeadBandCoarseSpin };
enum : int { kEquivalentEdit = 2031, kEquivalentUnit };
enum : int { kMotorTypeCombo = 2041, kMotorConnectorCombo, kLoadTypeCombo, kLoadConnectorCombo, kBrakeCombo, kPicture };
enum : int { kLogText = 2050, kClearLog };

inline constexpr unsigned kProbeTemplate = 9100;
inline constexpr const char* kProbeCaption = "Setup Base Test";

std::filesystem::path TestData();

// A setup of plain parameters: IlimPS 3.2 A (0 ... 10, 4 digits), time_AB 0.5 s (0.01 ... 655.35),
// pp 4 (1 ... 128, unsigned 16-bit), isOverCurrent 1, HALLCASE 7 (2 ... 13), ControlMode 0
// (0 ... 2), DBTPC 50 % (0 ... 100), No_encoder_lines 2000.
CMC_Setup ProbeSetup();
// The probe setup with CAN_baudrate 500000 bit/s, and/or two of the four CANopen parameters:
// CANopen_heartbeat_time 0.1 s and CANopen_life_time_factor 3.
CMC_Setup CanSetup(bool baudRate, bool canopen);

// The probe's guideline tables: three steps; two, shown once ControlMode is not 0.
extern const char* const kSteps[3];
extern const char* const kOtherSteps[2];

class ProbeDlg : public CMC_EditSetupDlg {
 public:
  explicit ProbeDlg(CMC_Setup* setup);

  // "changed NAME", "refresh NAME (edit 2003 shows TEXT)", "unit NAME"; shown in the static
  // 2050 joined by "; " (so that scripts see it), cleared by the button 2051.
  std::vector<std::string> log;
  // Run after logging OnChangedParameterValue.
  std::function<void(ProbeDlg& dialog, const std::string& name)> reaction;
  CMC_Parameter equivalentCounts;  // a display value the dialog owns

  void OnChangedParameterValue(const std::string& name) override;
  void OnRefreshParameterValue(const std::string& name) override;
  void OnChangedParameterUnit(const std::string& name) override;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  void Note(std::string entry);
};

}  // namespace editbase_test
