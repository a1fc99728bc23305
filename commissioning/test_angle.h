// CTestAngle: the "Electric Angle Controller Tuning Test" (template 3059), opened from Drive
// Setup for the motionless start. The drive runs its electric-angle controller under a rising
// test current; the motor current and the electric angle are logged and plotted, the user tunes
// the controller's Kp_T_scl and Ki_T_scl on sliders between runs (a gain refreshed while a run
// goes on is written to the drive at once), and the program's test_flag judges the run: the angle must settle at −16384 (the
// rotor's d axis 90° ahead of the injection) within 1820 (10 electrical degrees).
//
// Steps: 0/1 the test program, 2 its end, 3 the upload of the logger.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/two_tab_test.h"
#include "drivebase/graph.h"
#include "drivebase/logger.h"

class CTestAngle : public CTwoTabTest {
 public:
  CTestAngle(CMC_Setup* setup, CWnd* parent);
  ~CTestAngle() override;

  static constexpr unsigned kTemplateId = 3059;
  static constexpr unsigned kHelpContext = 262419;
  static constexpr int kGraph = 1361;
  static constexpr int kSavePlots = 1372;
  static constexpr int kPicture = 1123;
  static constexpr const char* kPlotName = "ElectricAngleTuning";
  static constexpr std::array<const char*, 4> kTexts{
      "Launching the application for test",
      "Running test",
      "Uploading results",
      "Test running. Press \"Stop\" to end the test",
  };
  static constexpr const char* kProcedure =
      "1. Check/setup the test parameters below\r\n2. Go to the \"Test\" tab and tune the angle controller\r\n"
      "3. Press the \"Start\" button\r\n4. Wait until the test ends and displays the results\r\n"
      "5. The test is successful it at the end of the Stabilize time, the Electric_Angle graph is smooth and "
      "reaches final values with a tolerance of +/- 1820 (10 electrical degrees)\r\n"
      "6. If needed, change the controller parameters until you get results that satisfy point 5 above";
  static constexpr const char* kProtectionText = "Test failed!\nCurrent protection triggered during test!";
  static constexpr const char* kNotStabilizedText =
      "Test failed!\nAngle not stabilized.\nIf the Electric_Angle graph is a flat line, please increase Kp and/or Ki "
      "parameters.\n\nIf the Electric_Angle graph oscillates too much, please decrease Kp and/or Ki parameters.\n\n"
      "If the Electric_Angle graph does not oscillate, but it does not stabilize to a value between\n-18204 and "
      "-14564 (that means -16384 with a tolerance of +/- 1820, equivalent to\n+/- 10 electrical degrees), you have "
      "to fine tune the Kp and/or Ki parameters until it does.";
  // %d: theta_1, the angle when the test current was reached.
  static constexpr const char* kNotStabilizedAtText =
      "Test failed!\n\nIf the Test current doesn\u2019t decreases to zero, increase/decrease Kp and/or Ki "
      "parameters.\nIf the Test current decreases to zero but the Electric_Angle graph does not stabilize to a "
      "value close to %d with a tolerance of +/- 1820 (equivalent to +/- 10 electrical degrees), you have to fine "
      "tune the Kp and/or Ki parameters until it does.\nSee Electric Angle Controller Tuning Help for details";
  // A motor sensor of neither the incremental nor the sine/cosine group: no program to run.
  static constexpr const char* kNoProgramText =
      "The electric angle controller is tuned with an incremental or sine/cosine encoder on the motor: the drive "
      "has no angle controller test for the setup's motor sensor.";
  static constexpr const char* kTooLittleCurrentText =
      "Test failed!\nTest current may not be enough. Please increase test current.";

  // The text of a run that ended with `testFlag` (none: the run passed); theta_1 as read (none:
  // the read failed or gave no value). The hint flag goes with the −2 texts.
  struct Outcome {
    std::optional<std::string> failure;
    bool hint = false;
  };
  static Outcome JudgeRun(double testFlag, std::optional<double> theta1);

  std::vector<TestResultLine> ResultLines() const override;
  bool SaveAllPlots(std::string& error) override;

  void OnChangedParameterValue(const std::string& name) override;
  void OnRefreshParameterValue(const std::string& name) override;
  void BeginTest() override;

  const CGraphWindow& Graph() const { return graph_; }
  const CMC_SingleAxisLogger* Logger() const { return logger_.get(); }
  bool HintShown() const { return hint_; }
  // test_flag and theta_1 of the last run that read them.
  std::optional<double> TestFlag() const { return testFlag_; }
  std::optional<double> Theta1() const { return theta1_; }

 protected:
  bool OnInitDialog() override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void BindParameters();
  void BindLoggerSetting(std::optional<CMC_Parameter>& own, const char* name, double initial, double min, double max,
                         int edit);
  double LoggerSetting(const std::optional<CMC_Parameter>& own, const char* name) const;
  void ConfigureLogger();
  void ShowRunState() override;
  void ShowOwnControls(bool test) override;

  // The run (test_angle_run.cpp).
  void OnTimer(std::uintptr_t id);
  void Tick();
  void FinishProgram();
  void UploadLoop();
  void JudgeTestFlag();
  void OnDetails();
  void OnSavePlots();

  std::string program_;
  CMC_CoffFormat image_;
  std::unique_ptr<CMC_SingleAxisLogger> logger_;
  CGraphWindow graph_{2, 0};
  // The logger's settings, owned by the dialog when the setup has none.
  std::optional<CMC_Parameter> ownPoints_, ownDivider_;
  double openingKp_ = 0.0, openingKi_ = 0.0;
  bool hint_ = false;
  std::optional<double> testFlag_, theta1_;
};
